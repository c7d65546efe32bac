// Buffers (the ring, swapping to disk, planes), drawing primitives, polygons,
// stretch copies, text and the frame image.
#include "base/handles.hpp"
#include "base/memory.hpp"
#include "raster/buffer.hpp"
#include "raster/draw.hpp"
#include "raster/output_canvas.hpp"
#include "raster/text.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include <algorithm>
#include <csignal>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zoetra::test {
namespace {

using point_set = std::set<std::pair<int, int>>;
constexpr colour background{0, 1, 2, 3};
constexpr colour red{0, 255, 0, 0};
constexpr colour blue{0, 0, 0, 255};

// Every pixel of the buffer whose value is `value`.
point_set pixels_equal_to(buffer& b, pixel value) {
    buffer_lock hold(b);
    point_set found;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.pixels()[y * b.width() + x] == value)
                found.insert({x, y});
    return found;
}

// Every pixel that differs from the background fill.
point_set drawn_pixels(buffer& b) {
    point_set all = pixels_equal_to(b, filled_pixel(b.background())), drawn;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (all.count({x, y}) == 0)
                drawn.insert({x, y});
    return drawn;
}

// The w x h pixels at (x0, y0), rows split by "|": "." for the background,
// "R" and "B" for drawn red and blue, "?" for anything else; " +N" counts
// pixels drawn outside.
std::string art(buffer& b, int x0, int y0, int w, int h) {
    std::string out;
    int outside = int(drawn_pixels(b).size());
    buffer_lock hold(b);
    for (int y = y0; y < y0 + h; ++y) {
        out += y == y0 ? "" : "|";
        for (int x = x0; x < x0 + w; ++x) {
            const pixel p = b.pixels()[y * b.width() + x];
            const bool fresh = p == filled_pixel(b.background());
            outside -= !fresh;
            out += fresh ? '.' : p == drawn_pixel(red) ? 'R' : p == drawn_pixel(blue) ? 'B' : '?';
        }
    }
    return outside == 0 ? out : out + " +" + std::to_string(outside);
}

constexpr colour grey{0, 10, 20, 30};

// Records what the memory manager tells while it swaps.
struct recording_reports {
    recording_reports() {
        set_memory_report([this](const std::string& text) { statuses.push_back(text); });
    }
    ~recording_reports() { set_memory_report(nullptr); }
    std::vector<std::string> statuses;
};

// A swappable buffer whose every pixel depends on its position and a seed.
std::unique_ptr<buffer> patterned(int w, int h, unsigned seed) {
    auto b = std::make_unique<buffer>(w, h, grey);
    buffer_lock hold(*b);
    for (std::size_t i = 0; i < std::size_t(w) * h; ++i)
        b->pixels()[i] = pixel(i * 2654435761u + seed);
    b->set_swappable(true);
    return b;
}

bool has_pattern(buffer& b, unsigned seed) {
    buffer_lock hold(b);
    for (std::size_t i = 0; i < std::size_t(b.width()) * b.height(); ++i)
        if (b.pixels()[i] != pixel(i * 2654435761u + seed))
            return false;
    return true;
}

TEST(Buffer, SwapOutAndBackReadsBitForBit) {
    recording_reports shell;
    auto a = patterned(40, 30, 7);
    const int handles = handles_in_use();
    EXPECT_TRUE(buffer::swap_out_one());
    EXPECT_TRUE(a->on_disk());
    EXPECT_EQ(handles_in_use(), handles - 1);
    EXPECT_FALSE(buffer::swap_out_one()); // nothing else to move
    EXPECT_TRUE(has_pattern(*a, 7));
    EXPECT_FALSE(a->on_disk());
    EXPECT_TRUE(a->swappable());
    EXPECT_EQ(shell.statuses, std::vector<std::string>{"Reading buffer from disk."});
    // A copy of a buffer on disk brings the source back first.
    EXPECT_TRUE(buffer::swap_out_one());
    EXPECT_TRUE(has_pattern(*a->copy(), 7));
    // Destroyed while on disk: its handle goes too.
    EXPECT_TRUE(buffer::swap_out_one());
    a.reset();
    EXPECT_EQ(buffer::ring_size(), 0);
    EXPECT_EQ(handles_in_use(), handles - 1);
}

