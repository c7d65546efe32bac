#include "raster/draw.hpp"
#include "raster_test_support.hpp"

#include <gtest/gtest.h>

#include <random>

namespace zoetra {
namespace {

using test::drawn_pixels;
using test::pixels_equal_to;
using test::point_set;

constexpr colour background{0, 1, 2, 3};
constexpr colour red{0, 255, 0, 0};
constexpr colour blue{0, 0, 0, 255};

class Drawing : public ::testing::Test {
  protected:
    buffer image{20, 12, background};
    buffer_lock hold{image};
};

TEST_F(Drawing, ColoursBecomeDrawnOrFilledPixels) {
    put_pixel(image, 2, 3, colour{1, 10, 20, 30});
    EXPECT_EQ(get_pixel(image, 2, 3), (colour{0, 10, 20, 30}));
    EXPECT_EQ(image.pixels()[3 * 20 + 2], 0x000A141Eu);
    EXPECT_EQ(get_pixel(image, 0, 0).t & 1, 1); // fresh pixels are background
    fast_fill(image, colour{0, 10, 20, 30}, rect{1, 1, 2, 2});
    EXPECT_EQ(get_pixel(image, 2, 2), (colour{1, 10, 20, 30}));
    EXPECT_EQ(get_pixel(image, 20, 0), colour{});
    EXPECT_EQ(get_pixel(image, -1, 0), colour{});
}

TEST_F(Drawing, LinesFollowTheErrorTermExactly) {
    draw_line(image, 5, 5, 5, 5, red);
    EXPECT_EQ(drawn_pixels(image), (point_set{{5, 5}}));

    fast_fill(image, background);
    draw_line(image, 0, 0, 4, 2, red); // shallow
    EXPECT_EQ(drawn_pixels(image), (point_set{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));

    fast_fill(image, background);
    draw_line(image, 4, 2, 0, 0, red); // the same line drawn backwards rounds the other way
    EXPECT_EQ(drawn_pixels(image), (point_set{{4, 2}, {3, 2}, {2, 1}, {1, 1}, {0, 0}}));

    fast_fill(image, background);
    draw_line(image, 0, 0, 1, 3, red); // steep
    EXPECT_EQ(drawn_pixels(image), (point_set{{0, 0}, {0, 1}, {1, 2}, {1, 3}}));

    fast_fill(image, background);
    draw_line(image, 0, 0, 3, 3, red); // diagonal takes the shallow branch
    EXPECT_EQ(drawn_pixels(image), (point_set{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
}

TEST_F(Drawing, ClippedLinesKeepTheUnclippedPixels) {
    // Lines are translation invariant, so the same line drawn into a large
    // buffer with an offset shows what the clipped one must keep.
    const int ox = 100, oy = 60;
    buffer large(300, 200, background);
    buffer_lock hold_large(large);
    const int lines[][4] = {
        {-50, -20, 60, 30}, {3, 4, 250, -7}, {-30, 20, 19, -12}, {7, 7, 7, -80}};
    for (const auto& l : lines) {
        fast_fill(image, background);
        fast_fill(large, background);
        draw_line(image, l[0], l[1], l[2], l[3], red);
        draw_line(large, l[0] + ox, l[1] + oy, l[2] + ox, l[3] + oy, red);
        point_set expected;
        for (auto [x, y] : drawn_pixels(large))
            if (x >= ox && x < ox + 20 && y >= oy && y < oy + 12)
                expected.insert({x - ox, y - oy});
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(drawn_pixels(image), expected);
    }
}

TEST_F(Drawing, RectanglesClipAndFillOnlyRealInteriors) {
    draw_rectangle(image, 1, 1, 2, 4, blue, true, red);
    EXPECT_EQ(pixels_equal_to(image, drawn_pixel(blue)), point_set{});
    EXPECT_EQ(drawn_pixels(image).size(), 8u);

    fast_fill(image, background);
    draw_rectangle(image, 1, 1, 3, 3, blue, true, red);
    EXPECT_EQ(pixels_equal_to(image, drawn_pixel(blue)), (point_set{{2, 2}}));
    EXPECT_EQ(pixels_equal_to(image, drawn_pixel(red)).size(), 8u);

    // Starting left of the window: moved to column 0 keeping its width.
    fast_fill(image, background);
    draw_rectangle(image, -3, 2, 5, 3, blue, false, red);
    EXPECT_EQ(drawn_pixels(image), (point_set{{0, 2},
                                              {1, 2},
                                              {2, 2},
                                              {3, 2},
                                              {4, 2},
                                              {0, 3},
                                              {4, 3},
                                              {0, 4},
                                              {1, 4},
                                              {2, 4},
                                              {3, 4},
                                              {4, 4}}));

    // Reaching past the far edges: cut there, the border drawn on the last row and column.
    fast_fill(image, background);
    draw_rectangle(image, 17, 10, 10, 10, blue, true, red);
    EXPECT_EQ(drawn_pixels(image),
              (point_set{{17, 10}, {18, 10}, {19, 10}, {17, 11}, {18, 11}, {19, 11}}));

    fast_fill(image, background);
    draw_rectangle(image, 20, 0, 4, 4, blue, true, red);
    draw_rectangle(image, -10, 0, 9, 4, blue, true, red);
    EXPECT_TRUE(drawn_pixels(image).empty());
}

TEST_F(Drawing, CircleModesAndTheirPixels) {
    draw_circle(image, 3, 3, 0, 9, red, true, blue);
    EXPECT_TRUE(drawn_pixels(image).empty());
    draw_circle(image, 3, 3, 1, 9, red, true, blue);
    EXPECT_EQ(drawn_pixels(image), (point_set{{3, 3}}));

    fast_fill(image, background);
    draw_circle(image, 3, 3, 2, 2, red, false, blue);
    EXPECT_EQ(drawn_pixels(image),
              (point_set{{3, 3}, {4, 3}, {5, 3}, {3, 4}, {5, 4}, {3, 5}, {4, 5}, {5, 5}}));

    fast_fill(image, background);
    draw_circle(image, 0, 0, 4, 4, red, true, blue);
    // Spans of later steps cover outline points of earlier ones: (2, 0) and
    // (2, 4) end up in the fill colour.
    EXPECT_EQ(pixels_equal_to(image, drawn_pixel(blue)), (point_set{{2, 0},
                                                                    {1, 1},
                                                                    {2, 1},
                                                                    {3, 1},
                                                                    {1, 2},
                                                                    {2, 2},
                                                                    {3, 2},
                                                                    {1, 3},
                                                                    {2, 3},
                                                                    {3, 3},
                                                                    {2, 4}}));
    EXPECT_EQ(pixels_equal_to(image, drawn_pixel(red)),
              (point_set{
                  {1, 0}, {3, 0}, {0, 1}, {4, 1}, {0, 2}, {4, 2}, {0, 3}, {4, 3}, {1, 4}, {3, 4}}));
    fast_fill(image, background);
    draw_circle(image, 0, 0, 4, 4, red, false, blue);
    EXPECT_EQ(drawn_pixels(image), (point_set{{1, 0},
                                              {2, 0},
                                              {3, 0},
                                              {0, 1},
                                              {4, 1},
                                              {0, 2},
                                              {4, 2},
                                              {0, 3},
                                              {4, 3},
                                              {1, 4},
                                              {2, 4},
                                              {3, 4}}));
}

TEST_F(Drawing, FilledCircleWithTheOutlineColourDrawsOnlyItsSpans) {
    buffer spans_only(20, 12, background);
    buffer_lock hold_spans(spans_only);
    // The outline differs only in the transparent flag, which is cleared before use.
    draw_circle(image, 2, 1, 9, 9, colour{1, 255, 0, 0}, true, red);
    draw_circle(spans_only, 2, 1, 9, 9, colour{0, 0, 0, 0}, true, red);
    // spans_only got black outline points on top of its spans; where image
    // has red, spans_only must have red or black, and nowhere else.
    point_set red_pixels = pixels_equal_to(image, drawn_pixel(red));
    EXPECT_EQ(drawn_pixels(image), red_pixels);
    EXPECT_EQ(drawn_pixels(spans_only), red_pixels);
    EXPECT_EQ(red_pixels.count({6, 5}), 1u);
}

TEST_F(Drawing, CirclesClipToTheBuffer) {
    draw_circle(image, -5, -5, 30, 30, red, true, blue);
    draw_circle(image, 15, 8, 40, 40, red, true, blue);
    EXPECT_EQ(get_pixel(image, 0, 0), blue);
    EXPECT_EQ(get_pixel(image, 19, 11), blue);
}

TEST_F(Drawing, SpansClipToTheWindow) {
    draw_span(image, 2, -5, 3, red);
    draw_span(image, 4, 18, 40, red);
    draw_span(image, 12, 0, 5, red);
    draw_span(image, -1, 0, 5, red);
    draw_span(image, 6, 30, 40, red);
    EXPECT_EQ(drawn_pixels(image), (point_set{{0, 2}, {1, 2}, {2, 2}, {3, 2}, {18, 4}, {19, 4}}));
}

TEST_F(Drawing, FastFillMarksPixelsAsBackgroundWithinTheBuffer) {
    fast_fill(image, colour{2, 9, 9, 9}, rect{-4, 10, 6, 10});
    EXPECT_EQ(pixels_equal_to(image, filled_pixel(colour{3, 9, 9, 9})),
              (point_set{{0, 10}, {1, 10}, {0, 11}, {1, 11}}));
    fast_fill(image, red);
    EXPECT_EQ(pixels_equal_to(image, 0x01FF0000u).size(), 240u);
}

// Throws primitives with coordinates all over the 16-bit range at a small
// buffer inside a guarded block: nothing may land outside the pixel array.
TEST(DrawingBounds, NoPrimitiveWritesOutsideThePixels) {
    buffer image(13, 7, background);
    buffer other(5, 9, background);
    buffer_lock hold(image);
    std::mt19937 random(12345);
    auto coordinate = [&] {
        std::uniform_int_distribution<int> pick(0, 3);
        std::uniform_int_distribution<int> small(-20, 30), any(-32768, 32767);
        return std::int16_t(pick(random) == 0 ? any(random) : small(random));
    };
    auto size = [&] { return std::uint16_t(std::uniform_int_distribution<int>(0, 60)(random)); };
    for (int round = 0; round < 400; ++round) {
        put_pixel(image, coordinate(), coordinate(), red);
        draw_line(image, coordinate(), coordinate(), coordinate(), coordinate(), red);
        draw_rectangle(image, coordinate(), coordinate(), size(), size(), blue, true, red);
        fast_fill(image, blue, rect{coordinate(), coordinate(), size(), size()});
        draw_circle(image, coordinate(), coordinate(), 5, size(), red, round % 2 == 0, blue);
        draw_span(image, coordinate(), coordinate(), coordinate(), red);
        std::int16_t xs[5], ys[5];
        for (int i = 0; i < 5; ++i)
            xs[i] = coordinate(), ys[i] = coordinate();
        draw_polygon(image, xs, ys, 5, red, true, blue);
        stretch_copy(other, image, coordinate(), coordinate(), size(), size(), coordinate(),
                     coordinate(), size(), size());
        stretch_copy_visible(image, other, coordinate(), coordinate(), size(), size(), coordinate(),
                             coordinate(), size(), size());
    }
    SUCCEED(); // the sanitizer build turns any stray write into a failure
}

} // namespace
} // namespace zoetra
