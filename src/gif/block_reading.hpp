#pragma once
// The blocks of a GIF file as the readers take them from a byte stream, one
// function per block: the header with the logical screen, the extensions
// before an image (of which only the graphic control extension is kept), the
// image descriptor with its local colour table, and the image's data; then
// the drawing of a decoded image onto a canvas. The frame reader
// (decoder.hpp) and the animation reader (animation_reader.hpp) share all of
// this and differ in what they do to the canvas between frames.
#include "base/outcome.hpp"
#include "gif/byte_stream.hpp"
#include "gif/decoder.hpp"
#include "gif/lzw_decoder.hpp"
#include "raster/buffer.hpp"

#include <cstdint>
#include <string>

namespace zoetra::gif_detail {

// Whether a screen or an image of this size is within max_gif_side and
// max_gif_pixels.
bool fits_limits(std::uint32_t width, std::uint32_t height);
// "640 x 480", for messages.
std::string size_text(std::uint32_t width, std::uint32_t height);

// The whole file at name, or why it cannot be had.
result<file_bytes> read_named_file(const std::string& name);

struct screen_descriptor {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    colour_table global_table{}; // black where the file has no global table
    colour background{};         // the global table's entry at the background index
};
// "GIF", a version ("87a" and "89a" alike, not checked), the logical screen
// descriptor and the global colour table.
outcome read_screen(byte_stream& stream, screen_descriptor& screen);

// What the graphic control extension sets for the next image.
struct frame_controls {
    int disposal = 0;
    bool transparent = false;
    std::uint8_t transparent_index = 0;
    std::uint16_t delay = 0; // hundredths of a second
};

struct image_descriptor {
    std::uint16_t left = 0;
    std::uint16_t top = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    bool interlaced = false;
};

// Moves to just after the next image separator, reading graphic control
// extensions into controls and passing over other extensions and stray
// bytes; false when the file ends first.
bool find_image(byte_stream& stream, frame_controls& controls);
// The image descriptor and the local colour table, which replaces as many
// entries of table as it has.
outcome read_image_descriptor(byte_stream& stream, image_descriptor& image, colour_table& table);
// Passes over sub-blocks up to the empty one that ends them; false when the
// file ends first.
bool skip_sub_blocks(byte_stream& stream);
// Passes over an image's data (its minimum code size and sub-blocks) without
// decoding it, failing where decoding would fail and where the file ends
// inside the data.
outcome skip_image_data(byte_stream& stream);
// The image's colour indices, row by row; pixels that short data never
// reaches are index 0.
result<heap_ptr<std::uint8_t>> decode_indices(lzw_decoder& decoder, byte_stream& stream,
                                              const image_descriptor& image);

// Draws the part of the image that lies on the canvas; indices equal to a
// transparent index leave the canvas as it was.
void draw(buffer& canvas, const image_descriptor& image, const std::uint8_t* indices,
          const colour_table& table, const frame_controls& controls);
// Fills the part of the image's rectangle that lies on the canvas.
void fill_rectangle(buffer& canvas, const image_descriptor& image, pixel value);

} // namespace zoetra::gif_detail
