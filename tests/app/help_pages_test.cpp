#include "app/help_pages.hpp"

#include "app/services/interface_colours.hpp"
#include "raster/draw.hpp"
#include "raster/text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zoetra {
namespace {

constexpr colour sentinel{0, 255, 0, 255};
// The window's help body: below the tab row of a 650 x 465 window.
constexpr rect window_help_body{0, 20, 650, 445};

// A buffer painted all over in the sentinel colour; at() reads the pixels
// as they were at the first call after drawing.
struct canvas_under_test {
    canvas_under_test(int w, int h) : image(std::uint16_t(w), std::uint16_t(h), ui_mid) {
        draw_rectangle(image, 0, 0, image.width(), image.height(), sentinel, true, sentinel);
    }
    pixel at(int x, int y) {
        if (drawn.empty()) {
            buffer_lock lock(image);
            drawn.assign(image.pixels(), image.pixels() + image.width() * image.height());
        }
        return drawn[std::size_t(y) * image.width() + std::size_t(x)];
    }
    buffer image;
    std::vector<pixel> drawn;
};

TEST(HelpPages, EveryPageKeepsToItsBodyAndPaintsAllOfIt) {
    struct placement {
        const char* name;
        rect body;
    };
    const placement placements[] = {
        {"the whole buffer", {0, 0, 650, 445}},
        {"smaller than a page", {40, 20, 300, 200}},
        {"off the top-left", {-100, -50, 650, 445}},
        {"off the bottom-right", {600, 400, 650, 445}},
        {"one pixel", {5, 5, 1, 1}},
        {"empty", {10, 10, 0, 0}},
    };
    for (const placement& p : placements) {
        for (int page = 1; page <= help_page_count(); ++page) {
            SCOPED_TRACE(std::string(p.name) + ", page " + std::to_string(page));
            canvas_under_test c(700, 500);
            draw_help_page(c.image, p.body, page);
            int stray = 0, unpainted = 0;
            for (int y = 0; y < 500; ++y) {
                for (int x = 0; x < 700; ++x) {
                    const bool changed = c.at(x, y) != drawn_pixel(sentinel);
                    if (p.body.contains(x, y))
                        unpainted += changed ? 0 : 1;
                    else
                        stray += changed ? 1 : 0;
                }
            }
            EXPECT_EQ(stray, 0);
            EXPECT_EQ(unpainted, 0);
        }
    }
}

// Every pixel of a page as the skin tool draws it: at (0, 0) of a 650 x 445 image.
std::vector<pixel> skin_page(int page) {
    canvas_under_test skin(650, 445);
    draw_help_page(skin.image, skin.image.window(), page);
    skin.at(0, 0);
    return skin.drawn;
}

TEST(HelpPages, ASkinPageAndTheWindowsFallbackAreTheSamePixels) {
    // The help panel draws the same page into the window's help body.
    for (int page = 1; page <= help_page_count(); ++page) {
        SCOPED_TRACE(page);
        const std::vector<pixel> skin = skin_page(page);
        canvas_under_test window(650, 465);
        draw_help_page(window.image, window_help_body, page);
        int different = 0;
        for (int y = 0; y < 445; ++y)
            for (int x = 0; x < 650; ++x)
                different += skin[std::size_t(y) * 650 + x] != window.at(x, y + 20) ? 1 : 0;
        EXPECT_EQ(different, 0);
    }
}

TEST(HelpPages, TheArrowsAreDrawnWhereThePanelTakesClicks) {
    // (The shell's help test clicks where the arrows lie.)
    canvas_under_test c(650, 465);
    draw_help_page(c.image, window_help_body, 1);
    for (const rect& arrow :
         {help_next_arrow(window_help_body), help_previous_arrow(window_help_body)}) {
        // The arrow fills the height of its area at its base and comes to a
        // point at its tip.
        int black_rows = 0;
        for (int y = arrow.y; y < arrow.bottom(); ++y)
            for (int x = arrow.x; x < arrow.right(); ++x)
                if (c.at(x, y) == drawn_pixel(ui_text)) {
                    ++black_rows;
                    break;
                }
        EXPECT_GE(black_rows, arrow.height - 4);
    }
}

TEST(HelpPages, NoPagesTextRunsOffTheFootOfItsSheet) {
    if (!text_font_available())
        GTEST_SKIP() << "no font";
    // The sheet ends 47 rows above the body's bottom; its last text row is
    // 4 rows above that. A page whose text is too long for the sheet shows
    // text in the rows just above the sheet's foot.
    for (int page = 1; page <= help_page_count(); ++page) {
        const std::vector<pixel> drawn = skin_page(page);
        int text_pixels = 0;
        for (int y = 380; y < 397; ++y)
            for (int x = 14; x < 636; ++x)
                text_pixels += drawn[std::size_t(y) * 650 + x] == drawn_pixel(ui_text) ? 1 : 0;
        EXPECT_EQ(text_pixels, 0) << "page " << page;
    }
}

TEST(HelpPages, PagesDifferAndNumbersOutsideTheRangeShowTheNearestPage) {
    ASSERT_EQ(help_page_count(), 5);
    // (Compared whole, without printing a page's pixels.)
    const std::vector<pixel> first = skin_page(1), last = skin_page(5);
    EXPECT_TRUE(first != last);
    EXPECT_TRUE(skin_page(2) != skin_page(3));
    EXPECT_TRUE(skin_page(0) == first);
    EXPECT_TRUE(skin_page(-7) == first);
    EXPECT_TRUE(skin_page(6) == last);
    EXPECT_TRUE(skin_page(1 << 30) == last);
}

} // namespace
} // namespace zoetra
