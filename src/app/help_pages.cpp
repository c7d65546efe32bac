#include "app/help_pages.hpp"

#include "app/services/interface_colours.hpp"
#include "raster/draw.hpp"
#include "raster/text.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <string_view>

namespace zoetra {
namespace {

// ---- the pages ------------------------------------------------------------

// A page is a title and a run of parts, laid out top to bottom on the sheet.
enum class part_kind {
    heading,   // one line in the heading colour
    paragraph, // text wrapped to the sheet
    key,       // a name in the left column, its text wrapped in the right one
};

struct part {
    part_kind kind;
    const char* text;
    const char* detail = "";
};

struct page_text {
    const char* title;
    std::span<const part> parts;
};

using enum part_kind;

constexpr part welcome[] = {
    {paragraph, "Zoetra turns still GIF, PNG and JPEG pictures into animated GIF89a files. It runs "
                "effects over "
                "your pictures: small networks of components (image sources, wave generators, "
                "arithmetic, a 3-D camera, point renderers) kept as .zoml files in the Effects "
                "folder. You collect your GIFs, pick an effect, tune its settings, create up to "
                "32 frames, watch them play and save them as one animated GIF."},
    {heading, "The five tabs"},
    {paragraph, "The tabs along the top of the window follow the work from left to right. Click "
                "a tab, or press Tab and Shift+Tab to move to the next or the previous one."},
    {key, "CHOOSE A GIF", "The GIF palette: the pictures the effect works on."},
    {key, "SELECT EFFECT", "The effects, sorted into four types. Click one to make it current."},
    {key, "(S)ETTINGS", "The current effect's own settings; the tab carries the effect's name."},
    {key, "CREATE & SAVE", "Frames, delay, loops, direction and size; create, measure and save."},
    {key, "HELP/ABOUT",
     "These pages: turn them with the arrows below, or the comma and full stop keys."},
    {heading, "Your first animation"},
    {paragraph, "1.  Press Insert and choose a GIF, PNG or JPEG file.\n"
                "2.  On the SELECT EFFECT tab, click an effect.\n"
                "3.  Press Ctrl+G. Zoetra creates the frames, then plays them in the work area.\n"
                "4.  Press Ctrl+S and tell Zoetra where to save the animation."},
    {paragraph, "The status line at the bottom of the window says what Zoetra is doing."},
};

constexpr part palette[] = {
    {paragraph, "The CHOOSE A GIF tab holds the GIF palette: the GIF files from which your "
                "animation is made, up to 32 of them. Each slot shows a small picture of its GIF; "
                "the slot after the last GIF stays empty, ready for the next one."},
    {heading, "Adding and removing GIFs"},
    {key, "Insert image",
     "Click the button, or press the Insert key, and choose a GIF, PNG or JPEG file. It goes in "
     "at the selected slot, and the pictures from there on move one slot along. Select the "
     "empty slot to add a picture after all the others. For an animated GIF you are asked "
     "whether to take its first frame or every frame: every frame makes it one slot whose "
     "frames become the animation's, at most 32, shown for the file's own delays."},
    {key, "Delete image",
     "Click the button, or press the Delete key, to take the selected GIF out of the palette. The "
     "file itself stays on your disk."},
    {key, "Dropping files",
     "Drag GIF, PNG or JPEG files from your file manager and drop them on the window to add "
     "them."},
    {paragraph, "Still GIF, PNG and JPEG pictures go into the palette; where a PNG's alpha is "
                "below one half, its pixels are transparent. Zoetra tells you when a file is none "
                "of these, and when the palette already holds 32 GIFs: remove one first to make "
                "room."},
    {heading, "Selecting and scrolling"},
    {paragraph, "Click a slot to select it; the selected slot looks pressed in. The , and . keys "
                "(or 4 and 6, or the left and right arrow keys) select the previous and the next "
                "slot. When the palette holds more GIFs than it can show, a scroll bar appears "
                "under it: drag it, or click the arrows at its ends."},
    {heading, "The size label"},
    {paragraph, "Under the palette, the size label gives the selected GIF's width and height in "
                "pixels, for example 160 x 120. How large the animation comes out is set by GIF89 "
                "SIZE on the CREATE & SAVE tab."},
};

constexpr part effects[] = {
    {heading, "Effect types"},
    {paragraph, "Effects come in four types: STANDARD, WAVE, ART and STILL. The type menu on the "
                "left of the SELECT EFFECT tab shows the effects of one type at a time. Click a "
                "type, or press 2 and 8 (or the down and up arrow keys) to change it. A STILL "
                "effect makes one picture rather than an animation."},
    {heading, "Choosing an effect"},
    {paragraph, "Each effect of the type has a button: click it to make it the current effect. "
                "Rest the mouse pointer on a button to read what the effect does in the status "
                "line. The , and . keys (or 4 and 6, or the left and right arrow keys) step "
                "through the effects of the type. The Effects menu lists every effect under its "
                "type, so you can pick one from any tab."},
    {heading, "Tuning its settings"},
    {paragraph, "The settings tab, which carries the effect's name, shows what you can change:"},
    {key, "Sliders",
     "Click its left or right arrow to step the value down or up, or drag the knob along the "
     "track. With the mouse pointer on a slider, , and . step it too."},
    {key, "Dials",
     "Press on a dial and move the mouse round it: the value follows the pointer. , and . step "
     "it too."},
    {key, "Menus",
     "Click an item to choose it, or press 2 and 8 to move down and up. A menu of two choices is "
     "a switch: a click turns it over."},
    {key, "Numbers",
     "Click a number and type a new value. Zoetra takes it when you press Enter or click "
     "elsewhere; a value out of range is brought back into range."},
    {paragraph, "Settings take effect the next time you create frames."},
};

constexpr part creating[] = {
    {paragraph, "The CREATE & SAVE tab holds the settings of the animation as a whole:"},
    {key, "FRAMES", "How many frames to create, from 1 to 32."},
    {key, "DELAY", "How long each frame is shown, in seconds; 0 shows the frames without a pause."},
    {key, "LOOP", "How many times the animation plays; 0 plays it for ever."},
    {key, "DIRECTION", "Forwards, backwards, forwards and back, or back and forwards."},
    {key, "GIF89 SIZE",
     "How large the animation is: the size of the source GIF, small, medium, large or the whole "
     "work area."},
    {key, "FRAME",
     "A named size, or W x H as typed (0 follows the picture; two 0s: the effect's own). "
     "Pictures shrink to fit; ENLARGE makes small ones grow."},
    {heading, "Creating the frames"},
    {paragraph, "Press Ctrl+G, or click Create, to create the frames. Zoetra fills a row of slots "
                "at the top of the window as each frame is made; press Backspace or click the "
                "Cancel button to stop. When it is done, the frames play in the work area as a "
                "preview, with your delay and direction. Create again after changing a setting to "
                "see its result."},
    {heading, "Saving"},
    {paragraph, "Press Ctrl+C to learn the exact size in bytes of the GIF file that the frames "
                "will make, before you save it. Press Ctrl+S, or click Save, and choose where to "
                "save the animation: Zoetra writes one GIF89a file that any web browser or image "
                "viewer can play. The same commands are in the File menu, with Fine Colours: "
                "with it ticked, each frame gets colours of its own and only what changes is "
                "saved, for truer colours that stay still."},
};

constexpr part keyboard[] = {
    {heading, "Keys"},
    {key, "Tab, Shift+Tab", "Go to the next or the previous tab."},
    {key, "Insert", "Add a GIF to the palette."},
    {key, "Delete", "Remove the selected GIF from the palette."},
    {key, ", and .",
     "Step to the previous or next GIF, effect, value or help page (also 4 and 6)."},
    {key, "2 and 8", "Move down or up a menu, such as the effect types."},
    {key, "Ctrl+G", "Create the frames; Backspace stops the creation."},
    {key, "Ctrl+C", "Calculate the exact size of the GIF file."},
    {key, "Ctrl+S", "Save the animation."},
    {key, "Ctrl+B", "Reload the skin images from the Resources folder."},
    {heading, "About Zoetra"},
    {paragraph, "Zoetra 1.0, which turns still pictures into animated GIF89a files.\n"
                "Copyright (C) 2026 the Zoetra developers.\n"
                "Zoetra is free software: you can redistribute it and/or modify it under the "
                "terms of the GNU General Public License, version 3 or (at your option) any later "
                "version (GPL-3.0-or-later). It comes with ABSOLUTELY NO WARRANTY. Help > License "
                "Agreement shows the notice in full."},
};

constexpr std::array<page_text, 5> pages{{
    {"Welcome to Zoetra", welcome},
    {"Choosing GIFs: the GIF palette", palette},
    {"Choosing and tuning an effect", effects},
    {"Creating and saving", creating},
    {"Keyboard and about Zoetra", keyboard},
}};

// ---- the layout, relative to the body's top-left corner --------------------

constexpr colour heading_colour{0, 128, 16, 32};
constexpr colour key_colour{0, 0, 32, 96};

constexpr int title_x = 18, title_top = 6;
constexpr int rule_y = 30;
constexpr int sheet_left = 12, sheet_top = 38, sheet_right = 638, sheet_bottom = 398;
constexpr int text_left = sheet_left + 10, text_right = sheet_right - 10;
constexpr int text_top = sheet_top + 6;
constexpr int key_column = 116;
constexpr int paragraph_gap = 6, heading_gap = 9, key_gap = 2;
constexpr colour rule_colour{0, 0, 160, 160};
constexpr int arrow_top = 404, arrow_width = 17, arrow_height = 29;
constexpr int next_arrow_left = 612, previous_arrow_left = 18;
constexpr int footer_baseline = 422;

// Everything is drawn through this: positions relative to the body, every
// pixel kept to the body (and, by the primitives, to the buffer).
class page_painter {
  public:
    page_painter(buffer& target, const rect& body) : target_(target), body_(body) {}

