// Draws every skin image of the window with the program's own raster and
// text, and packs them into one resource archive; also draws the desktop
// icon. Usage:
//   zoetra-skins OUTPUT_FOLDER [--loose]
// writes OUTPUT_FOLDER/skins.rez and OUTPUT_FOLDER/zoetra.png; with --loose
// every GIF is also written beside them, to look at.
//
// Each image is drawn at exactly the size of the box the window scales it
// into, so that it shows pixel for pixel. Every pixel is painted (drawn
// pixels are opaque; only background pixels would turn transparent), except
// round the application icon's rounded corners.
#include "save_gif.hpp"

#include "app/help_pages.hpp"
#include "app/services/interface_colours.hpp"
#include "raster/draw.hpp"
#include "raster/text.hpp"
#include "resources/archive_format.hpp"
#include "resources/archive_writer.hpp"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace zoetra;

namespace {

// ---- colours --------------------------------------------------------------

constexpr colour white{0, 255, 255, 255};
constexpr colour gold{0, 255, 196, 48};
constexpr colour gold_shadow{0, 128, 80, 0};
constexpr colour coral{0, 240, 96, 72};
constexpr colour deep{0, 0, 40, 48};
constexpr colour leaf{0, 0, 128, 32};
constexpr colour brick{0, 176, 32, 32};
constexpr colour transparent{1, 0, 0, 0};

// ---- drawing helpers ------------------------------------------------------

// Painted pixels, cut to the buffer (the rectangle primitive would move a
// rectangle that starts outside it instead).
void paint(buffer& b, int x, int y, int w, int h, colour c) {
    const rect r = intersection(rect_between(x, y, x + w, y + h), b.window());
    if (!r.empty())
        draw_rectangle(b, r.x, r.y, r.width, r.height, c, true, c);
}

void line(buffer& b, int x0, int y0, int x1, int y1, colour c) {
    draw_line(b, std::int16_t(x0), std::int16_t(y0), std::int16_t(x1), std::int16_t(y1), c);
}

// Edges of the given thickness: top and left in one colour, bottom and right
// in the other.
void bevel(buffer& b, int x, int y, int w, int h, colour upper_left, colour lower_right,
           int thickness = 1) {
    for (int i = 0; i < thickness; ++i) {
        paint(b, x + i, y + i, w - 2 * i, 1, upper_left);
        paint(b, x + i, y + i, 1, h - 2 * i, upper_left);
        paint(b, x + i, y + h - 1 - i, w - 2 * i, 1, lower_right);
        paint(b, x + w - 1 - i, y + i, 1, h - 2 * i, lower_right);
    }
}

void disc(buffer& b, int cx, int cy, int radius, colour fill, colour outline) {
    draw_circle(b, std::int16_t(cx - radius), std::int16_t(cy - radius), 2,
                std::uint16_t(2 * radius), outline, true, fill);
}

int text_width(std::string_view text, text_size size = text_size::points_9) {
    return measure_text(text, size).width;
}

// One line of text with its baseline at y, as draw_text_at places it.
void text(buffer& b, std::string_view s, int x, int y, colour c,
          text_size size = text_size::points_9) {
    draw_text_at(b, s, std::int16_t(x), std::int16_t(y), c, size);
}

void text_centred(buffer& b, std::string_view s, int centre_x, int y, colour c,
                  text_size size = text_size::points_9) {
    text(b, s, centre_x - text_width(s, size) / 2, y, c, size);
}

// One line of plain ASCII centred on centre_x and squeezed, a pixel between
// letters (at most one), until it is no wider than max_width.
// False, with nothing drawn, when even the tightest spacing is too wide.
bool text_fitted(buffer& b, std::string_view s, int centre_x, int y, int max_width, colour c) {
    for (int squeeze = 0; squeeze <= 1; ++squeeze) {
        const int width = text_width(s) - squeeze * (int(s.size()) - 1);
        if (width > max_width)
            continue;
        int x = centre_x - width / 2;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const std::string_view letter = s.substr(i, 1);
            text(b, letter, x, y, c);
            x += text_width(letter) - squeeze;
        }
        return true;
    }
    return false;
}

// Text drawn at 12 points and blown up by a whole factor, so that its pixels
// show as blocks: the large lettering of the splash. (x, y) is the top-left
// corner of the scaled line.
void big_text(buffer& b, std::string_view s, int x, int y, int scale, colour c) {
    const text_extent extent = measure_text(s, text_size::points_12);
    if (extent.width == 0)
        return;
    buffer small(std::uint16_t(extent.width + 2), std::uint16_t(extent.height + 2), transparent);
    text(small, s, 1, 12, c, text_size::points_12);
    stretch_copy_visible(small, b, 0, 0, small.width(), small.height(), std::int16_t(x),
                         std::int16_t(y), std::uint16_t(small.width() * scale),
                         std::uint16_t(small.height() * scale));
}

