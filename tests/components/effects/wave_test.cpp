// The wave generator.
#include "effects_support.hpp"

#include <gtest/gtest.h>

namespace zoetra::testing {
namespace {

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
        number_named(subject, name).set_value(0, v);
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

TEST(Wave, TheControlOrElseTheSharedPhaseMovesTheWave) {
    wave_rig r;
    r.begin(9, 7);
    const list at_floor = values_of(r.frame(0));
    EXPECT_EQ(values_of(r.frame(255)), at_floor);
    EXPECT_NE(values_of(r.frame(128)), at_floor);
    // Without a control every fire moves the shared phase.
    // The waves of one program share it; another program's is its own.
    wave_rig first(false), second(false), elsewhere(false);
    second.subject.set_context(&first.network);
    first.begin(4, 1);
    second.begin(4, 1);
    elsewhere.begin(4, 1);
    const double before = first.program.wave_phase();
    first.fire_once();
    second.fire_once();
    elsewhere.fire_once();
    EXPECT_NEAR(first.program.wave_phase(), before + 0.2, 1e-9);
    EXPECT_EQ(second.values(1).at(0), at_radius_zero(127.5, first.program.wave_phase()));
    EXPECT_NEAR(elsewhere.program.wave_phase(), 0.1, 1e-9);
}

TEST(Wave, DegenerateSettings) {
    wave_rig flat; // amplitude 0 gives the floor everywhere
    flat.set("AMPLITUDE", 0).begin(5, 4);
    EXPECT_EQ(values_of(flat.frame(100)), list(20, 0));

    wave_rig fixed; // a control span of 0 stands at phase 0
    number_named(fixed.subject, "VALUE.control").set_minimum(0, 100);
    number_named(fixed.subject, "VALUE.control").set_maximum(0, 100);
    fixed.begin(4, 1);
    EXPECT_EQ(fixed.frame(100).value_at(0, 0), 63u);

    wave_rig deep; // planes past the first are cleared
    deep.set("AMPLITUDE", 1).begin(3, 2, 2);
    const list v = values_of(deep.frame(10));
    EXPECT_NE(list(v.begin(), v.begin() + 6), list(6, 0));
    EXPECT_EQ(list(v.begin() + 6, v.end()), list(6, 0));

    wave_rig odd; // an infinite amplitude rounds to NaN, which becomes the floor
    number_named(odd.subject, "AMPLITUDE").set_maximum(0, infinity);
    odd.set("AMPLITUDE", infinity).begin(4, 2);
    EXPECT_EQ(values_of(odd.frame(30)), list(8, 0));
}

// The estimates the wave tries first: within 1e-15 of std::sin and std::cos
// over their whole range, at random and beside multiples of pi / 2 there.
TEST(Wave, TheSineEstimateStaysWithinItsBound) {
    std::mt19937_64 source(1);
    std::uniform_real_distribution<double> anywhere(-sine_estimate_range, sine_estimate_range),
        near(-100, 100);
    double worst = 0;
    auto check = [&](double x) {
        const sine_and_cosine both = sine_cosine_estimate(x);
        worst =
            std::max({worst, std::abs(both.sine - std::sin(x)), std::abs(both.cosine - std::cos(x)),
                      std::abs(sine_estimate(x) - std::sin(x))});
    };
    for (int i = 0; i < 400000; ++i)
        check(i % 2 != 0 ? anywhere(source) : near(source));
    const long quarters = long(sine_estimate_range / (pi / 2));
    for (long k = -quarters; k <= quarters; k += 7) {
        check(k * (pi / 2));
        check(std::nextafter(k * (pi / 2), 0.0) - 1e-9);
    }
    EXPECT_LT(worst, 1e-15);
}

// Every element is floor + span x (1 - sin theta) x 0.5 truncated, with theta
// as the wave's description gives it, whatever shortcut the wave takes.
TEST(Wave, EveryElementIsTheTruncatedFormula) {
    int checked = 0;
    for (const bool wide : {false, true})
        for (const char* mode : {"LINEAR", "RADIAL"})
            for (const double angle : {0.1, 37.3, 90.0, 211.0})
                for (const double frequency : {1.0, 3.0}) {
                    wave_rig r;
                    if (wide)
                        menu_named(r.subject, "TYPE").select_by_name("UINT16");
                    menu_named(r.subject, "MODE").select_by_name(mode);
                    r.set("ANGLE", angle).set("FREQUENCY", frequency).set("AMPLITUDE", 0.7);
                    r.begin(61, 40);
                    const double span = (wide ? 65535 : 255) * 0.7;
                    const double a = angle * 0.017453292519943295;
                    const double ring = a < 1.5707963267948966 ? -1.0 : 1.0;
                    for (const unsigned c : {0u, 77u, 200u}) {
                        const matrix& m = r.frame(c);
                        const double phase = double(c) / 255;
                        for (std::uint16_t y = 0; y < 40; ++y)
                            for (std::uint16_t x = 0; x < 61; ++x) {
                                const double fx = x / 61.0, fy = y / 40.0;
                                const double dx = 2 * (fx - 0.5), dy = 2 * (fy - 0.5);
                                const double linear = std::string(mode) == "LINEAR"
                                                          ? std::cos(a) * fx - std::sin(a) * fy
                                                          : 0;
                                const double radial = std::string(mode) == "RADIAL"
                                                          ? ring * std::sqrt(dx * dx + dy * dy)
                                                          : 0;
                                const double theta =
                                    (linear + radial + phase) * frequency * 6.283185307179586;
                                const double v = span * (1 - std::sin(theta)) * 0.5;
                                const unsigned expected =
                                    wide ? truncate_to_u16(v) : truncate_to_u8(v);
                                checked += m.value_at(x, y) == expected;
                                ASSERT_EQ(m.value_at(x, y), expected)
                                    << mode << " " << angle << " " << frequency << " " << c
                                    << " at " << x << "," << y;
                            }
                    }
                }
    EXPECT_EQ(checked, 2 * 2 * 4 * 2 * 3 * 61 * 40);
}

} // namespace
} // namespace zoetra::testing
