#pragma once
// Captions: words over every frame of an animation, in a bold sans-serif with
// a fill colour and an outline colour, centred at the top or the bottom.
//
// A caption is laid out once, into a mask that says for each pixel of its
// block whether it is fill, outline or left alone, and then drawn on as many
// frames as the animation has. The mask holds no blends: the glyphs' fill and
// their stroked outline are each kept where they cover at least half of a
// pixel, so a caption writes exactly two colours and stays exact whatever
// palette the frame is reduced to.
#include "base/outcome.hpp"
#include "raster/buffer.hpp"
#include "raster/pixel.hpp"

#include <cstdint>
#include <string_view>
#include <vector>

namespace zoetra {

enum class caption_place { top, bottom };

// Both are drawn opaque whatever their transparency byte says.
struct caption_colours {
    colour fill{0, 255, 255, 255};
    colour outline{0, 0, 0, 0};
};

enum class caption_cell : std::uint8_t { none = 0, outline = 1, fill = 2 };

// A laid-out caption: its block in the frame and a cell for each pixel of
// the block, row by row. An empty caption has no block and draws nothing.
struct caption_mask {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int font_size = 0; // pixels per em; 0 for an empty caption
    int lines = 0;     // 1 or 2; 0 for an empty caption
    std::vector<caption_cell> cells;

    bool empty() const { return cells.empty(); }
    // (column, row) within the block.
    caption_cell at(int column, int row) const {
        return cells[std::size_t(row) * std::size_t(width) + std::size_t(column)];
    }
};

struct caption_pair {
    caption_mask top;
    caption_mask bottom;
};

// Lays the text out for frames of the given size. Texts are UTF-8; bytes
// that do not form UTF-8 are read as Latin-1 characters, tabs and line feeds
// separate words like spaces, other control characters are dropped. The text
// takes one line, or two broken at a space, at the largest size from the
// frame's own down to 10 pixels at which it fits inside the margins. Text
// with nothing to draw makes an empty caption; text that does not fit even
// at 10 pixels is refused.
result<caption_mask> lay_out_caption(std::string_view text, caption_place place,
                                     std::uint16_t frame_width, std::uint16_t frame_height);

// A top and a bottom caption for the same frames, each as it would be alone.
// Two that would come closer than a margin are refused.
result<caption_pair> lay_out_captions(std::string_view top_text, std::string_view bottom_text,
                                      std::uint16_t frame_width, std::uint16_t frame_height);

// Writes the mask's fill and outline cells into the frame, opaque; every
// other pixel keeps its value. Cells beyond the frame are skipped.
void draw_caption(buffer& frame, const caption_mask& mask, const caption_colours& colours);

// The pixel size the caption was laid out at.
inline int caption_font_size(const caption_mask& mask) {
    return mask.font_size;
}

// False when fontconfig finds no usable bold sans-serif font; captions then
// cannot be laid out.
bool caption_font_available();

// Whether the caption font or one of its fallback fonts has the character.
bool caption_font_has(char32_t code);

} // namespace zoetra