    rect at(int x, int y, int w, int h) const {
        return rect_between(body_.x + x, body_.y + y, body_.x + x + w, body_.y + y + h);
    }

    // Cut to the buffer here: the rectangle primitive moves a rectangle that
    // starts outside the buffer rather than cutting it.
    void paint(int x, int y, int w, int h, colour c) {
        const rect r = intersection(intersection(at(x, y, w, h), body_), target_.window());
        if (!r.empty())
            draw_rectangle(target_, r.x, r.y, r.width, r.height, c, true, c);
    }

    // Top and left edges in one colour, bottom and right in the other.
    void bevel(int x, int y, int w, int h, colour upper_left, colour lower_right) {
        paint(x, y, w, 1, upper_left);
        paint(x, y, 1, h, upper_left);
        paint(x, y + h - 1, w, 1, lower_right);
        paint(x + w - 1, y, 1, h, lower_right);
    }

    // One line whose top is at y.
    void line_of_text(std::string_view text, int x, int y, colour c, text_size size) {
        const rect place = at(x, y, 0, 0);
        if (place.x != body_.x + x || place.y != body_.y + y)
            return; // beyond the 16-bit coordinates
        draw_text_clipped(target_, text, place.x, std::int16_t(place.y + 11), c, body_, size);
    }

