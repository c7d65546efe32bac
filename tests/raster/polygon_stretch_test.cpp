#include "raster/draw.hpp"
#include "raster_test_support.hpp"

#include <gtest/gtest.h>

namespace zoetra {
namespace {

using test::drawn_pixels;
using test::pixels_equal_to;
using test::point_set;

constexpr colour background{0, 1, 2, 3};
constexpr colour red{0, 255, 0, 0};
constexpr colour blue{0, 0, 0, 255};

point_set block(int x0, int y0, int x1, int y1) {
    point_set s;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            s.insert({x, y});
    return s;
}

class Polygons : public ::testing::Test {
  protected:
    buffer image{12, 10, background};
    buffer_lock hold{image};
};

TEST_F(Polygons, FewVerticesAndFlatOnes) {
    const std::int16_t xs[] = {5, 1, 8, 3}, ys[] = {2, 2, 2, 7};
    draw_polygon(image, xs, ys, 0, red, true, blue);
    EXPECT_TRUE(drawn_pixels(image).empty());
    draw_polygon(image, xs, ys, 1, red, true, blue);
    EXPECT_EQ(drawn_pixels(image), (point_set{{5, 2}}));

    fast_fill(image, background);
    draw_polygon(image, xs, ys, 3, red, true, blue); // all on row 2
    EXPECT_EQ(pixels_equal_to(image, drawn_pixel(red)), block(1, 2, 8, 2));
    EXPECT_EQ(drawn_pixels(image).size(), 8u);
}

TEST_F(Polygons, FilledSquareWithAndWithoutADistinctOutline) {
    const std::int16_t xs[] = {0, 4, 4, 0}, ys[] = {0, 0, 4, 4};
    draw_polygon(image, xs, ys, 4, blue, true, blue);
    EXPECT_EQ(drawn_pixels(image), block(0, 0, 3, 3));

    fast_fill(image, background);
    draw_polygon(image, xs, ys, 4, red, true, blue);
    point_set outline = block(0, 0, 4, 0);
    outline.merge(block(0, 4, 4, 4));
    outline.merge(block(0, 0, 0, 4));
    outline.merge(block(4, 0, 4, 4));
    EXPECT_EQ(pixels_equal_to(image, drawn_pixel(red)), outline);
    EXPECT_EQ(pixels_equal_to(image, drawn_pixel(blue)), block(1, 1, 3, 3));
}

TEST_F(Polygons, SlantedEdgesStepWithTheirErrorTerms) {
    // A triangle with a left edge leaning left and a right edge leaning right
    // by more than one column per row.
    const std::int16_t xs[] = {4, 10, 1}, ys[] = {0, 3, 3};
    draw_polygon(image, xs, ys, 3, blue, true, blue);
    // Right edge (4,0)-(10,3): 2 columns a row; left edge (4,0)-(1,3): one a row.
    point_set expected = block(4, 0, 3, 0); // empty on the first row: x 4 .. 3
    expected.merge(block(3, 1, 5, 1));
    expected.merge(block(2, 2, 7, 2));
    EXPECT_EQ(drawn_pixels(image), expected);
}

TEST_F(Polygons, ConcaveShapeFillsBetweenPairsOfEdges) {
    // A "U": the notch in the middle stays empty.
    const std::int16_t xs[] = {0, 9, 9, 6, 6, 3, 3, 0}, ys[] = {0, 0, 8, 8, 3, 3, 8, 8};
    draw_polygon(image, xs, ys, 8, blue, true, blue);
    point_set expected = block(0, 0, 8, 2);
    expected.merge(block(0, 3, 2, 7));
    expected.merge(block(6, 3, 8, 7));
    EXPECT_EQ(drawn_pixels(image), expected);
}

TEST(StretchCopy, NearestNeighbourInBothDirections) {
    buffer source(4, 2, background);
    buffer destination(8, 4, background);
    {
        buffer_lock hold(source);
        for (int i = 0; i < 8; ++i)
            source.pixels()[i] = pixel(i + 1);
    }
    stretch_copy(source, destination, 0, 0, 4, 2, 0, 0, 8, 4);
    EXPECT_FALSE(source.is_locked());
    EXPECT_FALSE(destination.is_locked());
    buffer_lock hold(destination);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(destination.pixels()[y * 8 + x], pixel((y / 2) * 4 + x / 2 + 1));

    buffer small(2, 1, background);
    stretch_copy(source, small, 0, 0, 4, 2, 0, 0, 2, 1);
    buffer_lock hold_small(small);
    EXPECT_EQ(small.pixels()[0], 1u);
    EXPECT_EQ(small.pixels()[1], 3u);
}

TEST(StretchCopy, TransparencySkipCopiesOnlyVisiblePixels) {
    buffer fresh(6, 6, red);
    buffer destination(6, 6, blue);
    stretch_copy_visible(fresh, destination, 0, 0, 6, 6, 0, 0, 6, 6);
    EXPECT_TRUE(drawn_pixels(destination).empty());

    {
        buffer_lock hold(fresh);
        put_pixel(fresh, 2, 3, colour{0, 9, 9, 9});
    }
    stretch_copy_visible(fresh, destination, 0, 0, 6, 6, 0, 0, 6, 6);
    EXPECT_EQ(drawn_pixels(destination), (point_set{{2, 3}}));
    stretch_copy(fresh, destination, 0, 0, 6, 6, 0, 0, 6, 6);
    EXPECT_EQ(pixels_equal_to(destination, filled_pixel(red)).size(), 35u);
}

} // namespace
} // namespace zoetra
