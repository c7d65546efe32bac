#include "raster/draw.hpp"
#include "raster_test_support.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace zoetra::test {
namespace {

class Polygons : public ::testing::Test {
  protected:
    std::string drawn(std::vector<std::int16_t> xs, std::vector<std::int16_t> ys, int count,
                      colour outline, int w, int h) {
        fast_fill(image, background);
        draw_polygon(image, xs.data(), ys.data(), count, outline, true, blue);
        return art(image, 0, 0, w, h);
    }
    buffer image{12, 10, background};
    buffer_lock hold{image};
};

TEST_F(Polygons, FewVerticesAndFlatOnes) {
    EXPECT_EQ(drawn({5, 1, 8, 3}, {2, 2, 2, 7}, 0, red, 1, 1), ".");
    EXPECT_EQ(drawn({5, 1, 8, 3}, {2, 2, 2, 7}, 1, red, 6, 3), "......|......|.....R");
    // All on row 2: only the outline.
    EXPECT_EQ(drawn({5, 1, 8, 3}, {2, 2, 2, 7}, 3, red, 10, 3), "..........|..........|.RRRRRRRR.");
}

TEST_F(Polygons, FilledSquareWithAndWithoutADistinctOutline) {
    EXPECT_EQ(drawn({0, 4, 4, 0}, {0, 0, 4, 4}, 4, blue, 6, 6),
              "BBBB..|BBBB..|BBBB..|BBBB..|......|......");
    EXPECT_EQ(drawn({0, 4, 4, 0}, {0, 0, 4, 4}, 4, red, 6, 6),
              "RRRRR.|RBBBR.|RBBBR.|RBBBR.|RRRRR.|......");
}

TEST_F(Polygons, SlantedAndConcaveEdges) {
    // Right edge (4,0)-(10,3): 2 columns a row; left edge (4,0)-(1,3): one a row.
    EXPECT_EQ(drawn({4, 10, 1}, {0, 3, 3}, 3, blue, 12, 4),
              "............|...BBB......|..BBBBBB....|............");
    // A "U": the notch in the middle stays empty.
    EXPECT_EQ(drawn({0, 9, 9, 6, 6, 3, 3, 0}, {0, 0, 8, 8, 3, 3, 8, 8}, 8, blue, 10, 9),
              "BBBBBBBBB.|BBBBBBBBB.|BBBBBBBBB.|BBB...BBB.|BBB...BBB.|"
              "BBB...BBB.|BBB...BBB.|BBB...BBB.|..........");
}

// The quad fill on a canvas is draw_polygon of four corners in one colour:
// tiny and flat quads (the point renderers' usual ones), quads over the
// edges, self-crossing ones and corners far outside, including flat ones
// wider than the 16-bit line arithmetic.
TEST(Quads, TheCanvasFillDrawsWhatDrawPolygonDraws) {
    buffer reference(40, 30, background), fast(40, 30, background);
    buffer_lock hold_reference(reference), hold_fast(fast);
    const canvas on_fast(fast);
    std::mt19937 random(7);
    auto pick = [&](int lo, int hi) {
        return std::int16_t(lo + int(random() % unsigned(hi - lo + 1)));
    };
    for (int round = 0; round < 4000; ++round) {
        std::int16_t xs[4], ys[4];
        const int kind = round % 4;
        const int spread = kind == 0 ? 2 : kind == 1 ? 12 : 60;
        const std::int16_t x0 = pick(-20, 55), y0 = pick(-15, 40);
        for (int i = 0; i < 4; ++i) {
            xs[i] = std::int16_t(x0 + pick(-spread, spread));
            ys[i] = kind == 3 ? y0 : std::int16_t(y0 + pick(-spread / 2, spread / 2));
        }
        if (round % 97 == 0) {
            xs[0] = -32768;
            xs[2] = 32767;
        }
        const colour k{0, std::uint8_t(round), std::uint8_t(round >> 8), 9};
        draw_polygon(reference, xs, ys, 4, k, true, k);
        fill_quad(on_fast, xs, ys, k);
        ASSERT_EQ(std::memcmp(reference.pixels(), fast.pixels(), 40 * 30 * sizeof(pixel)), 0)
            << "round " << round;
    }
}

TEST(StretchCopy, NearestNeighbourInBothDirections) {
    buffer source(4, 2, background), destination(8, 4, background), small(2, 1, background);
    {
        buffer_lock hold(source);
        for (int i = 0; i < 8; ++i)
            source.pixels()[i] = pixel(i + 1);
    }
    stretch_copy(source, destination, 0, 0, 4, 2, 0, 0, 8, 4);
    stretch_copy(source, small, 0, 0, 4, 2, 0, 0, 2, 1);
    EXPECT_FALSE(source.is_locked() || destination.is_locked());
    buffer_lock hold(destination), hold_small(small);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(destination.pixels()[y * 8 + x], pixel((y / 2) * 4 + x / 2 + 1));
    EXPECT_EQ(small.pixels()[0], 1u);
    EXPECT_EQ(small.pixels()[1], 3u);
}

TEST(StretchCopy, TransparencySkipCopiesOnlyVisiblePixels) {
    buffer fresh(6, 6, red), destination(6, 6, blue);
    stretch_copy_visible(fresh, destination, 0, 0, 6, 6, 0, 0, 6, 6);
    EXPECT_TRUE(drawn_pixels(destination).empty()); // a fast-filled buffer copies nothing
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
} // namespace zoetra::test
