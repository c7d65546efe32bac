// The crystal mosaic: block sizes, edge blocks, means at both widths, the
// control input and block sizes that would never advance.
#include "../basic/network.hpp"
#include "components/effects/crystalize.hpp"

#include <gtest/gtest.h>

#include <numeric>

namespace zoetra::testing {
namespace {

using effects::crystalize;

struct mosaic_rig : component_rig<crystalize> {
    explicit mosaic_rig(const char* type = "UINT8", bool controlled = false) {
        listen("IN.1");
        watch("OUT.1", 1);
        if (controlled)
            listen("CONTROL.CS");
        subject.menu("TYPE").select_by_name(type);
    }
    void shape(int w, int h, double crystal) {
        set_size(subject, "SIZE", w, h);
        subject.number("CRYSTAL SIZE").set_value(0, crystal);
        begin("OUT.1");
    }
    list run(const char* type, int w, int h, const list& in) {
        give("IN.1", plane(type, std::uint16_t(w), std::uint16_t(h), in));
        fire_once();
        return values(1);
    }
};

list counting(std::size_t n) {
    list v(n);
    std::iota(v.begin(), v.end(), 0u);
    return v;
}

TEST(Crystalize, BlockSizeOneCopies) {
    mosaic_rig r;
    r.shape(5, 3, 1);
    EXPECT_EQ(r.run("UINT8", 5, 3, counting(15)), counting(15));
}

TEST(Crystalize, EdgeBlocksAreCutToThePicture) {
    mosaic_rig r;
    r.shape(10, 6, 4);
    // Element (x, y) = x + 10 y. Blocks are 4, 4 and 2 wide, 4 and 2 high.
    const list out = r.run("UINT8", 10, 6, counting(60));
    auto at = [&](int x, int y) { return out[std::size_t(y * 10 + x)]; };
    // Block (0..3, 0..3): mean of x + 10 y = 1.5 + 15 = 16.5 -> 16.
    EXPECT_EQ(at(0, 0), 16u);
    EXPECT_EQ(at(3, 3), 16u);
    EXPECT_EQ(at(4, 0), 20u); // 5.5 + 15
    EXPECT_EQ(at(8, 0), 23u); // 8.5 + 15 = 23.5
    EXPECT_EQ(at(9, 3), 23u);
    EXPECT_EQ(at(0, 4), 46u); // 1.5 + 45 = 46.5
    EXPECT_EQ(at(9, 5), 53u); // 8.5 + 45 = 53.5, the 2 x 2 corner
    EXPECT_EQ(at(7, 5), 50u);
}

TEST(Crystalize, MeansTruncate) {
    mosaic_rig r;
    r.shape(2, 2, 2);
    EXPECT_EQ(r.run("UINT8", 2, 2, {1, 2, 2, 2}), list(4, 1));
}

TEST(Crystalize, SixteenBitPlanesAverageWholeElements) {
    mosaic_rig r("UINT16");
    r.shape(2, 2, 2);
    EXPECT_EQ(r.run("UINT16", 2, 2, {60000, 60001, 65535, 65535}), list(4, 62767));
    ASSERT_NE(r.got(1), nullptr);
    EXPECT_TRUE(r.got(1)->is_uint16());
}

TEST(Crystalize, ControlGrowsTheBlockFromOneToTheSettingPlusOne) {
    mosaic_rig r("UINT8", true);
    r.subject.number("VALUE.CONTROL").set_maximum(0, 255);
    r.shape(5, 5, 4);
    r.give("CONTROL.CS", plane("UINT8", 1, 1, {0}));
    EXPECT_EQ(r.subject.block_size(), 1);
    EXPECT_EQ(r.run("UINT8", 5, 5, counting(25)), counting(25));
    r.give("CONTROL.CS", plane("UINT8", 1, 1, {255}));
    EXPECT_EQ(r.subject.block_size(), 5);
    EXPECT_EQ(r.run("UINT8", 5, 5, counting(25)), list(25, 12));
}

TEST(Crystalize, ControlMaximumOfZeroLeavesTheSetting) {
    mosaic_rig r("UINT8", true);
    r.subject.number("VALUE.CONTROL").set_maximum(0, 0);
    r.shape(4, 4, 3);
    r.give("CONTROL.CS", plane("UINT8", 1, 1, {0}));
    EXPECT_EQ(r.subject.block_size(), 3);
}

TEST(Crystalize, BlockSizeThatTruncatesToZeroCountsAsOne) {
    mosaic_rig r;
    r.subject.number("CRYSTAL SIZE").set_maximum(0, 1000);
    r.shape(3, 1, 256); // 256 in 8 bits is 0
    EXPECT_EQ(r.subject.block_size(), 1);
    EXPECT_EQ(r.run("UINT8", 3, 1, {5, 6, 7}), (list{5, 6, 7}));
}

TEST(Crystalize, OnlyChannelsWithInputsMakeMosaics) {
    mosaic_rig r;
    r.watch("OUT.2", 2); // no input: its port sends the fill value
    r.listen("IN.3");    // no output: made and dropped
    r.subject.number("VALUE").set_value(0, 8);
    r.shape(2, 1, 2);
    r.give("IN.3", plane("UINT8", 2, 1, {1, 1}));
    EXPECT_EQ(r.run("UINT8", 2, 1, {10, 20}), (list{15, 15}));
    EXPECT_EQ(r.values(2), (list{8, 8}));
}

} // namespace
} // namespace zoetra::testing
