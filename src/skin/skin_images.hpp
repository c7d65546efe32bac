#pragma once
// Skin images: pictures (GIF, PNG or JPEG files; the skins themselves are
// GIFs, the palette's images may be any of the three), by name, drawn scaled
// into a box of a target image. Prepared (scaled) images are cached by name and box size, newest
// first; the cache is emptied when memory runs short and on Ctrl+B.
#include "raster/buffer.hpp"

#include <string>

namespace zoetra {

// The name of a skin image: "*Resources\" followed by the file name, so the
// archive entry is the file name and the disk fallback is in "Resources".
std::string skin_image_name(const std::string& file_name);

// Draws the image called name into the box (x, y, width, height) of target,
// scaled to the box by nearest neighbour. Mode 0 copies every pixel, mode 1
// only pixels whose transparency byte is 0. False (nothing drawn) when the
// image cannot be loaded. Pixels outside the target are skipped.
bool draw_skin_image(buffer& target, const std::string& name, int x, int y, int width, int height,
                     int mode);
// The same, drawing only the part of the box inside clip.
bool draw_skin_image(buffer& target, const std::string& name, int x, int y, int width, int height,
                     int mode, const rect& clip);

// Draws the image called name at its own size, centred in box and cut to the
// box (the middle of a larger image shows), every pixel copied. False when
// the image cannot be loaded.
bool draw_skin_image_centred(buffer& target, const std::string& name, const rect& box);

// Frees every prepared image; false when the cache held nothing.
bool empty_skin_cache();
int skin_cache_size();

} // namespace zoetra
