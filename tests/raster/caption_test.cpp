// Captions: the two colours they write, the outline around the fill, the
// size and lines they choose for a frame, and the texts they draw nothing for.
#include "raster/caption.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <utility>

namespace zoetra {
namespace {

constexpr colour picture_colour{0, 40, 90, 140};

class Caption : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!caption_font_available())
            GTEST_SKIP() << "no bold sans-serif font is installed";
    }
};
using CaptionLayout = Caption;
using CaptionText = Caption;

caption_mask laid_out(std::string_view text, std::uint16_t width, std::uint16_t height,
                      caption_place place = caption_place::top) {
    result<caption_mask> mask = lay_out_caption(text, place, width, height);
    EXPECT_TRUE(mask.ok()) << mask.message();
    return mask.ok() ? *mask : caption_mask{};
}

int count_of(const caption_mask& mask, caption_cell cell) {
    return int(std::count(mask.cells.begin(), mask.cells.end(), cell));
}

bool same_cells(const caption_mask& a, const caption_mask& b) {
    return a.width == b.width && a.height == b.height && a.cells == b.cells;
}

// The columns from the first to the last marked one, over a band of rows.
int marked_width(const caption_mask& mask, int first_row, int end_row) {
    int left = mask.width, right = -1;
    for (int row = first_row; row < end_row; ++row)
        for (int column = 0; column < mask.width; ++column)
            if (mask.at(column, row) != caption_cell::none) {
                left = std::min(left, column);
                right = std::max(right, column);
            }
    return right - left + 1;
}

// Painted and transparent-flagged pixels alike: every cell of the caption
// becomes exactly its opaque colour and every other pixel keeps its value,
// also where the mask reaches past a smaller frame.
TEST_F(Caption, WritesOnlyItsTwoColoursOpaqueAndLeavesTheRestAlone) {
    const caption_mask mask = laid_out("Hello there", 160, 120, caption_place::bottom);
    ASSERT_FALSE(mask.empty());
    EXPECT_GT(count_of(mask, caption_cell::fill), 0);
    EXPECT_GT(count_of(mask, caption_cell::outline), 0);

    buffer frame(160, 120, picture_colour); // starts with the transparent flag set
    buffer_lock hold(frame);
    for (int x = 0; x < 160; x += 2)
        for (int y = 0; y < 120; ++y)
            frame.pixels()[y * 160 + x] = drawn_pixel(colour{0, 1, 2, std::uint8_t(x)});
    const std::unique_ptr<buffer> before = frame.copy();
    buffer_lock hold_before(*before);
    // Transparency bytes in the colours do not make the caption transparent.
    const caption_colours colours{colour{3, 250, 240, 230}, colour{1, 5, 6, 7}};
    draw_caption(frame, mask, colours);

    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) {
            const bool inside =
                x >= mask.x && x < mask.x + mask.width && y >= mask.y && y < mask.y + mask.height;
            const caption_cell cell = inside ? mask.at(x - mask.x, y - mask.y) : caption_cell::none;
            const pixel expected = cell == caption_cell::fill      ? 0x00FAF0E6u
                                   : cell == caption_cell::outline ? 0x00050607u
                                                                   : before->pixels()[y * 160 + x];
            ASSERT_EQ(frame.pixels()[y * 160 + x], expected) << x << "," << y;
        }

    buffer small(40, 20, picture_colour);
    draw_caption(small, laid_out("Hello there", 160, 120), caption_colours{});
    buffer_lock hold_small(small);
    for (int i = 0; i < 40 * 20; ++i)
        EXPECT_TRUE(small.pixels()[i] == filled_pixel(picture_colour) ||
                    small.pixels()[i] == 0x00FFFFFFu || small.pixels()[i] == 0x00000000u);
}