// Rows from top to bottom in `steps` flat bands between two colours (flat
// bands keep the GIF small: every row is one run).
void vertical_bands(buffer& b, int x, int y, int w, int h, colour top, colour bottom, int steps) {
    for (int i = 0; i < steps; ++i) {
        const int y0 = y + h * i / steps, y1 = y + h * (i + 1) / steps;
        auto mix = [&](std::uint8_t a, std::uint8_t z) {
            return std::uint8_t(a + (z - a) * i / std::max(1, steps - 1));
        };
        paint(b, x, y0, w, y1 - y0,
              colour{0, mix(top.r, bottom.r), mix(top.g, bottom.g), mix(top.b, bottom.b)});
    }
}

// A sine wave as a polyline of the given thickness.
void wave(buffer& b, int x0, int x1, double centre, double amplitude, double period, double phase,
          colour c, int thickness = 1) {
    int previous_x = x0;
    int previous_y = int(std::lround(centre + amplitude * std::sin(phase)));
    for (int x = x0 + 2; x <= x1; x += 2) {
        const double angle = phase + 2 * 3.14159265358979 * (x - x0) / period;
        const int y = int(std::lround(centre + amplitude * std::sin(angle)));
        for (int t = 0; t < thickness; ++t)
            line(b, previous_x, previous_y + t, x, y + t, c);
        previous_x = x;
        previous_y = y;
    }
}

// A rounded square filled with one colour; corners with a radius of r.
void rounded_square(buffer& b, int x, int y, int size, int r, colour c) {
    paint(b, x + r, y, size - 2 * r, size, c);
    paint(b, x, y + r, size, size - 2 * r, c);
    for (int cx : {x + r, x + size - 1 - r})
        for (int cy : {y + r, y + size - 1 - r})
            disc(b, cx, cy, r, c, c);
}

// The letter Z as a polygon in a 48-unit square, scaled by s / 48 and moved
// by (dx, dy) units.
void letter_z(buffer& b, int size, double dx, double dy, colour fill, colour outline) {
    static constexpr double xs[] = {13, 37, 37, 22, 37, 37, 13, 13, 28, 13};
    static constexpr double ys[] = {10, 10, 16, 32, 32, 38, 38, 32, 16, 16};
    std::int16_t px[10], py[10];
    for (int i = 0; i < 10; ++i) {
        px[i] = std::int16_t(std::lround((xs[i] + dx) * size / 48.0));
        py[i] = std::int16_t(std::lround((ys[i] + dy) * size / 48.0));
    }
    draw_polygon(b, px, py, 10, outline, true, fill);
}

// ---- the application icon -------------------------------------------------

// A rounded teal tile with a golden Z and two fading copies of it behind, as
// the frames of an animation show through each other.
void draw_icon(buffer& b) {
    buffer_lock lock(b);
    const int s = b.width();
    fast_fill(b, transparent);
    const int margin = std::max(1, s / 24), radius = s / 6;
    rounded_square(b, margin, margin, s - 2 * margin, radius, ui_dark);
    const int inner = std::max(1, s / 32);
    rounded_square(b, margin + inner, margin + inner, s - 2 * margin - 2 * inner,
                   std::max(1, radius - inner), ui_mid);
    // A lighter top half, as if lit from above.
    const int band_top = margin + inner + std::max(1, radius - inner);
    paint(b, margin + inner, band_top, s - 2 * margin - 2 * inner, s / 3 - band_top, ui_mid);
    letter_z(b, s, -6, 1, colour{0, 0, 100, 104}, colour{0, 0, 100, 104});
    letter_z(b, s, -3, 0.5, ui_light, ui_light);
    letter_z(b, s, 1, 0, gold, gold_shadow);
    // Motion streaks left of the letter.
    for (int i = 0; i < 3; ++i) {
        const int y = s * (17 + 7 * i) / 48, x0 = s * (3 + 2 * i) / 48, x1 = s * 9 / 48;
        paint(b, x0, y, x1 - x0, std::max(1, s / 48), ui_highlight);
    }
}

// ---- the splash and the background ----------------------------------------

