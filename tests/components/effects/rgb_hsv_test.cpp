// The colour space conversion.
#include "effects_support.hpp"

#include <gtest/gtest.h>

namespace zoetra::testing {
namespace {

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
    // Red, green, blue, and grey with the grey hue 160 degrees (byte 113) and
    // no saturation. (Every hue between, both ways: the bundled renders that
    // convert their pictures, day and night, rainbow, sepia and surprise.)
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

} // namespace
} // namespace zoetra::testing