// No fill pixel touches the picture, diagonals included, at small and large
// sizes; and the outline thickens as the letters grow.
TEST_F(Caption, FillIsAlwaysRingedByOutline) {
    int previous_size = 0, previous_run = 0;
    for (std::uint16_t side : {64, 128, 400}) {
        for (const char* text : {"I", ".", "Wow, e&a!"}) {
            const caption_mask mask = laid_out(text, side, side);
            ASSERT_FALSE(mask.empty()) << text;
            for (int row = 0; row < mask.height; ++row)
                for (int column = 0; column < mask.width; ++column) {
                    if (mask.at(column, row) != caption_cell::fill)
                        continue;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int x = column + dx, y = row + dy;
                            ASSERT_TRUE(x >= 0 && y >= 0 && x < mask.width && y < mask.height &&
                                        mask.at(x, y) != caption_cell::none)
                                << text << " at " << side << ": " << column << "," << row;
                        }
                }
        }
        // The outline left of the stem of an "I", half-way down.
        const caption_mask stem = laid_out("I", side, side);
        const int row = stem.height / 2;
        int first = 0;
        while (first < stem.width && stem.at(first, row) == caption_cell::none)
            ++first;
        int run = 0;
        while (first + run < stem.width && stem.at(first + run, row) == caption_cell::outline)
            ++run;
        EXPECT_GE(run, 1);
        ASSERT_LT(first + run, stem.width);
        EXPECT_EQ(stem.at(first + run, row), caption_cell::fill);
        EXPECT_GT(stem.font_size, previous_size);
        EXPECT_GE(run, previous_run) << side;
        previous_size = stem.font_size;
        previous_run = run;
    }
    EXPECT_GE(previous_run, 3); // a 50-pixel "I"
}

// Within the margins, centred, at the top or the bottom; a long text takes
// two lines, a longer one a smaller size, one too long even at 10 pixels is
// refused.
TEST_F(CaptionLayout, FitsTheFrameAtTheLargestSizeItCan) {
    const struct {
        const char* name;
        std::uint16_t width, height;
        const char* text;
        int lines;
        bool shrunk;
    } cases[] = {
        {"short on a square frame", 320, 320, "NOPE", 1, false},
        {"short on a small frame", 128, 128, "Yes!", 1, false},
        {"short on a wide frame", 800, 450, "Monday again", 1, false},
        {"long wraps", 320, 320, "WHEN IT WORKS", 2, false},
        {"longer shrinks", 320, 320, "WHEN THE BUILD PASSES ON THE FIRST TRY EVER", 2, true},
        {"one long word shrinks", 128, 128, "Incomprehensible", 1, true},
        {"long on a wide frame", 800, 450,
         "nobody: absolutely nobody: the cat at three in the morning", 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (caption_place place : {caption_place::top, caption_place::bottom}) {
            const caption_mask mask = laid_out(c.text, c.width, c.height, place);
            const caption_mask first_size = laid_out("X", c.width, c.height, place);
            const int margin = std::max(2, (std::min(c.width, c.height) * 4 + 50) / 100);
            EXPECT_EQ(mask.lines, c.lines);
            EXPECT_EQ(mask.font_size < first_size.font_size, c.shrunk) << mask.font_size;
            EXPECT_GE(mask.font_size, 10);
            EXPECT_GE(mask.x, margin);
            EXPECT_LE(mask.x + mask.width, c.width - margin);
            EXPECT_EQ(place == caption_place::top ? mask.y : c.height - mask.y - mask.height,
                      margin);
            if (mask.lines == 1) {
                EXPECT_NEAR(2 * mask.x + mask.width, c.width, 1);
            }
        }
    }

    const result<caption_mask> refused =
        lay_out_caption("Supercalifragilisticexpialidocious", caption_place::bottom, 64, 64);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.message(), "the caption \"Supercalifragilisticexpialidocious\" does not "
                                 "fit a 64 x 64 frame even at 10 pixels");
    EXPECT_FALSE(lay_out_caption("two lines", caption_place::top, 200, 12).ok());
}

// Four equal words break two and two, not three and one.
TEST_F(CaptionLayout, TwoLinesAreBalanced) {
    const caption_mask mask = laid_out("mmmm mmmm mmmm mmmm", 320, 320);
    ASSERT_EQ(mask.lines, 2);
    const int upper = marked_width(mask, 0, mask.height / 2);
    const int lower = marked_width(mask, mask.height / 2, mask.height);
    EXPECT_NEAR(upper, lower, 2);
}

