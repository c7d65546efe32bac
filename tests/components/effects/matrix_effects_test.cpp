// The matrix effects: the crystal mosaic (block sizes, edge blocks, means at
// both widths, the control input), the rotation (quarter and full turns,
// sizes that differ, the control angle, inactive channels), the wave
// generator (values at known points, both modes and widths, the control
// input, the shared phase) and the colour space conversion.
#include "../basic/network.hpp"
#include "components/effects/crystalize.hpp"
#include "components/effects/rgb_hsv.hpp"
#include "components/effects/rotate.hpp"
#include "components/effects/wave.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace zoetra::testing {
namespace {

using namespace effects;
constexpr double infinity = std::numeric_limits<double>::infinity();

list counting(std::size_t n, unsigned first = 0) {
    list v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

// ---- the crystal mosaic -----------------------------------------------------

struct mosaic_rig : component_rig<crystalize> {
    explicit mosaic_rig(const char* type = "UINT8", bool controlled = false) : type(type) {
        listen("IN.1");
        watch("OUT.1", 1);
        if (controlled)
            listen("CONTROL.CS");
        subject.menu("TYPE").select_by_name(type);
    }
    mosaic_rig& shape(int w, int h, double crystal) {
        width = w;
        height = h;
        set_size(subject, "SIZE", w, h);
        subject.number("CRYSTAL SIZE").set_value(0, crystal);
        begin("OUT.1");
        return *this;
    }
    list run(const list& in) {
        give("IN.1", plane(type, width, height, in));
        fire_once();
        return values(1);
    }
    void control(unsigned c) { give("CONTROL.CS", plane("UINT8", 1, 1, {c})); }
    const char* type;
    int width = 1, height = 1;
};

TEST(Crystalize, BlocksCutToThePictureTakeTheirTruncatedMean) {
    EXPECT_EQ(mosaic_rig().shape(5, 3, 1).run(counting(15)), counting(15));
    EXPECT_EQ(mosaic_rig().shape(2, 2, 2).run({1, 2, 2, 2}), list(4, 1)); // 7 / 4
    mosaic_rig wide("UINT16");
    EXPECT_EQ(wide.shape(2, 2, 2).run({60000, 60001, 65535, 65535}), list(4, 62767));
    mosaic_rig zero; // a block size of 256 is 0 in 8 bits and counts as 1
    zero.subject.number("CRYSTAL SIZE").set_maximum(0, 1000);
    EXPECT_EQ(zero.shape(3, 1, 256).run({5, 6, 7}), (list{5, 6, 7}));
    // Edge blocks are cut to the picture. W = 10, H = 6, s = 4: blocks 4, 4
    // and 2 wide, 4 and 2 high; element x + 10 y.
    list expected; // block means 16.5, 20.5 and 23.5 (8.5 + 15), then 46.5, 50.5 and 53.5
    for (unsigned y = 0; y < 6; ++y)
        for (unsigned x = 0; x < 10; ++x)
            expected.push_back((y < 4 ? 16 : 46) + (x < 4 ? 0 : x < 8 ? 4 : 7));
    EXPECT_EQ(mosaic_rig().shape(10, 6, 4).run(counting(60)), expected);
}

TEST(Crystalize, ControlGrowsTheBlockFromOneToTheSettingPlusOne) {
    mosaic_rig r("UINT8", true);
    r.subject.number("VALUE.CONTROL").set_maximum(0, 255);
    r.shape(5, 5, 4);
    r.control(0);
    EXPECT_EQ(r.run(counting(25)), counting(25));
    r.control(255);
    EXPECT_EQ(r.subject.block_size(), 5);
    EXPECT_EQ(r.run(counting(25)), list(25, 12));
    // A control maximum of 0 gives no scale: the setting alone decides.
    mosaic_rig unscaled("UINT8", true);
    unscaled.subject.number("VALUE.CONTROL").set_maximum(0, 0);
    unscaled.shape(4, 4, 3).control(0);
    EXPECT_EQ(unscaled.subject.block_size(), 3);
}

TEST(Crystalize, OnlyChannelsWithInputsMakeMosaics) {
    mosaic_rig r;
    r.watch("OUT.2", 2); // no input: its port sends the fill value
    r.listen("IN.3");    // no output: made and dropped
    r.subject.number("VALUE").set_value(0, 8);
    r.shape(2, 1, 2).give("IN.3", plane("UINT8", 2, 1, {1, 1}));
    EXPECT_EQ(r.run({10, 20}), (list{15, 15}));
    EXPECT_EQ(r.values(2), (list{8, 8}));
}

// ---- the rotation ------------------------------------------------------------

// out(x, y) = in(w - 1 - y, x): a quarter turn of a w x w picture.
list quarter_turned(const list& in, int w) {
    list out(in.size());
    for (int y = 0; y < w; ++y)
        for (int x = 0; x < w; ++x)
            out[std::size_t(y * w + x)] = in[std::size_t(x * w + w - 1 - y)];
    return out;
}

struct rotate_rig : component_rig<rotate> {
    // The channels given are active: input fed, output watched by the probe.
    explicit rotate_rig(std::initializer_list<int> channels, const char* type = "UINT16") {
        for (int k : channels) {
            listen("IN." + std::to_string(k));
            watch("OUT." + std::to_string(k), k);
        }
        subject.menu("TYPE").select_by_name(type);
    }
    rotate_rig& sizes(int wi, int hi, int wo, int ho) {
        set_size(subject, "SIZE.IN", wi, hi);
        set_size(subject, "SIZE.OUT", wo, ho);
        begin("OUT.1");
        return *this;
    }
    list turn(double degrees, int w, int h, const list& in, int k = 1) {
        subject.number("ROTATE_ANGLE").set_value(0, degrees);
        give("IN." + std::to_string(k), plane(subject.menu("TYPE").selected_name(), w, h, in));
        fire_once();
        return values(k);
    }
};

TEST(Rotate, ZeroFullAndQuarterTurns) {
    rotate_rig copy({1});
    copy.sizes(5, 3, 5, 3);
    for (double angle : {0, 360})
        EXPECT_EQ(copy.turn(angle, 5, 3, counting(15, 1000)), counting(15, 1000)) << angle;
    for (int w : {4, 5}) {
        rotate_rig r({1});
        r.sizes(w, w, w, w);
        const list in = counting(std::size_t(w * w), 1);
        EXPECT_EQ(r.turn(90, w, w, in), quarter_turned(in, w)) << w << " x " << w;
        list picture = in;
        for (int i = 0; i < 4; ++i)
            picture = r.turn(90, w, w, picture);
        EXPECT_EQ(picture, in);
    }
}

TEST(Rotate, SizesThatDifferLeaveBackground) {
    rotate_rig wide({1});
    wide.subject.number("VALUE.BG").set_value(0, 9);
    // A quarter turn of 1 2 3 4 / 5 6 7 8: what leaves the picture is background.
    EXPECT_EQ(wide.sizes(4, 2, 4, 2).turn(90, 4, 2, counting(8, 1)),
              (list{9, 3, 7, 9, 9, 2, 6, 9}));
    // A larger output holds the input in its middle; a smaller one shows the middle.
    rotate_rig larger({1});
    EXPECT_EQ(larger.sizes(2, 2, 4, 4).turn(0, 2, 2, {1, 2, 3, 4}),
              (list{1, 1, 1, 1, 1, 1, 2, 1, 1, 3, 4, 1, 1, 1, 1, 1}));
    rotate_rig smaller({1});
    EXPECT_EQ(smaller.sizes(4, 4, 2, 2).turn(0, 4, 4, counting(16, 1)), (list{6, 7, 10, 11}));
    // Background and copies take the element width.
    for (const char* type : {"UINT8", "UINT16"}) {
        rotate_rig r({1}, type);
        r.subject.number("VALUE.BG").set_value(0, 200);
        EXPECT_EQ(r.sizes(1, 1, 3, 1).turn(0, 1, 1, {77}), (list{200, 77, 200}));
        EXPECT_EQ(r.got(1)->type_name(), type);
    }
}

TEST(Rotate, ControlValueIsTheAngle) {
    rotate_rig r({1});
    r.listen("CONTROL.rotate");
    r.subject.number("VALUE.CONTROL").set_maximum(0, 255);
    r.sizes(4, 4, 4, 4);
    r.give("CONTROL.rotate", plane("UINT8", 1, 1, {255})); // a full turn
    EXPECT_EQ(r.turn(45, 4, 4, counting(16, 1)), counting(16, 1));
    r.give("CONTROL.rotate", plane("UINT8", 1, 1, {85}));
    EXPECT_DOUBLE_EQ(r.subject.angle(), 120);
    // A control maximum of 0 gives no scale: the picture stays unturned.
    rotate_rig unscaled({1});
    unscaled.listen("CONTROL.rotate");
    unscaled.subject.number("VALUE.CONTROL").set_maximum(0, 0);
    unscaled.sizes(3, 3, 3, 3).give("CONTROL.rotate", plane("UINT8", 1, 1, {0}));
    EXPECT_EQ(unscaled.turn(90, 3, 3, counting(9, 1)), counting(9, 1));
}

TEST(Rotate, ChannelsTurnInStepWithoutChannelOne) {
    rotate_rig r({2, 4});
    r.listen("IN.1");    // input without output
    r.watch("OUT.3", 3); // output without input
    r.subject.number("VALUE").set_value(0, 42);
    r.sizes(3, 3, 3, 3);
    r.give("IN.2", plane("UINT16", 3, 3, counting(9, 1)));
    EXPECT_EQ(r.turn(90, 3, 3, counting(9, 100), 4), quarter_turned(counting(9, 100), 3));
    EXPECT_EQ(r.values(2), quarter_turned(counting(9, 1), 3));
    // The half-connected channel makes nothing: its port sends its fill value.
    EXPECT_EQ(r.values(3), list(9, 42));
}

TEST(Rotate, AngleThatIsNotANumberStillSamplesInsideTheInput) {
    rotate_rig r({1});
    r.subject.number("ROTATE_ANGLE").set_maximum(0, infinity);
    const list out = r.sizes(3, 2, 4, 4).turn(infinity, 3, 2, counting(6, 1));
    ASSERT_EQ(out.size(), 16u);
    for (unsigned v : out)
        EXPECT_TRUE(v >= 1 && v <= 6) << v;
}

// ---- the wave generator ------------------------------------------------------

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

TEST(Wave, RadialRingsAroundTheCentreTurnAroundFromNinetyDegrees) {
    wave_rig r;
    r.subject.menu("MODE").select_by_name("RADIAL");
    r.begin(8, 6);
    const matrix& m = r.frame(64);
    EXPECT_EQ(m.value_at(4, 3), at_radius_zero(127.5, 64 / 255.0));
    EXPECT_EQ(m.value_at(2, 3), m.value_at(6, 3));
    EXPECT_EQ(m.value_at(4, 1), m.value_at(4, 5));
    // At phase 0 the two directions give sin(-x) and sin(x): values that add up to the span.
    list both[2];
    for (int i = 0; i < 2; ++i) {
        wave_rig turned;
        turned.subject.menu("MODE").select_by_name("RADIAL");
        turned.set("AMPLITUDE", 1).set("ANGLE", i == 0 ? 89.9 : 90).begin(8, 8);
        both[i] = values_of(turned.frame(0));
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
    odd.subject.number("AMPLITUDE").set_maximum(0, infinity);
    odd.set("AMPLITUDE", infinity).begin(4, 2);
    EXPECT_EQ(values_of(odd.frame(30)), list(8, 0));
}

// ---- the colour space conversion -------------------------------------------

using triple = rgb_hsv::triple;

TEST(RgbHsv, KnownColours) {
    // Grey has the grey hue 160 degrees (byte 113) and no saturation.
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(100, 100, 100), (triple{113, 0, 100}));
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(113, 0, 100), (triple{100, 100, 100}));
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(255, 0, 0), (triple{0, 255, 255}));
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(0, 0, 255), (triple{170, 255, 255}));
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(170, 255, 255), (triple{0, 0, 255}));
    // Hue 255 is a full turn: 360 degrees become 0, red.
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(255, 255, 255), (triple{255, 0, 0}));
    // R max, B above G: H = bc - gc = -0.5 sextants, 330 degrees, byte 233.
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(255, 0, 128), (triple{233, 255, 255}));
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(128, 64, 64), (triple{0, 127, 128}));
    // Hue 43 is 60.7 degrees, sextant 1: R = q = 0.9882 * 255 = 252.0.
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(43, 255, 255), (triple{252, 255, 0}));
}

