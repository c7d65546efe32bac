#include "app/application.hpp"
#include "app/help_pages.hpp"
#include "app/panels.hpp"
#include "base/utility.hpp"
#include "skin/skin_images.hpp"
#include "ui/canvas.hpp"
#include "ui/event.hpp"

namespace zoetra {
help_panel::help_panel(application& app, const rect& body)
    : panel(app.window_surface(), body, "HELP/ABOUT") {}

void help_panel::turn(int by) {
    const int pages = help_page_count();
    page_ = (page_ - 1 + by + pages) % pages + 1;
    redraw();
}

void help_panel::mouse_down(int x, int y, int button) {
    panel::mouse_down(x, y, button);
    if (!active())
        return;
    if (help_next_arrow(area()).contains(x, y))
        turn(1);
    else if (help_previous_arrow(area()).contains(x, y))
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
    if (where().skins == nullptr ||
        !where().skins->draw_centred(image, skin_image_name(format("__help%d.gif", page_)), area()))
        draw_help_page(image, area(), page_);
}

} // namespace zoetra
