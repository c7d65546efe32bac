// The rotation: quarter and full turns, sizes that differ, the control
// angle, inactive channels and both element widths.
#include "../basic/network.hpp"
#include "components/effects/rotate.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>

namespace zoetra::testing {
namespace {

using effects::rotate;

// Elements 1, 2, 3, ... row by row.
list counting(std::size_t n, unsigned first = 1) {
    list v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

struct rotate_rig : component_rig<rotate> {
    // Channels given are active: input fed, output watched by the probe.
    rotate_rig(std::initializer_list<int> channels, const char* type = "UINT16") {
        for (int k : channels) {
            listen("IN." + std::to_string(k));
            watch("OUT." + std::to_string(k), k);
        }
        subject.menu("TYPE").select_by_name(type);
    }
    void sizes(int wi, int hi, int wo, int ho) {
        set_size(subject, "SIZE.IN", wi, hi);
        set_size(subject, "SIZE.OUT", wo, ho);
        begin("OUT.1");
    }
    list turn(double degrees, int k, int w, int h, const list& in) {
        subject.number("ROTATE_ANGLE").set_value(0, degrees);
        give("IN." + std::to_string(k), plane(subject.menu("TYPE").selected_name().c_str(),
                                              std::uint16_t(w), std::uint16_t(h), in));
        fire_once();
        return values(k);
    }
};

// out(x, y) = in(w - 1 - y, x): a quarter turn of a w x w picture.
list quarter_turned(const list& in, int w) {
    list out(in.size());
    for (int y = 0; y < w; ++y)
        for (int x = 0; x < w; ++x)
            out[y * w + x] = in[(x)*w + (w - 1 - y)];
    return out;
}

TEST(Rotate, ZeroDegreesCopiesTheInput) {
    rotate_rig r({1});
    r.sizes(5, 3, 5, 3);
    const list in = counting(15, 1000);
    EXPECT_EQ(r.turn(0, 1, 5, 3, in), in);
}

TEST(Rotate, QuarterTurnOfSquarePictures) {
    for (int w : {4, 5}) {
        rotate_rig r({1});
        r.sizes(w, w, w, w);
        const list in = counting(std::size_t(w * w));
        EXPECT_EQ(r.turn(90, 1, w, w, in), quarter_turned(in, w)) << w << " x " << w;
    }
}

TEST(Rotate, FourQuarterTurnsComeBackToTheStart) {
    rotate_rig r({1});
    r.sizes(6, 6, 6, 6);
    list picture = counting(36);
    const list start = picture;
    for (int i = 0; i < 4; ++i)
        picture = r.turn(90, 1, 6, 6, picture);
    EXPECT_EQ(picture, start);
}

TEST(Rotate, QuarterTurnOfAWidePictureLeavesBackground) {
    rotate_rig r({1});
    r.subject.number("VALUE.BG").set_value(0, 9);
    r.sizes(4, 2, 4, 2);
    // in: row 0 = 1 2 3 4, row 1 = 5 6 7 8
    EXPECT_EQ(r.turn(90, 1, 4, 2, counting(8)), (list{9, 3, 7, 9, 9, 2, 6, 9}));
}

TEST(Rotate, LargerOutputCentresTheInputInBackground) {
    rotate_rig r({1});
    r.sizes(2, 2, 4, 4);
    EXPECT_EQ(r.turn(0, 1, 2, 2, {1, 2, 3, 4}),
              (list{1, 1, 1, 1, 1, 1, 2, 1, 1, 3, 4, 1, 1, 1, 1, 1}));
}

TEST(Rotate, SmallerOutputShowsTheMiddle) {
    rotate_rig r({1});
    r.sizes(4, 4, 2, 2);
    EXPECT_EQ(r.turn(0, 1, 4, 4, counting(16)), (list{6, 7, 10, 11}));
}

TEST(Rotate, ControlValueMakesTheAngle) {
    rotate_rig r({1});
    r.listen("CONTROL.rotate");
    r.subject.number("VALUE.CONTROL").set_maximum(0, 255);
    r.sizes(4, 4, 4, 4);
    const list in = counting(16);
    r.give("CONTROL.rotate", plane("UINT8", 1, 1, {255})); // a full turn
    EXPECT_EQ(r.turn(45, 1, 4, 4, in), in);
    r.give("CONTROL.rotate", plane("UINT8", 1, 1, {85})); // a third of the range
    EXPECT_DOUBLE_EQ(r.subject.angle(), 120);
}

TEST(Rotate, ControlMaximumOfZeroLeavesThePictureUnturned) {
    rotate_rig r({1});
    r.listen("CONTROL.rotate");
    r.sizes(3, 3, 3, 3);
    r.give("CONTROL.rotate", plane("UINT8", 1, 1, {0}));
    const list in = counting(9);
    EXPECT_EQ(r.turn(90, 1, 3, 3, in), in);
}

TEST(Rotate, ChannelsTurnInStepWithoutChannelOne) {
    rotate_rig r({2, 4});
    r.listen("IN.1");    // input without output
    r.watch("OUT.3", 3); // output without input
    r.subject.number("VALUE").set_value(0, 42);
    r.sizes(3, 3, 3, 3);
    r.tap.adopt_shape(r.subject.find_port("OUT.2"));
    const list a = counting(9), b = counting(9, 100);
    r.give("IN.2", plane("UINT16", 3, 3, a));
    r.give("IN.4", plane("UINT16", 3, 3, b));
    r.subject.number("ROTATE_ANGLE").set_value(0, 90);
    r.fire_once();
    EXPECT_EQ(r.values(2), quarter_turned(a, 3));
    EXPECT_EQ(r.values(4), quarter_turned(b, 3));
    // The half-connected channel makes nothing: its port sends its fill value.
    EXPECT_EQ(r.values(3), list(9, 42));
}

TEST(Rotate, AngleThatIsNotANumberStillSamplesInsideTheInput) {
    rotate_rig r({1});
    cfg_FP64& angle = r.subject.number("ROTATE_ANGLE");
    angle.set_maximum(0, std::numeric_limits<double>::infinity());
    r.sizes(3, 2, 4, 4);
    const list out = r.turn(std::numeric_limits<double>::infinity(), 1, 3, 2, counting(6));
    ASSERT_EQ(out.size(), 16u);
    for (unsigned v : out)
        EXPECT_TRUE(v >= 1 && v <= 6) << v;
}

TEST(Rotate, BackgroundTakesTheElementWidth) {
    rotate_rig wide({1}, "UINT16");
    wide.subject.number("VALUE.BG").set_value(0, 200);
    wide.sizes(1, 1, 3, 1);
    EXPECT_EQ(wide.turn(0, 1, 1, 1, {65535}), (list{200, 65535, 200}));
    ASSERT_NE(wide.got(1), nullptr);
    EXPECT_TRUE(wide.got(1)->is_uint16());

    rotate_rig narrow({1}, "UINT8");
    narrow.subject.number("VALUE.BG").set_value(0, 200);
    narrow.sizes(1, 1, 3, 1);
    EXPECT_EQ(narrow.turn(0, 1, 1, 1, {7}), (list{200, 7, 200}));
    EXPECT_TRUE(narrow.got(1)->is_uint8());
}

} // namespace
} // namespace zoetra::testing
