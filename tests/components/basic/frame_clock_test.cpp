// The frame clock: loop modes, wrap-around, manual mode and the frame size.
#include "components/basic/frame_clock.hpp"
#include "network.hpp"
#include "raster/frame_image.hpp"

#include <gtest/gtest.h>

#include <tuple>

namespace zoetra::testing {
namespace {

using basic::CPU;

struct clock_rig : component_rig<CPU> {
    clock_rig(const char* loop, int frames) {
        watch("CONTROL.CPU", 1);
        watch("INTERNAL", 2);
        subject.menu("LOOP").select_by_name(loop);
        subject.number("FRAMES.CONTROL").set_minimum(0, 0);
        subject.number("FRAMES.CONTROL").set_value(0, frames);
    }
    // The control (output 1) or internal (output 2) values of `fires` fires.
    list outputs(int fires, int k = 1) {
        list out;
        for (int i = 0; i < fires; ++i) {
            fire_once();
            out.push_back(values(k).at(0));
        }
        return out;
    }
};

TEST(FrameClock, EightFramesInEachLoopThenTheNinthStartsAgain) {
    const std::pair<const char*, list> loops[] = {
        {"FORWARD", {0, 31, 63, 95, 127, 159, 191, 223}},
        {"BACKWARD", {223, 192, 160, 128, 96, 64, 32, 0}},
        {"FORWARD_AND_BACK", {0, 62, 126, 190, 254, 191, 127, 63}},
        {"BACK_AND_FORTH", {255, 193, 129, 65, 1, 64, 128, 192}}};
    for (auto [loop, expected] : loops) {
        clock_rig r(loop, 8);
        r.begin("CONTROL.CPU");
        expected.push_back(expected.front());
        EXPECT_EQ(r.outputs(9), expected) << loop;
        // The internal output is the plain position whatever the loop.
        EXPECT_EQ(r.outputs(8, 2), (list{31, 63, 95, 127, 159, 191, 223, 0})) << loop;
    }
}

TEST(FrameClock, SingleFrameStaysAtTheStart) {
    // A frame count that truncates to 0 must not divide by zero: it counts as 1.
    for (auto [loop, frames, value] :
         {std::tuple{"FORWARD_AND_BACK", 1, 0u}, std::tuple{"BACK_AND_FORTH", 1, 255u},
          std::tuple{"BACKWARD", 1, 0u}, std::tuple{"FORWARD", 0, 0u}}) {
        clock_rig r(loop, frames);
        r.begin("CONTROL.CPU");
        EXPECT_EQ(r.outputs(3), list(3, value)) << loop;
    }
}

TEST(FrameClock, ManualModeHoldsThePositionWhileTheCounterRuns) {
    clock_rig r("FORWARD", 4);
    r.subject.menu("MODE").select_by_name("MANUAL");
    r.subject.number("value.internal").set_value(0, 40);
    r.begin("CONTROL.CPU");
    EXPECT_EQ(r.outputs(3, 1), list(3, 40));
    EXPECT_EQ(r.values(2), list{40});
    // preprepare reads the mode again but, unlike prepare, keeps the counter.
    r.subject.menu("MODE").select_by_name("AUTO");
    std::string error;
    ASSERT_TRUE(r.subject.preprepare(error));
    EXPECT_EQ(r.outputs(1), list{191}); // frame 3 of 4
    ASSERT_TRUE(r.subject.prepare(error));
    EXPECT_EQ(r.outputs(1), list{0});
}

TEST(FrameClock, FrameSizeFollowsAndSetsTheOutputArea) {
    clock_rig alone("FORWARD", 8); // without a frame image the size is left alone
    set_size(alone.subject, "SIZE.BUFFER", 900, 700);
    alone.begin("CONTROL.CPU");
    EXPECT_EQ(alone.subject.number("SIZE.BUFFER").value(1), 700);

    frame_image frame(600, 500); // work area (0, 96, 600, 386)
    frame.set_output_size(350, 250);
    const run_context network{&frame};
    CPU clock;
    clock.set_context(&network);
    auto size = [&] {
        return std::pair(clock.number("SIZE.BUFFER").value(0),
                         clock.number("SIZE.BUFFER").value(1));
    };
    std::string error;
    ASSERT_TRUE(clock.preprepare(error));
    EXPECT_EQ(size(), std::pair(350.0, 250.0));
    set_size(clock, "SIZE.BUFFER", 1000, 1000); // clamped to the work area
    ASSERT_TRUE(clock.prepare(error));
    EXPECT_EQ(size(), std::pair(600.0, 386.0));
    EXPECT_EQ(frame.output_area(), (rect{0, 96, 600, 386}));

    set_size(clock, "SIZE.BUFFER", 100, 50);
    ASSERT_TRUE(clock.prepare(error));
    EXPECT_EQ(frame.output_area(), (rect{250, 96 + 193 - 25, 100, 50}));
}

} // namespace
} // namespace zoetra::testing