// One fire over three 2 x 2 planes; the three result planes.
std::vector<list> convert(const char* type, const char* mode, const std::vector<list>& planes,
                          double value_maximum = 255) {
    component_rig<rgb_hsv> r;
    r.wire({"IN.1", "IN.2", "IN.3"}, {"OUT.1", "OUT.2", "OUT.3"});
    r.subject.menu("TYPE").select_by_name(type);
    r.subject.menu("MODE").select_by_name(mode);
    r.subject.number("VALUE").set_maximum(0, value_maximum);
    set_size(r.subject, "SIZE", 2, 2);
    r.begin("OUT.1");
    for (int k = 1; k <= 3; ++k)
        r.give("IN." + std::to_string(k), plane(type, 2, 2, planes[std::size_t(k - 1)]));
    r.fire_once();
    EXPECT_EQ(r.got(1)->type_name(), type);
    return {r.values(1), r.values(2), r.values(3)};
}

TEST(RgbHsvComponent, ConvertsPlanesElementByElementBothWaysAtBothWidths) {
    const std::vector<list> rgb{{255, 0, 0, 100}, {0, 255, 0, 100}, {0, 0, 255, 100}};
    const std::vector<list> hsv{{0, 85, 170, 113}, {255, 255, 255, 0}, {255, 255, 255, 100}};
    EXPECT_EQ(convert("UINT8", "RGB->HSV", rgb), hsv);
    EXPECT_EQ(convert("UINT8", "HSV->RGB", hsv), rgb);
    // Sixteen-bit values above 255 (which only a raised "VALUE" maximum lets through)
    // count as 255: red, red, blue and white at full value.
    EXPECT_EQ(convert("UINT16", "RGB->HSV",
                      {{300, 65535, 0, 255}, {0, 0, 0, 255}, {0, 0, 256, 255}}, 65535),
              (std::vector<list>{{0, 0, 170, 113}, {255, 255, 255, 0}, {255, 255, 255, 255}}));
}

} // namespace
} // namespace zoetra::testing