// One frame of the little film strip: a ball over a wave, at step k of four.
void film_frame(buffer& b, int x, int y, int w, int h, int k) {
    paint(b, x, y, w, h, deep);
    const int fx = x + 4, fy = y + 4, fw = w - 8, fh = h - 8;
    vertical_bands(b, fx, fy, fw, fh, colour{0, 0, 96, 120}, ui_light, 5);
    const double phase = k * 3.14159265358979 / 2;
    for (int x0 = fx; x0 < fx + fw; ++x0) {
        const int top = int(fy + fh * 0.7 + 5 * std::sin(phase + (x0 - fx) / 9.0));
        paint(b, x0, top, 1, fy + fh - top, ui_dark);
    }
    const int ball_x = fx + 10 + (fw - 20) * k / 3;
    const int ball_y = fy + fh / 2 - int(std::abs(std::sin(phase + 0.5)) * fh * 0.25);
    disc(b, ball_x, ball_y, 6, gold, gold_shadow);
}

void draw_splash(buffer& b) {
    buffer_lock lock(b);
    const int w = b.width(), h = b.height();
    vertical_bands(b, 0, 0, w, h, ui_dark, ui_mid, 12);

    // Waves along the bottom, like the wave effects.
    wave(b, 0, w, h - 40, 8, 180, 0.0, colour{0, 0, 150, 150}, 2);
    wave(b, 0, w, h - 28, 6, 140, 1.2, ui_light, 2);
    wave(b, 0, w, h - 16, 5, 110, 2.1, ui_highlight, 1);

    // The name, large, with a shadow.
    const int left = 40;
    big_text(b, "Zoetra", left + 4, 28 + 4, 5, deep);
    big_text(b, "Zoetra", left, 28, 5, gold);
    text(b, "Still GIFs, set in motion.", left + 4, 136, ui_highlight, text_size::points_12);
    paint(b, left + 4, 150, 270, 1, ui_light);

    // How to begin.
    const struct {
        const char* key;
        const char* what;
    } steps[] = {
        {"Insert", "add a GIF to the palette"},
        {"Click", "an effect on the SELECT EFFECT tab"},
        {"Ctrl+G", "create the frames and preview them"},
        {"Ctrl+S", "save your animated GIF89a"},
    };
    int y = 176;
    for (int i = 0; i < 4; ++i, y += 22) {
        disc(b, left + 12, y - 4, 9, ui_light, ui_highlight);
        text_centred(b, std::to_string(i + 1), left + 12, y, deep);
        text(b, steps[i].key, left + 30, y, gold);
        text(b, steps[i].what, left + 88, y, white);
    }
    text(b, "More on the HELP/ABOUT tab.", left + 30, y + 6, ui_light);

    // A strip of four frames on the right, tilted by its steps.
    const int strip_x = 380, strip_y = 40, frame_w = 108, frame_h = 84;
    paint(b, strip_x - 8, strip_y - 8, 2 * frame_w + 32, 2 * frame_h + 32, deep);
    for (int hole = 0; hole < 14; ++hole) {
        paint(b, strip_x - 6 + hole * 17, strip_y - 6, 8, 3, ui_dark);
        paint(b, strip_x - 6 + hole * 17, strip_y + 2 * frame_h + 19, 8, 3, ui_dark);
    }
    for (int k = 0; k < 4; ++k)
        film_frame(b, strip_x + (k % 2) * (frame_w + 16), strip_y + (k / 2) * (frame_h + 16),
                   frame_w, frame_h, k);
    text(b, "1", strip_x + 4, strip_y + 14, white);
    text(b, "2", strip_x + frame_w + 20, strip_y + 14, white);
    text(b, "3", strip_x + 4, strip_y + frame_h + 30, white);
    text(b, "4", strip_x + frame_w + 20, strip_y + frame_h + 30, white);
    text_centred(b, "up to 32 frames, one GIF89a file", strip_x + frame_w + 8,
                 strip_y + 2 * frame_h + 44, ui_light);
    text(b, "Zoetra 1.0", w - 8 - text_width("Zoetra 1.0"), h - 54, ui_light);
}

// A quiet field: the interface's middle colour with faint waves and a faint
// outline of the icon's letter in the middle.
void draw_background(buffer& b) {
    buffer_lock lock(b);
    const int w = b.width(), h = b.height();
    paint(b, 0, 0, w, h, ui_mid);
    const colour faint{0, 0, 120, 120};
    for (int i = 0; i < 5; ++i)
        wave(b, 0, w, h * (i + 1) / 6.0, 6, 220, i * 0.9, faint);
    const int size = 144, x = (w - size) / 2, y = (h - size) / 2;
    buffer mark(size, size, transparent);
    letter_z(mark, size, 0, 0, colour{0, 0, 136, 136}, colour{0, 0, 144, 144});
    stretch_copy_visible(mark, b, 0, 0, size, size, std::int16_t(x), std::int16_t(y), size, size);
}

