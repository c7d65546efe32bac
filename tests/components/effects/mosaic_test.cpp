// The crystal mosaic.
#include "effects_support.hpp"

#include <gtest/gtest.h>

namespace zoetra::testing {
namespace {

struct mosaic_rig : component_rig<crystalize> {
    explicit mosaic_rig(const char* type = "UINT8", bool controlled = false) : type(type) {
        listen("IN.1");
        watch("OUT.1", 1);
        if (controlled)
            listen("CONTROL.CS");
        menu_named(subject, "TYPE").select_by_name(type);
    }
    mosaic_rig& shape(int w, int h, double crystal) {
        width = w;
        height = h;
        set_size(subject, "SIZE", w, h);
        number_named(subject, "CRYSTAL SIZE").set_value(0, crystal);
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
    EXPECT_EQ(mosaic_rig().shape(2, 2, 2).run({1, 2, 2, 2}), list(4, 1)); // 7 / 4
    mosaic_rig wide("UINT16");
    EXPECT_EQ(wide.shape(2, 2, 2).run({60000, 60001, 65535, 65535}), list(4, 62767));
    mosaic_rig zero; // a block size of 256 is 0 in 8 bits and counts as 1
    number_named(zero.subject, "CRYSTAL SIZE").set_maximum(0, 1000);
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
    number_named(r.subject, "VALUE.CONTROL").set_maximum(0, 255);
    r.shape(5, 5, 4);
    r.control(0);
    EXPECT_EQ(r.run(counting(25)), counting(25));
    r.control(255);
    EXPECT_EQ(r.subject.block_size(), 5);
    EXPECT_EQ(r.run(counting(25)), list(25, 12));
    // A control maximum of 0 gives no scale: the setting alone decides.
    mosaic_rig unscaled("UINT8", true);
    number_named(unscaled.subject, "VALUE.CONTROL").set_maximum(0, 0);
    unscaled.shape(4, 4, 3).control(0);
    EXPECT_EQ(unscaled.subject.block_size(), 3);
}

// "CRYSTAL SIZE" is in elements of the picture at the 350 x 250 frame: the
// picture's scale multiplies it, with or without the control, before the
// truncation.
TEST(Crystalize, BlocksGrowWithThePicturesScale) {
    mosaic_rig r;
    number_named(r.subject, "SCALE").set_value(0, 2);
    list doubled(8, 3); // the means of 0..7 and 8..15
    doubled.resize(16, 11);
    EXPECT_EQ(r.shape(16, 1, 4).run(counting(16)), doubled);
    number_named(r.subject, "SCALE").set_value(0, 1.5);
    EXPECT_EQ(r.subject.block_size(), 6);
    number_named(r.subject, "SCALE").set_value(0, 0.1); // 0.4: still a block of 1
    EXPECT_EQ(r.subject.block_size(), 1);

    mosaic_rig controlled("UINT8", true);
    number_named(controlled.subject, "VALUE.CONTROL").set_maximum(0, 255);
    number_named(controlled.subject, "SCALE").set_value(0, 2);
    controlled.shape(5, 5, 4).control(255);
    EXPECT_EQ(controlled.subject.block_size(), 9); // 4 x 2 + 1
}

TEST(Crystalize, OnlyChannelsWithInputsMakeMosaics) {
    mosaic_rig r;
    r.watch("OUT.2", 2); // no input: its port sends the fill value
    r.listen("IN.3");    // no output: made and dropped
    number_named(r.subject, "VALUE").set_value(0, 8);
    r.shape(2, 1, 2).give("IN.3", plane("UINT8", 2, 1, {1, 1}));
    EXPECT_EQ(r.run({10, 20}), (list{15, 15}));
    EXPECT_EQ(r.values(2), (list{8, 8}));
}

} // namespace
} // namespace zoetra::testing
