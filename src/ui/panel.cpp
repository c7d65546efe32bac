#include "ui/panel.hpp"

#include "ui/canvas.hpp"
#include "ui/editors.hpp"

namespace zoetra {

panel::panel(const surface& target, const rect& area, std::string title)
    : target_(target), area_(area) {
    description_.type = "PANEL";
    description_.name = title;
    description_.title = std::move(title);
}

void panel::add(config& setting, const rect& area) {
    std::unique_ptr<setting_editor> editor = make_editor(setting);
    if (!editor)
        return;
    editor->set_surface(target_);
    editor->set_area(area);
    children_.push_back(std::move(editor));
}

void panel::idle(int x, int y) {
    if (active_)
        for (auto& c : children_)
            c->idle(x, y);
}

void panel::mouse_down(int x, int y, int button) {
    mouse_held_ = true;
    if (active_)
        for (auto& c : children_)
            c->mouse_down(x, y, button);
}

void panel::mouse_up(int x, int y, int button) {
    mouse_held_ = false;
    if (active_)
        for (auto& c : children_)
            c->mouse_up(x, y, button);
}

void panel::key(int ch, int x, int y) {
    if (active_)
        for (auto& c : children_)
            c->key(ch, x, y);
}

void panel::command(const std::string& category, const std::string& name) {
    for (auto& c : children_)
        c->command(category, name);
}

void panel::redraw() {
    if (!active_ || target_.image == nullptr)
        return;
    {
        canvas c(*target_.image, area_, target_.skins);
        c.fill(area_);
    }
    for (auto& child : children_)
        child->refresh();
    draw_contents();
    canvas c(*target_.image, area_, target_.skins);
    const int groove = area_.bottom() - 2;
    c.paint(rect_between(area_.x, groove, area_.right(), groove + 1), ui_dark);
    c.paint(rect_between(area_.x, groove + 1, area_.right(), groove + 2), ui_light);
    present(*target_.image, area_);
}

void panel::activate() {
    active_ = true;
    for (auto& c : children_)
        c->activate();
}

void panel::deactivate() {
    active_ = false;
    for (auto& c : children_)
        c->deactivate();
}

} // namespace zoetra
