#pragma once
// Writes one picture as a one-frame GIF (the tools' pictures: samples, skins,
// galleries). False when the file cannot be written.
#include "gif/encoder.hpp"

#include <string>

namespace zoetra::tools {

inline bool save_gif(buffer& image, const std::string& path) {
    gif_writer writer;
    const crop_size size{image.width(), image.height()};
    if (!writer.open(path, crop_origin{}, size, 1))
        return false;
    buffer* frames[] = {&image};
    writer.write_frames(frames, crop_origin{}, size, 0);
    return writer.close();
}

} // namespace zoetra::tools
