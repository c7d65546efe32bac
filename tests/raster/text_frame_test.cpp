#include "raster/frame_image.hpp"
#include "raster/text.hpp"
#include "raster/ui_colours.hpp"
#include "raster_test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace zoetra {
namespace {

using test::drawn_pixels;
using test::point_set;

constexpr colour background{0, 200, 200, 200};
constexpr colour ink{0, 10, 20, 30};

bool inside(const point_set& points, rect area) {
    return std::all_of(points.begin(), points.end(),
                       [&](const auto& p) { return area.contains(p.first, p.second); });
}

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

TEST(Text, AtPointStaysInItsBlockInTheTextColour) {
    buffer image(200, 60, background);
    buffer_lock hold(image);
    draw_text_at(image, "Welcome to Zoetra.", 5, 30, colour{1, 10, 20, 30});
    const point_set drawn = drawn_pixels(image);
    EXPECT_GT(drawn.size(), 40u);
    EXPECT_EQ(test::pixels_equal_to(image, drawn_pixel(ink)), drawn);
    const text_extent extent = measure_text("Welcome to Zoetra.");
    EXPECT_TRUE(inside(
        drawn, rect{5, 19, std::uint16_t(extent.width + 1), std::uint16_t(extent.height + 1)}));
    // Capitals reach near the top of the block.
    const int top = std::min_element(drawn.begin(), drawn.end(), [](auto& a, auto& b) {
                        return a.second < b.second;
                    })->second;
    EXPECT_LE(top, 22);
}

TEST(Text, InBoxWrapsAndNeverLeavesTheBox) {
    buffer image(120, 100, background);
    buffer_lock hold(image);
    const rect box{10, 5, 60, 50};
    draw_text_in_box(image, box.x, box.y, box.width, box.height,
                     "The quick brown fox jumps over the lazy dog again and again", ink);
    const point_set drawn = drawn_pixels(image);
    EXPECT_TRUE(inside(drawn, box));
    EXPECT_EQ(test::pixels_equal_to(image, drawn_pixel(ink)), drawn);
    // More than one line was used.
    int lowest = 0;
    for (auto [x, y] : drawn)
        lowest = std::max(lowest, y);
    EXPECT_GT(lowest, box.y + measure_text("T").height + 2);
}

TEST(Text, ClipsAtTheBufferEdges) {
    buffer image(30, 10, background);
    buffer_lock hold(image);
    draw_text_at(image, "Clipped text runs off", -7, 4, ink, text_size::points_12);
    draw_text_in_box(image, 20, -6, 300, 300, "Another\nline", ink);
    draw_text_at(image, "", 0, 0, ink);
    EXPECT_FALSE(drawn_pixels(image).empty());
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
    install_frame_image(&frame);
    set_output_size(350, 250);
    EXPECT_EQ(frame.output_area(), (rect{150, 146, 350, 250}));
    set_output_size(350, 250);
    EXPECT_EQ(changes, 1);
    set_output_size(1000, 351);
    EXPECT_EQ(frame.output_area(), (rect{0, 96, 650, 351}));
    set_output_size(101, 51);
    EXPECT_EQ(frame.output_area(), (rect{275, 246, 101, 51}));
    EXPECT_EQ(changes, 3);
    install_frame_image(nullptr);
    set_output_size(10, 10);
    EXPECT_EQ(current_frame_image(), nullptr);
}

TEST(FrameImage, TinyWindowsGiveEmptyRegions) {
    frame_image frame(40, 50);
    EXPECT_EQ(frame.work_area().height, 0);
    frame.set_output_size(30, 30);
    EXPECT_EQ(frame.output_area(), (rect{5, 96, 30, 0}));
}

} // namespace
} // namespace zoetra
