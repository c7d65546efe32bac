#include "app/panel_host.hpp"

#include "app/application.hpp"
#include "base/utility.hpp"
#include "skin/skin_images.hpp"
#include "ui/canvas.hpp"
#include "ui/event.hpp"

#include <algorithm>
#include <cctype>

namespace zoetra {

panel_host::panel_host(application& app) : app_(app) {
    frame_image& frame = app.frame();
    const rect body = frame.panel_body();
    {
        canvas c(frame.image(), rect_between(0, 0, frame.width(), body.bottom()),
                 &app.production().program().skins());
        c.fill(c.clip());
    }
    panels_[choose_gif] = std::make_unique<choose_gif_panel>(app, body);
    panels_[select_effect] = std::make_unique<select_effect_panel>(app, body);
    panels_[settings] = std::make_unique<settings_panel>(app, body);
    panels_[create_save] = std::make_unique<create_save_panel>(app, body);
    panels_[help] = std::make_unique<help_panel>(app, frame.help_body());
    active_ = choose_gif;
    panels_[std::size_t(active_)]->activate();
    panels_[std::size_t(active_)]->redraw();
    draw_tabs();
}

select_effect_panel& panel_host::effects() const {
    return static_cast<select_effect_panel&>(at(select_effect));
}

rect panel_host::tab(int i) const {
    const int width = app_.frame().width() / panel_count;
    return rect_between(i * width, 0, (i + 1) * width, 20);
}

rect panel_host::drawn_tab(int i) const {
    const rect t = tab(i);
    if (i != active_)
        return rect_between(t.x, t.y + 1, t.right() - 1, t.bottom());
    const int right = std::min<int>(t.right() + 2, app_.frame().panel_body().right());
    return rect_between(std::max(0, t.x - 2), t.y, right, t.bottom());
}

std::string panel_host::tab_label(int i) const {
    if (i != settings)
        return at(i).title();
    const script* effect = app_.production().current_effect();
    std::string label = effect != nullptr ? effect_title(*effect) : at(i).title();
    for (char& ch : label)
        ch = char(std::toupper(static_cast<unsigned char>(ch)));
    return label;
}

void panel_host::draw_tab(int i) {
    const rect t = drawn_tab(i);
    canvas c(app_.frame().image(), t, &app_.production().program().skins());
    c.fill(t);
    const int right = t.right() - 1;
    c.paint(rect_between(t.x, t.y, t.right(), t.y + 1), ui_highlight);
    c.paint(rect_between(t.x, t.y, t.x + 1, t.bottom()), ui_highlight);
    c.paint(rect_between(right, t.y, right + 1, t.bottom()), ui_dark);
    if (i != active_)
        c.paint(rect_between(t.x, t.bottom() - 1, t.right(), t.bottom()), ui_dark);
    const rect label =
        rect_between(t.x + (t.width - 97) / 2, t.y + 4, t.x + (t.width - 97) / 2 + 97, t.y + 16);
    if (!c.skin(skin_image_name(format("__tab.%d.gif", i + 1)), label))
        c.text_centred(tab_label(i), t.x + t.width / 2, t.y + 14);
    present(app_.frame().image(), t);
}

void panel_host::draw_tabs() {
    for (int i = 0; i < panel_count; ++i)
        if (i != active_)
            draw_tab(i);
    draw_tab(active_);
}

void panel_host::redraw_active() {
    active_panel().redraw();
}

void panel_host::select(int i) {
    if (i < 0 || i >= panel_count)
        return;
    if (i == active_) {
        redraw_active();
        return;
    }
    const int previous = active_;
    at(previous).deactivate();
    active_ = i;
    at(i).activate();
    at(i).redraw();
    if (previous == help)
        app_.redraw_work_area();
    draw_tabs();
}

void panel_host::idle(int x, int y) {
    for (auto& p : panels_)
        p->idle(x, y);
}

void panel_host::mouse_down(int x, int y, int button) {
    for (auto& p : panels_)
        p->mouse_down(x, y, button);
    for (int i = 0; i < panel_count; ++i)
        if (tab(i).contains(x, y))
            select(i);
}

void panel_host::mouse_up(int x, int y, int button) {
    for (auto& p : panels_)
        p->mouse_up(x, y, button);
}

void panel_host::key(int ch, int x, int y) {
    if (ch == keys::tab) {
        select((active_ + 1) % panel_count);
    } else if (ch == keys::shift_tab) {
        select((active_ + panel_count - 1) % panel_count);
    } else {
        for (auto& p : panels_)
            p->key(ch, x, y);
    }
}

void panel_host::command(const std::string& category, const std::string& name) {
    for (auto& p : panels_)
        p->command(category, name);
}

} // namespace zoetra