// Each of a top and a bottom caption is as it would be alone, and the two
// keep apart or are refused together, on frames from low to square.
TEST_F(CaptionLayout, TopAndBottomNeverOverlap) {
    const result<caption_pair> apart = lay_out_captions("top text", "bottom text", 320, 320);
    ASSERT_TRUE(apart.ok()) << apart.message();
    EXPECT_TRUE(same_cells(apart->top, laid_out("top text", 320, 320)));
    EXPECT_TRUE(
        same_cells(apart->bottom, laid_out("bottom text", 320, 320, caption_place::bottom)));

    const char* text = "this one takes two lines at ten pixels";
    int refused = 0;
    for (std::uint16_t height = 30; height <= 128; ++height) {
        const result<caption_pair> pair = lay_out_captions(text, text, 128, height);
        if (pair.ok()) {
            EXPECT_LT(pair->top.y + pair->top.height, pair->bottom.y) << height;
            continue;
        }
        ++refused;
        EXPECT_EQ(pair.message(), "the captions \"this one takes two lines at ten pixels\" and "
                                  "\"this one takes two lines at ten pixels\" "
                                  "do not both fit a 128 x " +
                                      std::to_string(height) + " frame even at 10 pixels");
    }
    EXPECT_GT(refused, 0);
    EXPECT_LT(refused, 40);
    // A caption that cannot fit even alone is named alone.
    EXPECT_EQ(lay_out_captions("", "Supercalifragilisticexpialidocious", 64, 64).message(),
              lay_out_caption("Supercalifragilisticexpialidocious", caption_place::bottom, 64, 64)
                  .message());
}

// Nothing to draw is no failure; control characters, line feeds and bytes
// that are not UTF-8 read as in the rest of the program.
TEST_F(CaptionText, ReadsWordsAsTheTextMeans) {
    for (const char* nothing : {"", "   ", "\n\t ", "\x01\x02"}) {
        const result<caption_mask> mask = lay_out_caption(nothing, caption_place::top, 64, 64);
        ASSERT_TRUE(mask.ok()) << mask.message();
        EXPECT_TRUE(mask->empty());
        EXPECT_EQ(caption_font_size(*mask), 0);
        buffer frame(64, 64, picture_colour);
        draw_caption(frame, *mask, caption_colours{});
        buffer_lock hold(frame);
        EXPECT_EQ(frame.pixels()[0], filled_pixel(picture_colour));
    }
    EXPECT_TRUE(same_cells(laid_out("A\x01"
                                    "B\x7F",
                                    128, 128),
                           laid_out("AB", 128, 128)));
    EXPECT_TRUE(
        same_cells(laid_out("  when\nit\tworks ", 200, 200), laid_out("when it works", 200, 200)));
    EXPECT_TRUE(same_cells(laid_out("caf\xE9", 128, 128), laid_out("caf\xC3\xA9", 128, 128)));
    EXPECT_FALSE(same_cells(laid_out("café", 128, 128), laid_out("cafe", 128, 128)));
}

// Characters the first font lacks come from a fallback font when one is
// installed, instead of the missing-glyph box.
TEST_F(CaptionText, FallbackFontsDrawWhatTheFirstFontLacks) {
    const caption_mask mixed = laid_out("Ünïcödé ✓ 日本", 320, 320);
    EXPECT_GT(count_of(mixed, caption_cell::fill), 0);
    constexpr char32_t nowhere = 0x10FFFD; // private use: no font has it
    if (caption_font_has(nowhere))
        GTEST_SKIP() << "a font claims U+10FFFD";
    for (auto [text, code] : {std::pair{"✓", U'✓'}, std::pair{"日", U'日'}}) {
        if (!caption_font_has(code)) {
            std::cout << "no installed font has " << text << "; skipped\n";
            continue;
        }
        const caption_mask drawn = laid_out(text, 128, 128);
        EXPECT_GT(count_of(drawn, caption_cell::fill), 0) << text;
        EXPECT_FALSE(same_cells(drawn, laid_out("\xF4\x8F\xBF\xBD", 128, 128))) << text;
    }
}

} // namespace
} // namespace zoetra
