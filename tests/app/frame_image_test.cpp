// The frame image: the window's layout and the damage it collects.
#include "app/frame_image.hpp"
#include "raster/draw.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace zoetra {
namespace {

TEST(FrameImage, RegionsOfTheWindow) {
    frame_image frame(650, 465);
    EXPECT_EQ(get_pixel(frame.image(), 10, 10).g, 128);
    EXPECT_EQ(frame.tab_row(), (rect{0, 0, 650, 20}));
    EXPECT_EQ(frame.panel_body(), (rect{0, 20, 650, 76}));
    EXPECT_EQ(frame.work_area(), (rect{0, 96, 650, 351}));
    EXPECT_EQ(frame.status_line(), (rect{0, 447, 650, 17}));
    EXPECT_EQ(frame.help_body(), (rect{0, 20, 650, 445}));

    frame_image tiny(40, 50); // too small for a work area
    EXPECT_EQ(tiny.work_area().height, 0);
}

TEST(FrameImage, DamageIsClippedMergedAndTakenOnce) {
    frame_image frame(650, 465);
    EXPECT_FALSE(frame.damaged());
    frame.mark_damaged(rect{-10, -10, 20, 20});
    frame.mark_damaged(rect{5, 5, 10, 10});       // overlaps the first: merged
    frame.mark_damaged(rect{600, 400, 100, 100}); // cut at the right and bottom edges
    frame.mark_damaged(rect{700, 10, 5, 5});      // wholly outside: nothing
    EXPECT_EQ(frame.take_damage(), (std::vector<rect>{{0, 0, 15, 15}, {600, 400, 50, 65}}));
    EXPECT_TRUE(frame.take_damage().empty());

    frame.mark_damaged(rect{});
    EXPECT_EQ(frame.take_damage(), (std::vector<rect>{{0, 0, 650, 465}}));
    // Many scattered areas are kept to a few rectangles that still cover them all.
    std::vector<rect> drawn;
    for (int k = 0; k < 12; ++k) {
        drawn.push_back(rect{std::int16_t(50 * k), std::int16_t(30 * k), 3, 3});
        frame.mark_damaged(drawn.back());
    }
    const std::vector<rect> damage = frame.take_damage();
    EXPECT_LE(damage.size(), 8u);
    for (const rect& r : drawn)
        EXPECT_TRUE(std::any_of(damage.begin(), damage.end(),
                                [&](const rect& d) { return intersection(d, r) == r; }));
}

} // namespace
} // namespace zoetra
