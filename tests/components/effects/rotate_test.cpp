// The rotation of colour planes.
#include "effects_support.hpp"

#include <gtest/gtest.h>

namespace zoetra::testing {
namespace {

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
        menu_named(subject, "TYPE").select_by_name(type);
    }
    rotate_rig& sizes(int wi, int hi, int wo, int ho) {
        set_size(subject, "SIZE.IN", wi, hi);
        set_size(subject, "SIZE.OUT", wo, ho);
        begin("OUT.1");
        return *this;
    }
    list turn(double degrees, int w, int h, const list& in, int k = 1) {
        number_named(subject, "ROTATE_ANGLE").set_value(0, degrees);
        give("IN." + std::to_string(k),
             plane(menu_named(subject, "TYPE").selected_name(), w, h, in));
        fire_once();
        return values(k);
    }
};

TEST(Rotate, ZeroFullQuarterAndNotANumberTurns) {
    rotate_rig copy({1});
    copy.sizes(5, 3, 5, 3);
    for (double angle : {0, 360})
        EXPECT_EQ(copy.turn(angle, 5, 3, counting(15, 1000)), counting(15, 1000)) << angle;
    for (int w : {4, 5}) {
        rotate_rig r({1});
        r.sizes(w, w, w, w);
        const list in = counting(std::size_t(w * w), 1);
        EXPECT_EQ(r.turn(90, w, w, in), quarter_turned(in, w)) << w << " x " << w;
    }
    // An angle that is not a number still samples inside the input.
    rotate_rig odd({1});
    number_named(odd.subject, "ROTATE_ANGLE").set_maximum(0, infinity);
    const list out = odd.sizes(3, 2, 4, 4).turn(infinity, 3, 2, counting(6, 1));
    ASSERT_EQ(out.size(), 16u);
    for (unsigned v : out)
        EXPECT_TRUE(v >= 1 && v <= 6) << v;
}

TEST(Rotate, SizesThatDifferLeaveBackground) {
    rotate_rig wide({1});
    number_named(wide.subject, "VALUE.BG").set_value(0, 9);
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
        number_named(r.subject, "VALUE.BG").set_value(0, 200);
        EXPECT_EQ(r.sizes(1, 1, 3, 1).turn(0, 1, 1, {77}), (list{200, 77, 200}));
        EXPECT_EQ(r.got(1)->type_name(), type);
    }
}

TEST(Rotate, ControlValueIsTheAngle) {
    rotate_rig r({1});
    r.listen("CONTROL.rotate");
    number_named(r.subject, "VALUE.CONTROL").set_maximum(0, 255);
    r.sizes(4, 4, 4, 4);
    r.give("CONTROL.rotate", plane("UINT8", 1, 1, {255})); // a full turn
    EXPECT_EQ(r.turn(45, 4, 4, counting(16, 1)), counting(16, 1));
    r.give("CONTROL.rotate", plane("UINT8", 1, 1, {85}));
    EXPECT_DOUBLE_EQ(r.subject.angle(), 120);
    // A control maximum of 0 gives no scale: the picture stays unturned.
    rotate_rig unscaled({1});
    unscaled.listen("CONTROL.rotate");
    number_named(unscaled.subject, "VALUE.CONTROL").set_maximum(0, 0);
    unscaled.sizes(3, 3, 3, 3).give("CONTROL.rotate", plane("UINT8", 1, 1, {0}));
    EXPECT_EQ(unscaled.turn(90, 3, 3, counting(9, 1)), counting(9, 1));
}

TEST(Rotate, ChannelsTurnInStepWithoutChannelOne) {
    rotate_rig r({2, 4});
    r.listen("IN.1");    // input without output
    r.watch("OUT.3", 3); // output without input
    number_named(r.subject, "VALUE").set_value(0, 42);
    r.sizes(3, 3, 3, 3);
    r.give("IN.2", plane("UINT16", 3, 3, counting(9, 1)));
    EXPECT_EQ(r.turn(90, 3, 3, counting(9, 100), 4), quarter_turned(counting(9, 100), 3));
    EXPECT_EQ(r.values(2), quarter_turned(counting(9, 1), 3));
    // The half-connected channel makes nothing: its port sends its fill value.
    EXPECT_EQ(r.values(3), list(9, 42));
}

} // namespace
} // namespace zoetra::testing
