// The colour space conversion.
#include "effects_support.hpp"

#include <gtest/gtest.h>

namespace zoetra::testing {
namespace {

using triple = rgb_hsv::triple;

// One fire over three 2 x 2 planes; the three result planes.
std::vector<list> convert(const char* type, const char* mode, const std::vector<list>& planes,
                          double value_maximum = 255) {
    component_rig<rgb_hsv> r;
    r.wire({"IN.1", "IN.2", "IN.3"}, {"OUT.1", "OUT.2", "OUT.3"});
    menu_named(r.subject, "TYPE").select_by_name(type);
    menu_named(r.subject, "MODE").select_by_name(mode);
    number_named(r.subject, "VALUE").set_maximum(0, value_maximum);
    set_size(r.subject, "SIZE", 2, 2);
    r.begin("OUT.1");
    for (int k = 1; k <= 3; ++k)
        r.give("IN." + std::to_string(k), plane(type, 2, 2, planes[std::size_t(k - 1)]));
    r.fire_once();
    EXPECT_EQ(r.got(1)->type_name(), type);
    return {r.values(1), r.values(2), r.values(3)};
}

TEST(RgbHsv, ConvertsPlanesElementByElementBothWaysAtBothWidths) {
    // Red, green, blue, and grey with the grey hue 160 degrees (byte 113) and no saturation.
    const std::vector<list> rgb{{255, 0, 0, 100}, {0, 255, 0, 100}, {0, 0, 255, 100}};
    const std::vector<list> hsv{{0, 85, 170, 113}, {255, 255, 255, 0}, {255, 255, 255, 100}};
    EXPECT_EQ(convert("UINT8", "RGB->HSV", rgb), hsv);
    EXPECT_EQ(convert("UINT8", "HSV->RGB", hsv), rgb);
    // Sixteen-bit values above 255 (which only a raised "VALUE" maximum lets
    // through) count as 255: red, red, blue and white at full value.
    EXPECT_EQ(convert("UINT16", "RGB->HSV",
                      {{300, 65535, 0, 255}, {0, 0, 0, 255}, {0, 0, 256, 255}}, 65535),
              (std::vector<list>{{0, 0, 170, 113}, {255, 255, 255, 0}, {255, 255, 255, 255}}));
}

TEST(RgbHsv, HuesBetweenThePrimaries) {
    // Hue 255 is a full turn: 360 degrees become 0, red.
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(255, 255, 255), (triple{255, 0, 0}));
    // R max, B above G: H = bc - gc = -0.5 sextants, 330 degrees, byte 233.
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(255, 0, 128), (triple{233, 255, 255}));
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(128, 64, 64), (triple{0, 127, 128}));
    // Hue 43 is 60.7 degrees, sextant 1: R = q = 0.9882 * 255 = 252.0.
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(43, 255, 255), (triple{252, 255, 0}));
}

} // namespace
} // namespace zoetra::testing
