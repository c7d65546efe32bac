#include "raster/frame_image.hpp"
#include "raster/text.hpp"
#include "raster_test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace zoetra::test {
namespace {

constexpr colour paper{0, 200, 200, 200};
constexpr colour ink{0, 10, 20, 30};

TEST(Text, MeasuresWithTheSameFontAtBothSizes) {
    ASSERT_TRUE(text_font_available());
    const text_extent hello = measure_text("Hello");
    EXPECT_GT(hello.width, 10);
    EXPECT_GE(hello.height, 12);
    EXPECT_EQ(measure_text("HelloHello").width, 2 * hello.width);
    EXPECT_EQ(measure_text("").width, 0);
    const text_extent large = measure_text("Hello", text_size::points_12);
    EXPECT_GT(large.width, hello.width);
    EXPECT_GT(large.height, hello.height);
    // Bytes that are not UTF-8 still measure as characters.
    EXPECT_GT(measure_text("caf\xE9").width, measure_text("caf").width);
}

// Text drawn at a point or in a box stays in its block, in the text colour only.
TEST(Text, DrawnInsideItsBlockInOnlyTheTextColour) {
    buffer image(200, 100, paper);
    buffer_lock hold(image);
    const text_extent extent = measure_text("Welcome to Zoetra.");
    const rect block{5, 19, std::uint16_t(extent.width + 1), std::uint16_t(extent.height + 1)};
    const rect box{10, 40, 60, 50};
    draw_text_at(image, "Welcome to Zoetra.", 5, 30, colour{1, 10, 20, 30});
    draw_text_in_box(image, box.x, box.y, box.width, box.height,
                     "The quick brown fox jumps over the lazy dog again and again", ink);
    const point_set drawn = drawn_pixels(image);
    EXPECT_EQ(pixels_equal_to(image, drawn_pixel(ink)), drawn);
    int top = 1000, lowest = 0;
    for (auto [x, y] : drawn) {
        EXPECT_TRUE(block.contains(x, y) || box.contains(x, y)) << x << "," << y;
        top = std::min(top, y);
        lowest = std::max(lowest, y);
    }
    EXPECT_GT(drawn.size(), 100u);
    EXPECT_LE(top, 22); // capitals reach near the top of the block
    EXPECT_GT(lowest, box.y + measure_text("T").height + 2); // the box text wrapped

    // Clipped at the buffer edges.
    buffer small(30, 10, paper);
    buffer_lock hold_small(small);
    draw_text_at(small, "Clipped text runs off", -7, 4, ink, text_size::points_12);
    draw_text_in_box(small, 20, -6, 300, 300, "Another\nline", ink);
    draw_text_at(small, "", 0, 0, ink);
    EXPECT_FALSE(drawn_pixels(small).empty());
}

TEST(FrameImage, RegionsAndOutputArea) {
    frame_image frame(650, 465);
    EXPECT_EQ(get_pixel(frame.image(), 10, 10).g, 128);
    EXPECT_EQ(frame.tab_row(), (rect{0, 0, 650, 20}));
    EXPECT_EQ(frame.panel_body(), (rect{0, 20, 650, 76}));
    EXPECT_EQ(frame.work_area(), (rect{0, 96, 650, 351}));
    EXPECT_EQ(frame.status_line(), (rect{0, 447, 650, 17}));
    EXPECT_EQ(frame.help_body(), (rect{0, 20, 650, 445}));

    int changes = 0;
    frame.on_output_area_changed([&](const rect&) { ++changes; });
    frame.set_output_size(350, 250);
    EXPECT_EQ(frame.output_area(), (rect{150, 146, 350, 250}));
    frame.set_output_size(350, 250);
    EXPECT_EQ(changes, 1);
    frame.set_output_size(1000, 351);
    EXPECT_EQ(frame.output_area(), (rect{0, 96, 650, 351}));
    frame.set_output_size(101, 51);
    EXPECT_EQ(frame.output_area(), (rect{275, 246, 101, 51}));
    EXPECT_EQ(changes, 3);

    frame_image tiny(40, 50); // too small for a work area
    EXPECT_EQ(tiny.work_area().height, 0);
    tiny.set_output_size(30, 30);
    EXPECT_EQ(tiny.output_area(), (rect{5, 96, 30, 0}));
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
} // namespace zoetra::test
