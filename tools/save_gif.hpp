#pragma once
// One picture as a one-frame GIF (the tools' pictures: samples, skins,
// galleries), in a file or in memory.
#include "gif/encoder.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace zoetra::tools {

// Writes the file; false when it cannot be written.
inline bool save_gif(buffer& image, const std::string& path) {
    gif_writer writer;
    const crop_size size{image.width(), image.height()};
    if (!writer.open(path, crop_origin{}, size, 1))
        return false;
    buffer* frames[] = {&image};
    writer.write_frames(frames, crop_origin{}, size, 0);
    return writer.close().ok();
}

// The file's bytes, written in the options' colours; or why there are none.
inline result<std::vector<std::uint8_t>> gif_bytes(buffer& image,
                                                   const gif_encode_options& options) {
    gif_writer writer;
    writer.set_options(options);
    const crop_size size{image.width(), image.height()};
    if (outcome opened = writer.open_in_memory(crop_origin{}, size, 1); !opened)
        return opened;
    buffer* frames[] = {&image};
    writer.write_frames(frames, crop_origin{}, size, 0);
    if (outcome closed = writer.close(); !closed)
        return closed;
    return writer.memory_file();
}

} // namespace zoetra::tools
