// The wave generator: values at known points, both modes, both widths, the
// control input and the shared phase.
#include "../basic/network.hpp"
#include "components/effects/wave.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zoetra::testing {
namespace {

using effects::wave;
constexpr double pi = 3.141592653589793;

// floor + span * (1 - sin(2 pi p)) * 0.5 with floor 0: the radial wave's
// centre and the linear wave's (0, 0) at phase p.
unsigned at_radius_zero(double span, double phase) {
    return unsigned(span * (1 - std::sin(2 * pi * phase)) * 0.5);
}

struct wave_rig : component_rig<wave> {
    explicit wave_rig(bool controlled = true) {
        if (controlled)
            listen("CONTROL.WAVE");
        watch("OUT", 1);
    }
    wave_rig& set(const char* name, double v) {
        subject.number(name).set_value(0, v);
        return *this;
    }
    void begin(int w, int h, int depth = 1) {
        set_size(subject, "SIZE", w, h, depth);
        component_rig::begin("OUT");
    }
    // One frame with control value c.
    const matrix& frame(unsigned c) {
        give("CONTROL.WAVE", plane("UINT8", 1, 1, {c}));
        fire_once();
        return *got(1);
    }
};

TEST(Wave, LinearWaveAtPhaseZeroRunsAlongX) {
    wave_rig r;
    r.begin(8, 6);
    const matrix& m = r.frame(0);
    EXPECT_EQ(m.value_at(0, 0), 63u); // span 127.5 (amplitude 0.5 of 255) * 0.5
    EXPECT_LE(m.value_at(2, 0), 1u);  // a quarter period in: the sine's top
    EXPECT_GE(m.value_at(6, 0), 126u);
    // The 0.1 degree tilt moves the rows by at most one step.
    for (std::uint16_t y = 1; y < 6; ++y)
        for (std::uint16_t x = 0; x < 8; ++x)
            EXPECT_LE(std::abs(int(m.value_at(x, y)) - int(m.value_at(x, 0))), 1);
}

TEST(Wave, RadialRingsAroundTheCentre) {
    wave_rig r;
    r.subject.menu("MODE").select_by_name("RADIAL");
    r.begin(8, 6);
    const matrix& m = r.frame(64);
    EXPECT_EQ(m.value_at(4, 3), at_radius_zero(127.5, 64 / 255.0));
    EXPECT_EQ(m.value_at(2, 3), m.value_at(6, 3));
    EXPECT_EQ(m.value_at(4, 1), m.value_at(4, 5));
}

TEST(Wave, AnglesFromNinetyDegreesTurnTheRingsAround) {
    // At phase 0 the two directions give sin(-x) and sin(x): values that add up to the span.
    list both[2];
    for (int i = 0; i < 2; ++i) {
        wave_rig r;
        r.subject.menu("MODE").select_by_name("RADIAL");
        r.set("AMPLITUDE", 1).set("ANGLE", i == 0 ? 89.9 : 90).begin(8, 8);
        both[i] = values_of(r.frame(0));
    }
    for (std::size_t i = 0; i < both[0].size(); ++i)
        EXPECT_NEAR(both[0][i] + both[1][i], 254.5, 0.5) << i;
}

TEST(Wave, SixteenBitOutputUsesTheWideRange) {
    wave_rig r;
    r.subject.menu("TYPE").select_by_name("UINT16");
    r.begin(8, 2);
    EXPECT_EQ(r.subject.number("VALUE").maximum(0), 65535);
    const matrix& m = r.frame(0);
    ASSERT_TRUE(m.is_uint16());
    EXPECT_EQ(m.value_at(0, 0), 16383u); // 65535 * 0.5 * 0.5
    const list v = values_of(m);
    EXPECT_GT(*std::max_element(v.begin(), v.end()), 32000u);
    EXPECT_LE(*std::max_element(v.begin(), v.end()), 32767u);
}

TEST(Wave, ControlAtTheTopGivesThePictureOfTheFloor) {
    wave_rig r;
    r.begin(9, 7);
    const list at_floor = values_of(r.frame(0));
    EXPECT_EQ(values_of(r.frame(255)), at_floor);
    EXPECT_NE(values_of(r.frame(128)), at_floor);
}

TEST(Wave, WithoutControlEveryFireMovesTheSharedPhase) {
    wave_rig first(false), second(false);
    first.begin(4, 1);
    second.begin(4, 1);
    const double before = wave::shared_phase();
    first.fire_once();
    second.fire_once();
    EXPECT_NEAR(wave::shared_phase(), before + 0.2, 1e-9);
    EXPECT_EQ(second.values(1).at(0), at_radius_zero(127.5, wave::shared_phase()));
}

TEST(Wave, DegenerateSettings) {
    wave_rig flat; // amplitude 0 gives the floor everywhere
    flat.set("AMPLITUDE", 0).begin(5, 4);
    EXPECT_EQ(values_of(flat.frame(100)), list(20, 0));

    wave_rig fixed; // a control span of 0 stands at phase 0
    fixed.subject.number("VALUE.control").set_minimum(0, 100);
    fixed.subject.number("VALUE.control").set_maximum(0, 100);
    fixed.begin(4, 1);
    EXPECT_EQ(fixed.frame(100).value_at(0, 0), 63u);

    wave_rig deep; // planes past the first are cleared
    deep.set("AMPLITUDE", 1).begin(3, 2, 2);
    const list v = values_of(deep.frame(10));
    EXPECT_NE(list(v.begin(), v.begin() + 6), list(6, 0));
    EXPECT_EQ(list(v.begin() + 6, v.end()), list(6, 0));

    wave_rig odd; // an infinite amplitude rounds to NaN, which becomes the floor
    odd.subject.number("AMPLITUDE").set_maximum(0, std::numeric_limits<double>::infinity());
    odd.set("AMPLITUDE", std::numeric_limits<double>::infinity()).begin(4, 2);
    EXPECT_EQ(values_of(odd.frame(30)), list(8, 0));
}

} // namespace
} // namespace zoetra::testing