TEST(Buffer, LockedBuffersNeverSwap) {
    buffer a(8, 8, grey);
    a.set_swappable(true);
    a.lock();
    EXPECT_FALSE(a.can_swap());
    EXPECT_FALSE(buffer::swap_out_one());
    EXPECT_FALSE(free_memory_on_demand());
    a.unlock();
    EXPECT_TRUE(free_memory_on_demand());
    EXPECT_TRUE(a.on_disk());
    // Drawing into a buffer on disk brings it back first.
    draw_line(a, 0, 0, 7, 7, colour{0, 1, 1, 1});
    EXPECT_FALSE(a.on_disk() || a.is_locked());
    EXPECT_EQ(get_pixel(a, 7, 7), (colour{0, 1, 1, 1}));
}

TEST(Buffer, RoundRobinFromTheHeadWhichDestroyingMovesOn) {
    auto a = patterned(8, 8, 1), b = patterned(8, 8, 2), c = patterned(8, 8, 3);
    a->lock(); // destroying works on a locked buffer too
    a.reset();
    EXPECT_EQ(buffer::ring_size(), 2);
    EXPECT_TRUE(free_memory_on_demand());
    EXPECT_TRUE(b->on_disk() && !c->on_disk());
    EXPECT_TRUE(free_memory_on_demand());
    EXPECT_TRUE(c->on_disk());
    EXPECT_FALSE(free_memory_on_demand());
    // Both back; the head is past c, so b goes first again.
    b->lock(), b->unlock(), c->lock(), c->unlock();
    EXPECT_TRUE(buffer::swap_out_one());
    EXPECT_TRUE(b->on_disk() && !c->on_disk());
}

// Runs body with a resource's soft limit lowered.
template <class F> void with_limit(int resource, rlim_t soft, F body) {
    rlimit old{};
    getrlimit(resource, &old);
    rlimit lowered = old;
    lowered.rlim_cur = soft;
    setrlimit(resource, &lowered);
    body();
    setrlimit(resource, &old);
}

TEST(Buffer, SwapFileFailuresMakeTheBufferUnswappable) {
    recording_reports shell;
    auto a = patterned(64, 64, 3);
    // The swap file cannot grow: the write fails.
    auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    with_limit(RLIMIT_FSIZE, 1000, [] { EXPECT_FALSE(buffer::swap_out_one()); });
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(shell.statuses, std::vector<std::string>{"Failed writing to disk."});
    EXPECT_FALSE(a->swappable() || a->on_disk());
    EXPECT_TRUE(has_pattern(*a, 3));

    auto b = patterned(8, 8, 4);
    // No descriptor left for a temporary file.
    const int lowest_free = dup(0);
    close(lowest_free);
    with_limit(RLIMIT_NOFILE, rlim_t(lowest_free), [] { EXPECT_FALSE(buffer::swap_out_one()); });
    EXPECT_FALSE(b->swappable());
    EXPECT_EQ(shell.statuses.size(), 1u);
}

class Drawing : public ::testing::Test {
  protected:
    void clear() { fast_fill(image, background); }
    // A filled polygon in blue, outlined in `outline`, as a picture of w x h pixels.
    std::string polygon(std::vector<std::int16_t> xs, std::vector<std::int16_t> ys, int count,
                        colour outline, int w, int h) {
        clear();
        draw_polygon(image, xs.data(), ys.data(), count, outline, true, blue);
        return art(image, 0, 0, w, h);
    }
    buffer image{20, 12, background};
    buffer_lock hold{image};
};

