#pragma once
// Still pictures for the palette: GIF, PNG and JPEG files, told apart by their
// first bytes (never by their names) and read by the reader of their kind into
// an image buffer of 32-bit pixels, as the GIF reader writes them: blue in
// bits 0-7, green 8-15, red 16-23, bit 24 the transparent flag, bits 25-31
// zero. A GIF gives its first frame composed on its logical screen; PNG and
// JPEG files give their one image (see png_reader.hpp and jpeg_reader.hpp).
//
// Every kind keeps to the GIF reader's size limits, so that whatever the
// palette holds fits the image buffers and the memory of the program.
#include "base/memory.hpp"
#include "base/outcome.hpp"
#include "gif/byte_stream.hpp"
#include "gif/decoder.hpp"
#include "raster/buffer.hpp"
#include "resources/resource.hpp"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace zoetra {

// Neither side empty, and within the GIF reader's limits.
constexpr bool readable_picture_size(std::uint64_t width, std::uint64_t height) {
    return width != 0 && height != 0 && width <= max_gif_side && height <= max_gif_side &&
           width * height <= max_gif_pixels;
}

// The frame the PNG and JPEG readers share: the header gives the size, which is
// checked before any picture memory is taken; then the pixels are read into a
// new buffer through one row of row_bytes_per_pixel x width bytes. header
// (layout&) and pixels (layout, row, buffer pixels) return false on failure,
// after which session_message (the session's own text) holds the reason.
template <class Layout, class Header, class Pixels>
result<std::unique_ptr<buffer>> read_still(Header header, Pixels pixels,
                                           std::size_t row_bytes_per_pixel,
                                           const char* session_message) {
    Layout layout;
    if (!header(layout))
        return outcome::failure(session_message);
    if (!readable_picture_size(layout.width, layout.height))
        return outcome::failure("an image of " + std::to_string(layout.width) + " x " +
                                std::to_string(layout.height) + " pixels is too large");
    auto row = allocate_array<std::uint8_t>(std::size_t(layout.width) * row_bytes_per_pixel);
    auto picture = std::make_unique<buffer>(std::uint16_t(layout.width),
                                            std::uint16_t(layout.height), colour{});
    bool complete = false;
    {
        buffer_lock hold(*picture);
        complete = pixels(layout, row.get(), picture->pixels());
    }
    if (!complete)
        return outcome::failure(session_message);
    return picture;
}

enum class picture_kind { unknown, gif, png, jpeg };
// The kind that a file's first bytes announce.
picture_kind picture_kind_of(const std::uint8_t* start, std::size_t size);

// The picture in a file, opened by its path, as a new buffer; or why not
// (pictures by resource name come through the skin cache), in words that name the
// file: "NAME" does not exist, cannot be read: REASON, is not a GIF, PNG or
// JPEG picture, is too large: REASON, or is damaged: REASON.
result<std::unique_ptr<buffer>> open_picture(const std::string& name);
// The same where a smaller picture would do (see decode_picture; an empty
// size: whole). A check that a file is a picture costs a JPEG an eighth of
// its size, though every byte of its data is still decoded.
result<std::unique_ptr<buffer>> open_picture(const std::string& name, gif_size at_least);

// The same with only the reader's reason, for callers that name the file
// themselves.
result<std::unique_ptr<buffer>> read_picture(const std::string& name);
// The same, none when it cannot be read.
std::unique_ptr<buffer> load_picture(const std::string& name);
// The picture in a file already in memory, or the reader's reason for none.
result<std::unique_ptr<buffer>> decode_picture(file_bytes bytes);
// The same, where a smaller picture would do: a JPEG is decoded at the
// smallest of its library's scales that reaches at_least; others whole.
result<std::unique_ptr<buffer>> decode_picture(file_bytes bytes, gif_size at_least);

// The size load_picture gives a file, from its header alone: the logical
// screen of a GIF, the IHDR chunk of a PNG, the first frame marker (SOF) of a
// JPEG. (0, 0) when the header cannot be found or gives a size no reader
// takes. A file that measures can still fail to load (its data may be
// damaged), but a file that loads always measures as it loads.
gif_size probe_picture_size(const std::string& name);
// The same for a stream opened for reading, from where it stands.
gif_size probe_picture_size(std::FILE* file);

} // namespace zoetra