    void centred_text(std::string_view text, int centre_x, int y, colour c) {
        line_of_text(text, centre_x - measure_text(text).width / 2, y, c, text_size::points_9);
    }

    // Text wrapped to a box of the given width, from y down to bottom.
    void wrapped_text(std::string_view text, int x, int y, int w, int bottom, colour c) {
        const rect box = intersection(at(x, y, w, bottom - y), body_);
        if (!box.empty())
            draw_text_in_box(target_, box.x, box.y, box.width, box.height, text, c);
    }

    // A triangle pointing left or right that fills the box, black with a
    // lit upper edge.
    void arrow(const rect& box, bool right) {
        const int x0 = box.x - body_.x, y0 = box.y - body_.y;
        const int middle = y0 + box.height / 2, half = box.height / 2;
        for (int column = 0; column < box.width; ++column) {
            // Column 0 is the tip.
            const int reach = half * column / std::max(1, box.width - 1);
            const int x = right ? x0 + box.width - 1 - column : x0 + column;
            paint(x, middle - reach, 1, 2 * reach + 1, ui_text);
            paint(x, middle - reach, 1, 1, ui_highlight);
        }
        const int base = right ? x0 : x0 + box.width - 1;
        paint(base, middle - half, 1, 2 * half + 1, ui_dark);
    }

