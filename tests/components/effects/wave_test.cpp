// The wave generator: values at known points, both modes, both widths, the
// control input and the shared phase.
#include "../basic/network.hpp"
#include "components/effects/register.hpp"
#include "components/effects/wave.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace zoetra::testing {
namespace {

using effects::wave;
constexpr double pi = 3.141592653589793;

struct wave_rig : component_rig<wave> {
    explicit wave_rig(bool controlled = true) {
        if (controlled)
            listen("CONTROL.WAVE");
        watch("OUT", 1);
    }
    void begin(std::uint16_t w, std::uint16_t h, std::uint16_t depth = 1) {
        set_size(subject, "SIZE", w, h, depth);
        component_rig::begin("OUT");
    }
    // One frame with control value c.
    const matrix& frame(unsigned c) {
        give("CONTROL.WAVE", plane("UINT8", 1, 1, {c}));
        fire_once();
        const matrix* m = got(1);
        EXPECT_NE(m, nullptr);
        return *m;
    }
};

TEST(Wave, LinearWaveAtPhaseZeroRunsAlongX) {
    wave_rig r;
    r.begin(8, 6);
    const matrix& m = r.frame(0);
    ASSERT_TRUE(m.is_uint8());
    // Element (0, 0): floor + span * 0.5, with span 255 * 0.5.
    EXPECT_EQ(m.value_at(0, 0), 63u);
    // A quarter period in: the sine's top gives the floor; three quarters in, the span.
    EXPECT_LE(m.value_at(2, 0), 1u);
    EXPECT_GE(m.value_at(6, 0), 126u);
    // The 0.1 degree tilt moves the rows by at most one step.
    for (std::uint16_t y = 1; y < 6; ++y)
        for (std::uint16_t x = 0; x < 8; ++x)
            EXPECT_LE(std::abs(int(m.value_at(x, y)) - int(m.value_at(x, 0))), 1) << x << "," << y;
}

TEST(Wave, LinearValuesFollowTheFormulaAtAnAngle) {
    wave_rig r;
    r.subject.number("ANGLE").set_value(0, 30);
    r.subject.number("FREQUENCY").set_value(0, 2);
    r.subject.number("AMPLITUDE").set_value(0, 1);
    r.begin(10, 5);
    const matrix& m = r.frame(51); // phase 0.2
    const double a = 30 * pi / 180;
    for (std::uint16_t y = 0; y < 5; ++y)
        for (std::uint16_t x = 0; x < 10; ++x) {
            const double theta =
                (std::cos(a) * x / 10.0 - std::sin(a) * y / 5.0 + 0.2) * 2 * 2 * pi;
            const double v = 255 * (1 - std::sin(theta)) * 0.5;
            EXPECT_NEAR(m.value_at(x, y), v, 1.0) << x << "," << y;
        }
}

TEST(Wave, RadialCentreHasRadiusZero) {
    wave_rig r;
    r.subject.menu("MODE").select_by_name("RADIAL");
    r.begin(8, 6);
    const matrix& m = r.frame(64);
    const double phase = 64 / 255.0;
    const auto expected = static_cast<unsigned>(127.5 * (1 - std::sin(2 * pi * phase)) * 0.5);
    EXPECT_EQ(m.value_at(4, 3), expected);
    // Rings: points at the same distance from the centre agree.
    EXPECT_EQ(m.value_at(2, 3), m.value_at(6, 3));
    EXPECT_EQ(m.value_at(4, 1), m.value_at(4, 5));
}

TEST(Wave, AnglesFromNinetyDegreesTurnTheRingsAround) {
    // At phase 0, s = -1 and s = +1 give sin(-x) and sin(x): mirrored values.
    wave_rig inward;
    inward.subject.menu("MODE").select_by_name("RADIAL");
    inward.subject.number("AMPLITUDE").set_value(0, 1);
    inward.begin(8, 8);
    const list in = values_of(inward.frame(0));
    wave_rig outward;
    outward.subject.menu("MODE").select_by_name("RADIAL");
    outward.subject.number("AMPLITUDE").set_value(0, 1);
    outward.subject.number("ANGLE").set_value(0, 90);
    outward.begin(8, 8);
    const list out = values_of(outward.frame(0));
    ASSERT_EQ(in.size(), out.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        EXPECT_GE(in[i] + out[i], 254u) << i;
        EXPECT_LE(in[i] + out[i], 255u) << i;
    }
}

TEST(Wave, SixteenBitOutputUsesTheWideRange) {
    wave_rig r;
    r.subject.menu("TYPE").select_by_name("UINT16");
    r.begin(8, 2);
    EXPECT_EQ(r.subject.number("VALUE").maximum(0), 65535);
    const matrix& m = r.frame(0);
    ASSERT_TRUE(m.is_uint16());
    EXPECT_EQ(m.value_at(0, 0), 16383u); // 65535 * 0.5 * 0.5, truncated
    unsigned top = 0;
    for (unsigned v : values_of(m))
        top = std::max(top, v);
    EXPECT_GT(top, 32000u);
    EXPECT_LE(top, 32767u);
}

TEST(Wave, AmplitudeZeroGivesTheFloorEverywhere) {
    wave_rig r;
    r.subject.number("AMPLITUDE").set_value(0, 0);
    r.begin(5, 4);
    EXPECT_EQ(values_of(r.frame(100)), list(20, 0));
}

TEST(Wave, ControlAtTheTopGivesThePictureOfTheFloor) {
    wave_rig r;
    r.begin(9, 7);
    const list at_floor = values_of(r.frame(0));
    const list at_top = values_of(r.frame(255));
    EXPECT_EQ(at_floor, at_top);
    EXPECT_NE(values_of(r.frame(128)), at_floor);
}

TEST(Wave, ZeroControlSpanStandsAtPhaseZero) {
    wave_rig r;
    r.subject.number("VALUE.control").set_minimum(0, 100);
    r.subject.number("VALUE.control").set_maximum(0, 100);
    r.begin(4, 1);
    EXPECT_EQ(r.frame(100).value_at(0, 0), 63u);
}

TEST(Wave, WithoutControlEveryFireMovesTheSharedPhase) {
    wave_rig first(false), second(false);
    first.begin(4, 1);
    second.begin(4, 1);
    const double before = wave::shared_phase();
    first.fire_once();
    second.fire_once();
    EXPECT_NEAR(wave::shared_phase(), before + 0.2, 1e-9);
    const double phase = wave::shared_phase();
    const auto expected = static_cast<unsigned>(127.5 * (1 - std::sin(2 * pi * phase)) * 0.5);
    EXPECT_EQ(second.got(1)->value_at(0, 0), expected);
}

TEST(Wave, DeeperPlanesAreCleared) {
    wave_rig r;
    r.subject.number("AMPLITUDE").set_value(0, 1);
    r.begin(3, 2, 2);
    const list v = values_of(r.frame(10));
    ASSERT_EQ(v.size(), 12u);
    EXPECT_NE(list(v.begin(), v.begin() + 6), list(6, 0));
    EXPECT_EQ(list(v.begin() + 6, v.end()), list(6, 0));
}

TEST(Wave, SettingThatIsNotANumberGivesTheFloorNotAnUndefinedConversion) {
    wave_rig r;
    cfg_FP64& amplitude = r.subject.number("AMPLITUDE");
    amplitude.set_maximum(0, std::numeric_limits<double>::infinity());
    amplitude.set_value(0, std::numeric_limits<double>::infinity()); // rounds to NaN
    r.begin(4, 2);
    EXPECT_EQ(values_of(r.frame(30)), list(8, 0));
}

TEST(WaveNetwork, FrameClockMovesTheWave) {
    network net(R"(<effect>
  <cpu id="clock">
    <valuelist name="FRAMES.CONTROL"><v>4</v></valuelist>
  </cpu>
  <WAVE id="wave">
    <valuelist name="SIZE"><x>4</x><y>1</y><z>1</z></valuelist>
    <valuelist name="VALUE.control"><v min="0" max="255">0</v></valuelist>
    <in name="CONTROL.WAVE" idref="control.cpu"></in>
    <out name="OUT" id="wave.out"></out>
  </WAVE>
  <TEST id="tap">
    <valuelist name="SIZE"><x>4</x><y>1</y><z>1</z></valuelist>
    <menu name="TYPE"><i value="UINT8" selected="true">UINT8</i></menu>
    <in name="IN.1" id="tap.in" idref="wave.out"></in>
  </TEST>
</effect>)",
                define_matrix_effect_components);
    std::string error;
    ASSERT_TRUE(net.start(error)) << error;
    for (int i = 0; i < 4; ++i)
        net.run();
    const auto frames = net.seen("tap");
    ASSERT_EQ(frames.size(), 4u);
    // Frame 0 is phase 0: (63, 0, 63, 127) across one period of four columns.
    EXPECT_EQ(frames[0], (list{63, 0, 63, 127}));
    EXPECT_NE(frames[1], frames[0]);
    EXPECT_NE(frames[2], frames[1]);
}

} // namespace
} // namespace zoetra::testing