TEST_F(Drawing, ColoursBecomeDrawnOrFilledPixels) {
    put_pixel(image, 2, 3, colour{1, 10, 20, 30});
    EXPECT_EQ(get_pixel(image, 2, 3), (colour{0, 10, 20, 30}));
    EXPECT_EQ(image.pixels()[3 * 20 + 2], 0x000A141Eu);
    EXPECT_EQ(get_pixel(image, 0, 0).t & 1, 1); // fresh pixels are background
    // Fast fill marks its pixels as background, only within the buffer.
    fast_fill(image, colour{2, 9, 9, 9}, rect{-4, 10, 6, 10});
    EXPECT_EQ(pixels_equal_to(image, filled_pixel(colour{3, 9, 9, 9})),
              (point_set{{0, 10}, {1, 10}, {0, 11}, {1, 11}}));
    EXPECT_EQ(get_pixel(image, 0, 10), (colour{3, 9, 9, 9}));
    EXPECT_EQ(get_pixel(image, 20, 0), colour{});
    EXPECT_EQ(get_pixel(image, -1, 0), colour{});
    fast_fill(image, red);
    EXPECT_EQ(pixels_equal_to(image, 0x01FF0000u).size(), 240u);
}

TEST_F(Drawing, LinesFollowTheErrorTermExactly) {
    const struct {
        int x0, y0, x1, y1;
        const char* picture;
    } lines[] = {
        {0, 0, 4, 2, "RR...|..RR.|....R"},   // shallow
        {4, 2, 0, 0, "R....|.RR..|...RR"},   // the same backwards rounds the other way
        {0, 0, 1, 3, "R.|R.|.R|.R"},         // steep
        {0, 0, 3, 3, "R...|.R..|..R.|...R"}, // the diagonal takes the shallow branch
        {1, 1, 1, 1, "..|.R"},               // both ends coincide
    };
    for (const auto& l : lines) {
        clear();
        draw_line(image, std::int16_t(l.x0), std::int16_t(l.y0), std::int16_t(l.x1),
                  std::int16_t(l.y1), red);
        const int w = std::max(l.x0, l.x1) + 1, h = std::max(l.y0, l.y1) + 1;
        EXPECT_EQ(art(image, 0, 0, w, h), l.picture);
    }
}

