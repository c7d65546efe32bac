#pragma once
// Where the toolkit draws: an image, and the skin images it draws with.
#include "raster/buffer.hpp"

namespace zoetra {

class skin_cache;

struct surface {
    buffer* image = nullptr;
    // None: every skin image counts as missing, and the plain look is drawn.
    skin_cache* skins = nullptr;
};

} // namespace zoetra