// ---- buttons, labels and arrows ------------------------------------------

// A raised button with a light face and its label centred; labels too wide
// for one line break at the first blank.
void draw_button(buffer& b, std::string_view label, colour mark) {
    buffer_lock lock(b);
    const int w = b.width(), h = b.height();
    paint(b, 0, 0, w, h, ui_light);
    bevel(b, 0, 0, w, h, ui_highlight, ui_dark);
    paint(b, 1, h - 2, w - 2, 1, colour{0, 0, 96, 96});
    const int mark_room = mark == colour{} ? 0 : 12;
    const int centre = mark_room + (w - mark_room) / 2;
    if (mark_room > 0) {
        disc(b, 7, h / 2, 4, mark, ui_dark);
        paint(b, 5, h / 2, 5, 1, white);
        if (mark == leaf)
            paint(b, 7, h / 2 - 2, 1, 5, white);
    }
    if (text_fitted(b, label, centre, (h + 9) / 2, w - mark_room - 3, ui_text))
        return;
    // Two lines, ten rows apart, broken at the first blank.
    const std::size_t blank = label.find(' ');
    text_centred(b, label.substr(0, blank), centre, h / 2 - 2, ui_text);
    if (blank != std::string_view::npos)
        text_centred(b, label.substr(blank + 1), centre, h / 2 + 8, ui_text);
}

// A label on the tab row's colour, engraved: a light copy below the text.
void draw_label(buffer& b, std::string_view label) {
    buffer_lock lock(b);
    paint(b, 0, 0, b.width(), b.height(), ui_mid);
    const int centre = b.width() / 2;
    text_centred(b, label, centre + 1, 11, colour{0, 0, 160, 160});
    text_centred(b, label, centre, 10, ui_text);
}

// The cancel button's face.
void draw_cancel(buffer& b) {
    buffer_lock lock(b);
    paint(b, 0, 0, b.width(), b.height(), ui_light);
    text_fitted(b, "Cancel (Backspace)", b.width() / 2, 10, b.width() - 2, ui_text);
}

// A small raised button with a black triangle; the bottom edge is two rows
// so that it survives being squeezed into 9 or 14 rows.
void draw_arrow(buffer& b, bool right) {
    buffer_lock lock(b);
    const int w = b.width(), h = b.height();
    paint(b, 0, 0, w, h, ui_light);
    bevel(b, 0, 0, w, h, ui_highlight, ui_dark);
    paint(b, 0, h - 2, w, 1, ui_dark);
    const int middle = h / 2 - 1, half = std::min(w / 2 - 1, h / 2 - 3);
    const int tip = (w - half - 1) / 2;
    for (int i = 0; i <= half; ++i) {
        const int x = right ? w - 1 - tip - i : tip + i;
        paint(b, x, middle - i, 1, 2 * i + 1, ui_text);
    }
}

// A menu item: raised when off, pressed in and lit when on, with a lamp.
void draw_menu_item(buffer& b, std::string_view label, bool on) {
    buffer_lock lock(b);
    const int w = b.width(), h = b.height();
    paint(b, 0, 0, w, h, on ? ui_highlight : ui_light);
    if (on)
        bevel(b, 0, 0, w, h, ui_dark, white);
    else
        bevel(b, 0, 0, w, h, ui_highlight, ui_dark);
    // Pressed in, the label moves a pixel right and down.
    const int shift = on ? 1 : 0, lamp = w - 7;
    const int width = std::min(text_width(label), lamp - 4 - 4);
    text_fitted(b, label, 4 + width / 2 + shift, (h + 9) / 2 - 1 + shift, lamp - 4 - 4, ui_text);
    disc(b, lamp, h / 2, 2, on ? coral : ui_mid, on ? brick : ui_dark);
}

// ---- output -----------------------------------------------------------------

struct skin_image {
    std::string name;
    std::uint16_t width, height;
    std::function<void(buffer&)> draw;
};

