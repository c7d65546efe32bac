#pragma once
// The help pages: drawn by the help panel when their skin images are missing,
// and by the skin tool that makes those images.
#include "app/services/geometry.hpp"
#include "raster/buffer.hpp"

namespace zoetra {

int help_page_count();
// Page 1 to help_page_count() into body, with its page arrows; nothing outside body.
void draw_help_page(buffer& target, const rect& body, int page);

} // namespace zoetra