  private:
    buffer& target_;
    rect body_;
};

// The number of lines draw_text_in_box makes of text in a box w pixels wide:
// the same greedy wrap at blanks, with line feeds always breaking.
int wrapped_line_count(std::string_view text, int w) {
    const int width = w - 1;
    int lines = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view paragraph = text.substr(start, end - start);
        std::string line;
        std::size_t at = 0;
        while (at < paragraph.size()) {
            std::size_t word_end = at;
            while (word_end < paragraph.size() && paragraph[word_end] != ' ')
                ++word_end;
            std::size_t blanks_end = word_end;
            while (blanks_end < paragraph.size() && paragraph[blanks_end] == ' ')
                ++blanks_end;
            if (!line.empty()) {
                const std::string trial = line + std::string(paragraph.substr(at, word_end - at));
                if (measure_text(trial).width > width) {
                    ++lines;
                    line.clear();
                }
            }
            line += paragraph.substr(at, blanks_end - at);
            at = blanks_end;
        }
        ++lines;
        start = end + 1;
    }
    return lines;
}

void draw_parts(page_painter& p, std::span<const part> parts) {
    const int line_height = std::max(1, measure_text("Mg").height);
    const int sheet_text_bottom = sheet_bottom - 4;
    int y = text_top;
    int gap = 0; // the space the part above asks for below it
    for (const part& each : parts) {
        switch (each.kind) {
        case heading: {
            // The heading, and a faint rule from its end to the sheet's edge.
            y += y == text_top ? 0 : std::max(gap, heading_gap);
            p.line_of_text(each.text, text_left, y, heading_colour, text_size::points_9);
            const int rule_left = text_left + measure_text(each.text).width + 8;
            p.paint(rule_left, y + line_height / 2 + 1, text_right - rule_left, 1, rule_colour);
            y += line_height;
            gap = 1;
            break;
        }
        case paragraph:
            y += gap;
            p.wrapped_text(each.text, text_left, y, text_right - text_left, sheet_text_bottom,
                           ui_text);
            y += wrapped_line_count(each.text, text_right - text_left) * line_height;
            gap = paragraph_gap;
            break;
        case key: {
            y += std::min(gap, key_gap);
            const int detail_left = text_left + key_column;
            p.line_of_text(each.text, text_left + 8, y, key_colour, text_size::points_9);
            p.wrapped_text(each.detail, detail_left, y, text_right - detail_left, sheet_text_bottom,
                           ui_text);
            y += wrapped_line_count(each.detail, text_right - detail_left) * line_height;
            gap = paragraph_gap;
            break;
        }
        }
        if (y >= sheet_text_bottom)
            return;
    }
}

} // namespace

int help_page_count() {
    return int(pages.size());
}

rect help_next_arrow(const rect& body) {
    return rect_between(body.x + next_arrow_left, body.y + arrow_top,
                        body.x + next_arrow_left + arrow_width, body.y + arrow_top + arrow_height);
}

rect help_previous_arrow(const rect& body) {
    return rect_between(body.x + previous_arrow_left, body.y + arrow_top,
                        body.x + previous_arrow_left + arrow_width,
                        body.y + arrow_top + arrow_height);
}

void draw_help_page(buffer& target, const rect& body, int page) {
    if (body.empty())
        return;
    const int number = std::clamp(page, 1, help_page_count());
    const page_text& shown = pages[std::size_t(number - 1)];
    buffer_lock lock(target);
    page_painter p(target, body);

    p.paint(0, 0, body.width, body.height, ui_mid);

    // The title, with an etched rule under it.
    p.line_of_text(shown.title, title_x, title_top, ui_text, text_size::points_12);
    const std::string_view corner = "Zoetra 1.0 help";
    p.line_of_text(corner, sheet_right - 2 - measure_text(corner).width, title_top + 4, ui_light,
                   text_size::points_9);
    p.paint(sheet_left, rule_y, sheet_right - sheet_left, 1, ui_dark);
    p.paint(sheet_left, rule_y + 1, sheet_right - sheet_left, 1, ui_light);

    // The sheet: sunken, with a light face.
    p.paint(sheet_left, sheet_top, sheet_right - sheet_left, sheet_bottom - sheet_top, ui_light);
    p.bevel(sheet_left, sheet_top, sheet_right - sheet_left, sheet_bottom - sheet_top, ui_dark,
            ui_highlight);
    draw_parts(p, shown.parts);

    // The page arrows and where we are.
    p.arrow(help_previous_arrow(body), false);
    p.arrow(help_next_arrow(body), true);
    p.line_of_text("previous page", previous_arrow_left + arrow_width + 8, footer_baseline - 11,
                   ui_text, text_size::points_9);
    const std::string_view next = "next page";
    p.line_of_text(next, next_arrow_left - 8 - measure_text(next).width, footer_baseline - 11,
                   ui_text, text_size::points_9);
    const std::string where =
        "page " + std::to_string(number) + " of " + std::to_string(help_page_count());
    p.centred_text(where, 325, footer_baseline - 11, ui_text);
}

} // namespace zoetra