std::vector<skin_image> every_skin_image() {
    std::vector<skin_image> images = {
        {"__splash.gif", 650, 351, draw_splash},
        {"__background.gif", 650, 351, draw_background},
        {"__cancel.gif", 120, 12, draw_cancel},
        {"__create.gif", 75, 25, [](buffer& b) { draw_button(b, "Create (Ctrl+G)", {}); }},
        {"__save.gif", 75, 25, [](buffer& b) { draw_button(b, "Save", {}); }},
        {"__insert.gif", 90, 22, [](buffer& b) { draw_button(b, "Insert image", leaf); }},
        {"__delete.gif", 90, 22, [](buffer& b) { draw_button(b, "Delete image", brick); }},
        {"__left_arrow.gif", 9, 16, [](buffer& b) { draw_arrow(b, false); }},
        {"__right_arrow.gif", 9, 16, [](buffer& b) { draw_arrow(b, true); }},
        {"__icon.gif", 48, 48, draw_icon},
    };
    for (int page = 1; page <= help_page_count(); ++page)
        images.push_back({"__help" + std::to_string(page) + ".gif", 650, 445,
                          [page](buffer& b) { draw_help_page(b, b.window(), page); }});
    // The settings tab has no image: it shows the current effect's title.
    const char* tabs[] = {"CHOOSE A GIF", "SELECT EFFECT", nullptr, "CREATE & SAVE", "HELP/ABOUT"};
    for (int i = 0; i < 5; ++i)
        if (tabs[i] != nullptr)
            images.push_back({"__tab." + std::to_string(i + 1) + ".gif", 97, 12,
                              [label = tabs[i]](buffer& b) { draw_label(b, label); }});
    for (const char* type : {"STANDARD", "WAVE", "ART", "STILL"})
        for (bool on : {true, false})
            images.push_back({std::string("__menu.") + type + (on ? ".on.gif" : ".off.gif"), 83, 15,
                              [type, on](buffer& b) { draw_menu_item(b, type, on); }});
    return images;
}

// Writes the rows through libpng, which reports its failures by a long jump
// back here; nothing with a destructor lives in this frame.
bool write_png_rows(png_structp png, png_infop info, std::FILE* file, int w, int h,
                    png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0)
        return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

// An RGBA PNG of the buffer: painted pixels opaque, the rest fully transparent.
bool write_png(buffer& image, const std::string& path) {
    const int w = image.width(), h = image.height();
    std::vector<png_byte> rgba(std::size_t(w) * h * 4);
    {
        buffer_lock lock(image);
        const pixel* pixels = image.pixels();
        for (std::size_t i = 0; i < std::size_t(w) * h; ++i) {
            const colour c = colour_of(pixels[i]);
            rgba[4 * i] = c.r;
            rgba[4 * i + 1] = c.g;
            rgba[4 * i + 2] = c.b;
            rgba[4 * i + 3] = is_visible(pixels[i]) ? 255 : 0;
        }
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
        rows[std::size_t(y)] = rgba.data() + std::size_t(y) * w * 4;

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    const bool written = info != nullptr && write_png_rows(png, info, file, w, h, rows.data());
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && written;
}

bool write_file(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char** argv) {
    const bool loose = argc == 3 && std::strcmp(argv[2], "--loose") == 0;
    if (argc != 2 && !loose) {
        std::fprintf(stderr, "usage: zoetra-skins OUTPUT_FOLDER [--loose]\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (!text_font_available())
        std::fprintf(stderr, "zoetra-skins: no font; the skin images will have no text\n");

    std::vector<archive_entry> entries;
    bool too_large = false;
    for (const skin_image& skin : every_skin_image()) {
        buffer image(skin.width, skin.height, ui_mid);
        skin.draw(image);
        // Every pixel decodes to the colour it was drawn in: the standard
        // colours would reduce and dither, which suits pictures but would
        // speckle flat interface colours.
        result<std::vector<std::uint8_t>> gif = tools::gif_bytes(image, {colour_mode::exact});
        if (!gif) {
            std::fprintf(stderr, "zoetra-skins: cannot encode %s: %s\n", skin.name.c_str(),
                         gif.message().c_str());
            return 1;
        }
        archive_entry entry{skin.name, std::move(gif.value())};
        if (entry.bytes.size() > archive::max_entry_size) {
            std::fprintf(stderr, "zoetra-skins: %s takes %zu bytes, more than an entry holds\n",
                         skin.name.c_str(), entry.bytes.size());
            too_large = true;
        }
        if (loose && !write_file(folder + "/" + skin.name, entry.bytes)) {
            std::fprintf(stderr, "zoetra-skins: cannot write %s/%s\n", folder.c_str(),
                         skin.name.c_str());
            return 1;
        }
        entries.push_back(std::move(entry));
    }
    if (too_large)
        return 1;

    if (outcome written = write_archive(folder + "/skins.rez", entries); !written) {
        std::fprintf(stderr, "zoetra-skins: %s\n", written.message().c_str());
        return 1;
    }
    buffer icon(128, 128, transparent);
    draw_icon(icon);
    if (!write_png(icon, folder + "/zoetra.png")) {
        std::fprintf(stderr, "zoetra-skins: cannot write %s/zoetra.png\n", folder.c_str());
        return 1;
    }
    return 0;
}
