#include "ui/panel.hpp"

#include "ui/canvas.hpp"
#include "ui/editors.hpp"

namespace zoetra {

panel::panel(buffer* target, const rect& area, std::string title) : target_(target), area_(area) {
    description_.type = "PANEL";
    description_.name = title;
    description_.title = std::move(title);
}

void panel::add(config& child) {
    attach_editor(child);
    child.set_target(target_);
    children_.push_back(&child);
}

void panel::idle(int x, int y) {
    if (active_)
        for (config* c : children_)
            c->idle(x, y);
}

void panel::mouse_down(int x, int y, int button) {
    mouse_held_ = true;
    if (active_)
        for (config* c : children_)
            c->mouse_down(x, y, button);
}

void panel::mouse_up(int x, int y, int button) {
    mouse_held_ = false;
    if (active_)
        for (config* c : children_)
            c->mouse_up(x, y, button);
}

void panel::key(int ch, int x, int y) {
    if (active_)
        for (config* c : children_)
            c->key(ch, x, y);
}

void panel::command(const std::string& category, const std::string& name) {
    for (config* c : children_)
        c->command(category, name);
}

void panel::redraw() {
    if (!active_ || target_ == nullptr)
        return;
    {
        canvas c(*target_, area_);
        c.fill(area_);
    }
    for (config* child : children_)
        child->refresh();
    draw_contents();
    canvas c(*target_, area_);
    const int groove = area_.bottom() - 2;
    c.paint(rect_between(area_.x, groove, area_.right(), groove + 1), ui_dark);
    c.paint(rect_between(area_.x, groove + 1, area_.right(), groove + 2), ui_light);
    present(*target_, area_);
}

void panel::activate() {
    active_ = true;
    for (config* c : children_)
        c->activate();
}

void panel::deactivate() {
    active_ = false;
    for (config* c : children_)
        c->deactivate();
}

} // namespace zoetra
