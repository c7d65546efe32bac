#include "app/application.hpp"
#include "app/help_pages.hpp"
#include "app/panels.hpp"
#include "app/services/utility.hpp"
#include "skin/skin_images.hpp"
#include "ui/canvas.hpp"
#include "ui/event.hpp"

namespace zoetra {
namespace {

constexpr int page_count = 5;
// The page arrows' hot areas, in window coordinates.
constexpr rect next_arrow{612, 424, 17, 29};
constexpr rect previous_arrow{18, 424, 17, 29};

} // namespace

help_panel::help_panel(application& app, const rect& body)
    : panel(&app.frame().image(), body, "HELP/ABOUT") {}

void help_panel::turn(int by) {
    page_ = (page_ - 1 + by + page_count) % page_count + 1;
    redraw();
}

void help_panel::mouse_down(int x, int y, int button) {
    panel::mouse_down(x, y, button);
    if (!active())
        return;
    if (next_arrow.contains(x, y))
        turn(1);
    else if (previous_arrow.contains(x, y))
        turn(-1);
}

void help_panel::key(int ch, int x, int y) {
    panel::key(ch, x, y);
    if (!active())
        return;
    if (ch == '.' || ch == '6' || ch == keys::right)
        turn(1);
    else if (ch == ',' || ch == '4' || ch == keys::left)
        turn(-1);
}

// The page's skin image, centred and cut to the body; without it the page is
// drawn with text.
void help_panel::draw_contents() {
    buffer& image = *target();
    if (!draw_skin_image_centred(image, skin_image_name(format("__help%d.gif", page_)), area()))
        draw_help_page(image, area(), page_);
}

} // namespace zoetra
