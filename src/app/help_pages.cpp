#include "app/help_pages.hpp"

#include "raster/text.hpp"
#include "ui/canvas.hpp"

namespace zoetra {

int help_page_count() {
    return 5;
}

void draw_help_page(buffer& target, const rect& body, int page) {
    canvas c(target, body);
    c.fill(body);
    c.text("Help page " + std::to_string(page), body.x + 20, body.y + 30);
}

} // namespace zoetra
