// Colour space conversion: the conversions at known colours and the
// component over planes of both widths.
#include "../basic/network.hpp"
#include "components/effects/rgb_hsv.hpp"

#include <gtest/gtest.h>

namespace zoetra::testing {
namespace {

using effects::rgb_hsv;
using triple = rgb_hsv::triple;

TEST(RgbHsv, GreyHasTheGreyHueAndNoSaturation) {
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(100, 100, 100), (triple{113, 0, 100}));
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(0, 0, 0), (triple{113, 0, 0}));
    // Back again: no saturation gives grey whatever the hue.
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(113, 0, 100), (triple{100, 100, 100}));
}

TEST(RgbHsv, PrimaryColoursAndBack) {
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(255, 0, 0), (triple{0, 255, 255}));
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(0, 255, 255), (triple{255, 0, 0}));
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(0, 255, 0), (triple{85, 255, 255}));
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(0, 0, 255), (triple{170, 255, 255}));
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(170, 255, 255), (triple{0, 0, 255}));
}

TEST(RgbHsv, FullTurnOfHueIsRed) {
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(255, 255, 255), (triple{255, 0, 0}));
}

TEST(RgbHsv, MixedColoursWithinEachSextant) {
    // Magenta-ish red: R is max, B above G, so H = bc - gc is negative and wraps.
    // R = 1, G = 0, B = 0.5: H = 360 - 30 = 330, hue byte 233.
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(255, 0, 128), (triple{233, 255, 255}));
    // Half saturation, half value: (128, 64, 64) -> S = 0.5, H = 0.
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(128, 64, 64), (triple{0, 127, 128}));
    // The backward conversion rounds: hue 43 is 60.7 degrees, sextant 1.
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(43, 255, 255), (triple{252, 255, 0}));
}

struct convert_rig : component_rig<rgb_hsv> {
    explicit convert_rig(const char* type) {
        for (int k = 1; k <= 3; ++k) {
            listen("IN." + std::to_string(k));
            watch("OUT." + std::to_string(k), k);
        }
        subject.menu("TYPE").select_by_name(type);
        set_size(subject, "SIZE", 2, 2);
    }
};

TEST(RgbHsvComponent, ConvertsPlanesElementByElementBothWays) {
    convert_rig r("UINT8");
    r.begin("OUT.1");
    r.give("IN.1", plane("UINT8", 2, 2, {255, 0, 0, 100}));
    r.give("IN.2", plane("UINT8", 2, 2, {0, 255, 0, 100}));
    r.give("IN.3", plane("UINT8", 2, 2, {0, 0, 255, 100}));
    r.fire_once();
    EXPECT_EQ(r.values(1), (list{0, 85, 170, 113}));
    EXPECT_EQ(r.values(2), (list{255, 255, 255, 0}));
    EXPECT_EQ(r.values(3), (list{255, 255, 255, 100}));

    r.subject.menu("MODE").select_by_name("HSV->RGB");
    r.give("IN.1", plane("UINT8", 2, 2, {0, 85, 170, 113}));
    r.give("IN.2", plane("UINT8", 2, 2, {255, 255, 255, 0}));
    r.give("IN.3", plane("UINT8", 2, 2, {255, 255, 255, 100}));
    r.fire_once();
    EXPECT_EQ(r.values(1), (list{255, 0, 0, 100}));
    EXPECT_EQ(r.values(2), (list{0, 255, 0, 100}));
    EXPECT_EQ(r.values(3), (list{0, 0, 255, 100}));
}

TEST(RgbHsvComponent, SixteenBitPlanesAreReadAsClampedBytes) {
    convert_rig r("UINT16");
    // Let values above 255 through the audit, as an effect file may.
    r.subject.number("VALUE").set_maximum(0, 65535);
    r.begin("OUT.1");
    r.give("IN.1", plane("UINT16", 2, 2, {300, 65535, 0, 255}));
    r.give("IN.2", plane("UINT16", 2, 2, {0, 0, 0, 255}));
    r.give("IN.3", plane("UINT16", 2, 2, {0, 0, 256, 255}));
    r.fire_once();
    ASSERT_NE(r.got(1), nullptr);
    EXPECT_TRUE(r.got(1)->is_uint16());
    // 300 and 65535 are red at full value; 256 is blue at full value; white.
    EXPECT_EQ(r.values(1), (list{0, 0, 170, 113}));
    EXPECT_EQ(r.values(2), (list{255, 255, 255, 0}));
    EXPECT_EQ(r.values(3), (list{255, 255, 255, 255}));
}

} // namespace
} // namespace zoetra::testing
