#pragma once
// The help pages: drawn by the help panel when their skin images are missing,
// and by the skin tool that makes those images, so both look the same.
//
// A page is laid out for a body of 650 x 445 pixels: its title in 12-point
// text, its text in 9-point text on a sunken sheet, and along the bottom the
// two page arrows and "page N of 5". Every position is relative to the body's
// top-left corner; a smaller body cuts the page, never the pixels around it.
#include "base/geometry.hpp"
#include "raster/buffer.hpp"

namespace zoetra {

int help_page_count();

// Page 1 to help_page_count() into body, with its page arrows; a page number
// outside that range draws the nearest page. Nothing outside body is drawn;
// the whole body is painted (opaque ui_mid under the page).
void draw_help_page(buffer& target, const rect& body, int page);

// Where the page arrows are drawn (and clicked) for a body: relative to its
// top-left corner, x 612-628 (next) and 18-34 (previous), y 404-432, ends
// included.
rect help_next_arrow(const rect& body);
rect help_previous_arrow(const rect& body);

} // namespace zoetra