// Lines are translation invariant, so the same line drawn into a large
// buffer with an offset shows what the clipped one must keep.
TEST_F(Drawing, ClippedLinesKeepTheUnclippedPixels) {
    const int ox = 100, oy = 60;
    buffer large(300, 200, background);
    buffer_lock hold_large(large);
    const int lines[][4] = {
        {-50, -20, 60, 30}, {3, 4, 250, -7}, {-30, 20, 19, -12}, {7, 7, 7, -80}};
    for (const auto& l : lines) {
        clear();
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
    draw_rectangle(image, 1, 1, 2, 4, blue, true, red); // w = 2: no interior
    EXPECT_EQ(art(image, 0, 0, 4, 6), "....|.RR.|.RR.|.RR.|.RR.|....");
    clear();
    draw_rectangle(image, 1, 1, 3, 3, blue, true, red);
    EXPECT_EQ(art(image, 0, 0, 5, 5), ".....|.RRR.|.RBR.|.RRR.|.....");
    clear(); // starting left of the window: moved to column 0 keeping its width
    draw_rectangle(image, -3, 2, 5, 3, blue, false, red);
    EXPECT_EQ(art(image, 0, 1, 6, 5), "......|RRRRR.|R...R.|RRRRR.|......");
    clear(); // past the far edges: cut there, the border on the last row and column
    draw_rectangle(image, 17, 10, 10, 10, blue, true, red);
    EXPECT_EQ(art(image, 16, 9, 4, 3), "....|.RRR|.RRR");
    clear();
    draw_rectangle(image, 20, 0, 4, 4, blue, true, red);
    draw_rectangle(image, -10, 0, 9, 4, blue, true, red);
    EXPECT_TRUE(drawn_pixels(image).empty());
}

TEST_F(Drawing, CircleModesAndTheirPixels) {
    draw_circle(image, 3, 3, 0, 9, red, true, blue);
    EXPECT_TRUE(drawn_pixels(image).empty());
    draw_circle(image, 3, 3, 1, 9, red, true, blue);
    EXPECT_EQ(art(image, 2, 2, 3, 3), "...|.R.|...");
    clear();
    draw_circle(image, 3, 3, 2, 2, red, false, blue);
    EXPECT_EQ(art(image, 2, 2, 5, 5), ".....|.RRR.|.R.R.|.RRR.|.....");
    // Spans of later steps cover outline points of earlier ones: (2, 0) and
    // (2, 4) end up in the fill colour.
    clear();
    draw_circle(image, 0, 0, 4, 4, red, true, blue);
    EXPECT_EQ(art(image, 0, 0, 6, 6), ".RBR..|RBBBR.|RBBBR.|RBBBR.|.RBR..|......");
    clear();
    draw_circle(image, 0, 0, 4, 4, red, false, blue);
    EXPECT_EQ(art(image, 0, 0, 6, 6), ".RRR..|R...R.|R...R.|R...R.|.RRR..|......");
    // Clipped to the buffer.
    draw_circle(image, -5, -5, 30, 30, red, true, blue);
    draw_circle(image, 15, 8, 40, 40, red, true, blue);
    EXPECT_EQ(get_pixel(image, 0, 0), blue);
    EXPECT_EQ(get_pixel(image, 19, 11), blue);
}

// The outline differs only in the transparent flag, which is cleared before
// use: only the spans show.
TEST_F(Drawing, FilledCircleWithTheOutlineColourDrawsOnlyItsSpans) {
    buffer spans_only(20, 12, background);
    buffer_lock hold_spans(spans_only);
    draw_circle(image, 2, 1, 9, 9, colour{1, 255, 0, 0}, true, red);
    draw_circle(spans_only, 2, 1, 9, 9, colour{0, 0, 0, 0}, true, red);
    // spans_only got black outline points on top of the same spans.
    const point_set red_pixels = pixels_equal_to(image, drawn_pixel(red));
    EXPECT_EQ(drawn_pixels(image), red_pixels);
    EXPECT_EQ(drawn_pixels(spans_only), red_pixels);
    EXPECT_EQ(red_pixels.count({6, 5}), 1u);
}

TEST_F(Drawing, SpansClipToTheWindow) {
    draw_span(image, 2, -5, 3, red);
    draw_span(image, 4, 18, 40, red);
    draw_span(image, 12, 0, 5, red);
    draw_span(image, -1, 0, 5, red);
    draw_span(image, 6, 30, 40, red);
    EXPECT_EQ(drawn_pixels(image), (point_set{{0, 2}, {1, 2}, {2, 2}, {3, 2}, {18, 4}, {19, 4}}));
}

// Coordinates all over the 16-bit range at a small buffer: nothing may land
// outside the pixel array (the sanitizer build turns a stray write into a failure).
TEST(DrawingBounds, NoPrimitiveWritesOutsideThePixels) {
    buffer image(13, 7, background), other(5, 9, background);
    buffer_lock hold(image);
    std::mt19937 random(12345);
    auto at = [&] {
        std::uniform_int_distribution<int> pick(0, 3), small(-20, 30), any(-32768, 32767);
        return std::int16_t(pick(random) == 0 ? any(random) : small(random));
    };
    auto size = [&] { return std::uint16_t(std::uniform_int_distribution<int>(0, 60)(random)); };
    for (int round = 0; round < 400; ++round) {
        put_pixel(image, at(), at(), red);
        draw_line(image, at(), at(), at(), at(), red);
        draw_rectangle(image, at(), at(), size(), size(), blue, true, red);
        fast_fill(image, blue, rect{at(), at(), size(), size()});
        draw_circle(image, at(), at(), 5, size(), red, round % 2 == 0, blue);
        draw_span(image, at(), at(), at(), red);
        const std::int16_t xs[5] = {at(), at(), at(), at(), at()};
        const std::int16_t ys[5] = {at(), at(), at(), at(), at()};
        draw_polygon(image, xs, ys, 5, red, true, blue);
        stretch_copy(other, image, at(), at(), size(), size(), at(), at(), size(), size());
        stretch_copy_visible(image, other, at(), at(), size(), size(), at(), at(), size(), size());
    }
}

TEST_F(Drawing, PolygonsFillBetweenTheirEdges) {
    EXPECT_EQ(polygon({5, 1, 8, 3}, {2, 2, 2, 7}, 0, red, 1, 1), ".");
    EXPECT_EQ(polygon({5, 1, 8, 3}, {2, 2, 2, 7}, 1, red, 6, 3), "......|......|.....R");
    // All on row 2: only the outline.
    EXPECT_EQ(polygon({5, 1, 8, 3}, {2, 2, 2, 7}, 3, red, 10, 3),
              "..........|..........|.RRRRRRRR.");
    // A square, without and with an outline of its own.
    EXPECT_EQ(polygon({0, 4, 4, 0}, {0, 0, 4, 4}, 4, blue, 6, 6),
              "BBBB..|BBBB..|BBBB..|BBBB..|......|......");
    EXPECT_EQ(polygon({0, 4, 4, 0}, {0, 0, 4, 4}, 4, red, 6, 6),
              "RRRRR.|RBBBR.|RBBBR.|RBBBR.|RRRRR.|......");
    // Right edge (4,0)-(10,3): 2 columns a row; left edge (4,0)-(1,3): one a row.
    EXPECT_EQ(polygon({4, 10, 1}, {0, 3, 3}, 3, blue, 12, 4),
              "............|...BBB......|..BBBBBB....|............");
    // A "U": the notch in the middle stays empty.
    EXPECT_EQ(polygon({0, 9, 9, 6, 6, 3, 3, 0}, {0, 0, 8, 8, 3, 3, 8, 8}, 8, blue, 10, 9),
              "BBBBBBBBB.|BBBBBBBBB.|BBBBBBBBB.|BBB...BBB.|BBB...BBB.|"
              "BBB...BBB.|BBB...BBB.|BBB...BBB.|..........");
}

// The quad fill on a canvas is draw_polygon of four corners in one colour:
// tiny and flat quads (the point renderers' usual ones), quads over the
// edges, self-crossing ones and corners far outside, including flat ones
// wider than the 16-bit line arithmetic and spans whose end wraps round.
TEST(Quads, TheCanvasFillDrawsWhatDrawPolygonDraws) {
    buffer reference(40, 30, background), fast(40, 30, background);
    buffer_lock hold_reference(reference), hold_fast(fast);
    const pixel_canvas on_fast(fast);
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
        if (round % 89 == 0) {
            // Two rows whose both edges start at the 16-bit minimum: the
            // span's end, one before it, wraps round to the right edge.
            xs[0] = xs[1] = xs[3] = -32768;
            ys[0] = ys[1] = y0;
            ys[2] = ys[3] = std::int16_t(y0 + 1);
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

TEST(OutputCanvas, TheOutputAreaIsCentredInTheWorkAreaAndSizesTheImage) {
    output_canvas canvas(650, 351, colour{0, 0, 128, 128});
    EXPECT_TRUE(canvas.output_area().is_null());
    int changes = 0;
    canvas.on_output_area_changed([&](const rect&) { ++changes; });
    canvas.set_output_size(350, 250);
    EXPECT_EQ(canvas.output_area(), (rect{150, 50, 350, 250}));
    EXPECT_EQ(std::pair(canvas.image().width(), canvas.image().height()),
              std::pair(std::uint16_t(350), std::uint16_t(250)));
    EXPECT_EQ(get_pixel(canvas.image(), 10, 10), (colour{1, 0, 128, 128})); // the background
    canvas.set_output_size(350, 250);
    EXPECT_EQ(changes, 1);
    canvas.set_output_size(1000, 351); // cut to the work area
    EXPECT_EQ(canvas.output_area(), (rect{0, 0, 650, 351}));
    canvas.set_output_size(101, 51); // odd sizes round the corner down
    EXPECT_EQ(canvas.output_area(), (rect{275, 150, 101, 51}));
    EXPECT_EQ(changes, 3);
    canvas.set_output_size(-5, 40);
    EXPECT_EQ(canvas.output_area(), (rect{325, 155, 0, 40}));

    output_canvas tiny(40, 0, colour{}); // no room at all
    tiny.set_output_size(30, 30);
    EXPECT_EQ(tiny.output_area(), (rect{5, 0, 30, 0}));
}

} // namespace
} // namespace zoetra::test
