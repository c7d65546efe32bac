#pragma once
// Text drawn into buffers with the program's own glyph rendering: a sans-serif
// outline font rasterised without anti-aliasing, so that every pixel a glyph
// covers takes exactly the text colour (transparency byte 0) and every other
// pixel keeps its value. Nothing here needs a display.
#include "raster/buffer.hpp"
#include "raster/pixel.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace zoetra {

// The interface's two text sizes. At the usual 96 pixels per inch, 9 points
// make a 12-pixel em and 12 points a 16-pixel em. The 12-pixel em has an
// ascent of about 11 rows, which is why text at a point starts 11 rows above y.
enum class text_size { points_9, points_12 };
inline constexpr int text_pixel_size(text_size size) {
    return size == text_size::points_9 ? 12 : 16;
}

struct text_extent {
    int width = 0;  // sum of the advances of the line's characters
    int height = 0; // one line: the font's line spacing
    friend bool operator==(const text_extent&, const text_extent&) = default;
};

// The extent of text as one line. Texts are UTF-8; bytes that do not form
// UTF-8 are read as Latin-1 characters. Control characters take no room.
text_extent measure_text(std::string_view text, text_size size = text_size::points_9);

// One line whose top is 11 rows above y, kept to the block of its measured
// extent plus one pixel each way and to the buffer.
void draw_text_at(buffer& b, std::string_view text, std::int16_t x, std::int16_t y, colour c,
                  text_size size = text_size::points_9);

// The same, kept to the clip rectangle as well.
void draw_text_clipped(buffer& b, std::string_view text, std::int16_t x, std::int16_t y, colour c,
                       const rect& clip, text_size size = text_size::points_9);

// Text wrapped at word breaks (and at line feeds) to the box, kept to the box
// and to the buffer.
void draw_text_in_box(buffer& b, std::int16_t x, std::int16_t y, std::uint16_t w, std::uint16_t h,
                      std::string_view text, colour c, text_size size = text_size::points_9);

// The characters of a text: UTF-8 where the bytes form it, Latin-1 byte by
// byte where they do not.
std::u32string decode_text(std::string_view text);

// False when no usable font was found; text then draws nothing and measures
// as zero wide.
bool text_font_available();

} // namespace zoetra
