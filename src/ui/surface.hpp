#pragma once
// Where the toolkit draws: an image, the skin images it draws with, and the
// palette's pictures for their thumbnails.
#include "raster/buffer.hpp"

namespace zoetra {

class skin_cache;
class palette_pictures;

struct surface {
    buffer* image = nullptr;
    // None: every skin image counts as missing, and the plain look is drawn.
    skin_cache* skins = nullptr;
    // None: thumbnails are drawn from the skin cache, stretched from the file.
    palette_pictures* pictures = nullptr;
};

} // namespace zoetra
