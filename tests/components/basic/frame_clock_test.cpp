// The frame clock: loop modes, wrap-around, manual mode and the frame size.
#include "components/basic/frame_clock.hpp"
#include "network.hpp"
#include "raster/frame_image.hpp"

#include <gtest/gtest.h>

namespace zoetra::testing {
namespace {

using basic::CPU;

// A clock whose two outputs feed a probe; values() fires it once and gives
// (control, internal).
struct clock_rig {
    CPU clock;
    probe tap;
    clock_rig() {
        connect(clock.find_port("CONTROL.CPU"), tap.in(1));
        connect(clock.find_port("INTERNAL"), tap.in(2));
        tap.adopt_shape(clock.find_port("CONTROL.CPU"));
    }
    void configure(const char* loop, int frames) {
        clock.menu("LOOP").select_by_name(loop);
        clock.number("FRAMES.CONTROL").set_value(0, frames);
        start(clock);
    }
    std::pair<unsigned, unsigned> values() {
        std::string error;
        EXPECT_TRUE(clock.fire(error)) << error;
        clock.clear_fired();
        const matrix* control = tap.received(1);
        const matrix* internal = tap.received(2);
        if (control == nullptr || internal == nullptr)
            return {999, 999};
        return {control->value_at(0), internal->value_at(0)};
    }
    std::vector<unsigned> controls(int fires) {
        std::vector<unsigned> out;
        for (int i = 0; i < fires; ++i)
            out.push_back(values().first);
        return out;
    }
};

struct loop_case {
    const char* mode;
    std::vector<unsigned> eight_frames;
};

class FrameClockLoop : public ::testing::TestWithParam<loop_case> {};

TEST_P(FrameClockLoop, EightFramesThenWrapsOnTheNinth) {
    clock_rig rig;
    rig.configure(GetParam().mode, 8);
    std::vector<unsigned> expected = GetParam().eight_frames;
    expected.push_back(expected.front());
    EXPECT_EQ(rig.controls(9), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FrameClockLoop,
    ::testing::Values(loop_case{"FORWARD", {0, 31, 63, 95, 127, 159, 191, 223}},
                      loop_case{"BACKWARD", {223, 192, 160, 128, 96, 64, 32, 0}},
                      loop_case{"FORWARD_AND_BACK", {0, 62, 126, 190, 254, 191, 127, 63}},
                      loop_case{"BACK_AND_FORTH", {255, 193, 129, 65, 1, 64, 128, 192}}),
    [](const auto& info) { return std::string(info.param.mode); });

TEST(FrameClock, InternalOutputIsThePlainPositionWhateverTheLoop) {
    clock_rig rig;
    rig.configure("BACK_AND_FORTH", 8);
    std::vector<unsigned> internal;
    for (int i = 0; i < 8; ++i)
        internal.push_back(rig.values().second);
    EXPECT_EQ(internal, (std::vector<unsigned>{0, 31, 63, 95, 127, 159, 191, 223}));
}

TEST(FrameClock, SingleFrameStaysAtTheStart) {
    clock_rig forth;
    forth.configure("FORWARD_AND_BACK", 1);
    EXPECT_EQ(forth.controls(3), (std::vector<unsigned>{0, 0, 0}));
    clock_rig back;
    back.configure("BACK_AND_FORTH", 1);
    EXPECT_EQ(back.controls(3), (std::vector<unsigned>{255, 255, 255}));
    clock_rig backward;
    backward.configure("BACKWARD", 1);
    EXPECT_EQ(backward.controls(2), (std::vector<unsigned>{0, 0}));
}

TEST(FrameClock, ManualModeHoldsThePositionAndStillCounts) {
    clock_rig rig;
    rig.clock.menu("MODE").select_by_name("MANUAL");
    rig.clock.number("value.internal").set_value(0, 40);
    rig.configure("FORWARD", 4);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(rig.values(), std::make_pair(40u, 40u));
    // Back to automatic without a new prepare (preprepare reads the mode):
    // the counter went on meanwhile and stands at frame 3 of 4.
    rig.clock.menu("MODE").select_by_name("AUTO");
    std::string error;
    ASSERT_TRUE(rig.clock.preprepare(error));
    EXPECT_EQ(rig.values(), std::make_pair(191u, 191u));
}

TEST(FrameClock, PrepareRestartsAtFrameZero) {
    clock_rig rig;
    rig.configure("FORWARD", 8);
    rig.controls(3);
    start(rig.clock);
    EXPECT_EQ(rig.values().first, 0u);
}

TEST(FrameClock, FrameCountThatTruncatesToZeroCountsAsOne) {
    // An effect file may lower the minimum; 0 frames must not divide by zero.
    clock_rig rig;
    rig.clock.number("FRAMES.CONTROL").set_minimum(0, 0);
    rig.configure("FORWARD_AND_BACK", 0);
    EXPECT_EQ(rig.controls(2), (std::vector<unsigned>{0, 0}));
}

TEST(FrameClock, WithoutFrameImageTheFrameSizeIsLeftAlone) {
    install_frame_image(nullptr);
    CPU clock;
    set_size(clock, "SIZE.BUFFER", 900, 700);
    start(clock);
    EXPECT_EQ(clock.number("SIZE.BUFFER").value(0), 900);
    EXPECT_EQ(clock.number("SIZE.BUFFER").value(1), 700);
}

class FrameClockOutputArea : public ::testing::Test {
  protected:
    // Work area 600 x 386 at (0, 96).
    frame_image frame{600, 500};
    void SetUp() override {
        install_frame_image(&frame);
        frame.set_output_size(350, 250);
    }
    void TearDown() override { install_frame_image(nullptr); }
};

TEST_F(FrameClockOutputArea, FrameSizeStartsAsTheOutputArea) {
    CPU clock;
    std::string error;
    ASSERT_TRUE(clock.preprepare(error));
    EXPECT_EQ(clock.number("SIZE.BUFFER").value(0), 350);
    EXPECT_EQ(clock.number("SIZE.BUFFER").value(1), 250);
}

TEST_F(FrameClockOutputArea, PrepareResizesTheOutputAreaWithinTheWorkArea) {
    CPU clock;
    std::string error;
    ASSERT_TRUE(clock.preprepare(error));
    set_size(clock, "SIZE.BUFFER", 1000, 1000);
    ASSERT_TRUE(clock.prepare(error));
    EXPECT_EQ(clock.number("SIZE.BUFFER").value(0), 600);
    EXPECT_EQ(clock.number("SIZE.BUFFER").value(1), 386);
    EXPECT_EQ(frame.output_area(), (rect{0, 96, 600, 386}));

    set_size(clock, "SIZE.BUFFER", 100, 50);
    ASSERT_TRUE(clock.prepare(error));
    EXPECT_EQ(frame.output_area(), (rect{250, 96 + 193 - 25, 100, 50}));
}

TEST(FrameClockNetwork, DrivesAProbeFrameAfterFrameFromAnEffectFile) {
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
    std::string error;
    ASSERT_TRUE(net.start(error)) << error;
    for (int i = 0; i < 5; ++i)
        net.run();
    // N = 4: t = 0, 63, 127, 191 and last = 191.
    EXPECT_EQ(net.seen("tap"),
              (std::vector<std::vector<unsigned>>{{191}, {128}, {64}, {0}, {191}}));
}

} // namespace
} // namespace zoetra::testing
