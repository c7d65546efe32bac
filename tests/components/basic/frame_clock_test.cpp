// The frame clock: loop modes, wrap-around, manual mode and the frame size.
#include "components/basic/frame_clock.hpp"
#include "network.hpp"
#include "raster/frame_image.hpp"

#include <gtest/gtest.h>

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

struct loop_case {
    const char* mode;
    list eight_frames;
};

class FrameClockLoop : public ::testing::TestWithParam<loop_case> {};

TEST_P(FrameClockLoop, EightFramesThenTheNinthStartsAgain) {
    clock_rig r(GetParam().mode, 8);
    r.begin("CONTROL.CPU");
    list expected = GetParam().eight_frames;
    expected.push_back(expected.front());
    EXPECT_EQ(r.outputs(9), expected);
    // The internal output is the plain position whatever the loop.
    EXPECT_EQ(r.outputs(8, 2), (list{31, 63, 95, 127, 159, 191, 223, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FrameClockLoop,
    ::testing::Values(loop_case{"FORWARD", {0, 31, 63, 95, 127, 159, 191, 223}},
                      loop_case{"BACKWARD", {223, 192, 160, 128, 96, 64, 32, 0}},
                      loop_case{"FORWARD_AND_BACK", {0, 62, 126, 190, 254, 191, 127, 63}},
                      loop_case{"BACK_AND_FORTH", {255, 193, 129, 65, 1, 64, 128, 192}}),
    [](const auto& info) { return std::string(info.param.mode); });

TEST(FrameClock, SingleFrameStaysAtTheStart) {
    for (auto [loop, value] : {std::pair{"FORWARD_AND_BACK", 0u}, std::pair{"BACK_AND_FORTH", 255u},
                               std::pair{"BACKWARD", 0u}}) {
        clock_rig r(loop, 1);
        r.begin("CONTROL.CPU");
        EXPECT_EQ(r.outputs(3), list(3, value)) << loop;
    }
    // A frame count that truncates to 0 must not divide by zero: it counts as 1.
    clock_rig none("FORWARD", 0);
    none.begin("CONTROL.CPU");
    EXPECT_EQ(none.outputs(2), list(2, 0));
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

TEST(FrameClock, WithoutFrameImageTheFrameSizeIsLeftAlone) {
    install_frame_image(nullptr);
    clock_rig r("FORWARD", 8);
    set_size(r.subject, "SIZE.BUFFER", 900, 700);
    r.begin("CONTROL.CPU");
    EXPECT_EQ(r.subject.number("SIZE.BUFFER").value(0), 900);
    EXPECT_EQ(r.subject.number("SIZE.BUFFER").value(1), 700);
}

TEST(FrameClock, FrameSizeFollowsAndSetsTheOutputArea) {
    frame_image frame(600, 500); // work area (0, 96, 600, 386)
    install_frame_image(&frame);
    frame.set_output_size(350, 250);
    CPU clock;
    std::string error;
    ASSERT_TRUE(clock.preprepare(error));
    EXPECT_EQ(clock.number("SIZE.BUFFER").value(0), 350);
    EXPECT_EQ(clock.number("SIZE.BUFFER").value(1), 250);

    set_size(clock, "SIZE.BUFFER", 1000, 1000);
    ASSERT_TRUE(clock.prepare(error));
    EXPECT_EQ(clock.number("SIZE.BUFFER").value(0), 600);
    EXPECT_EQ(clock.number("SIZE.BUFFER").value(1), 386);
    EXPECT_EQ(frame.output_area(), (rect{0, 96, 600, 386}));

    set_size(clock, "SIZE.BUFFER", 100, 50);
    ASSERT_TRUE(clock.prepare(error));
    EXPECT_EQ(frame.output_area(), (rect{250, 96 + 193 - 25, 100, 50}));
    install_frame_image(nullptr);
}

TEST(FrameClockNetwork, DrivesAProbeFromAnEffectFile) {
    network net(R"(<effect>
  <cpu id="clock">
    <menu name="LOOP"><item value="BACKWARD" selected="true">back</item></menu>
    <valuelist name="FRAMES.CONTROL"><v>4</v></valuelist>
  </cpu>
  <TEST id="tap">
    <menu name="TYPE"><item value="UINT8" selected="true">UINT8</item></menu>
    <in name="IN.1" idref="control.cpu"></in>
  </TEST>
</effect>)");
    net.run(5);
    // N = 4: t = 0, 63, 127, 191 and last = 191.
    EXPECT_EQ(net.seen("tap"), (std::vector<list>{{191}, {128}, {64}, {0}, {191}}));
}

} // namespace
} // namespace zoetra::testing
