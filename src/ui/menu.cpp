#include "ui/menu.hpp"

#include "app/services/messages.hpp"
#include "base/utility.hpp"
#include "engine/config.hpp"
#include "skin/skin_images.hpp"
#include "ui/canvas.hpp"

#include <algorithm>

namespace zoetra {

menu_control::menu_control(const rect& area, const surface& target,
                           const std::vector<std::string>& names, int selected, bool switch_mode)
    : control(area, target), switch_mode_(switch_mode && names.size() == 2) {
    for (const std::string& name : names)
        if (count() < max_items)
            items_.push_back(item{name, name});
    if (items_.empty())
        items_.push_back(item{});
    assign(selected);
}

void menu_control::assign(int index) {
    selected_ = index >= 0 && index < count() ? index : 0;
}

void menu_control::select(int index) {
    index = wrapped_menu_index(index, count());
    if (index == selected_)
        return;
    selected_ = index;
    draw();
    if (on_change)
        on_change(selected_);
}

bool menu_control::select_by_name(std::string_view s) {
    int match = -1;
    for (int i = 0; i < count(); ++i)
        if (same_name(items_[i].name, s))
            match = i;
    if (match >= 0)
        select(match);
    return match >= 0;
}

void menu_control::set_label(int i, std::string text) {
    if (i >= 0 && i < count())
        items_[i].label = std::move(text);
}

int menu_control::row_height() const {
    return row_height_ > 0 ? row_height_ : area().height / count();
}

rect menu_control::row(int i) const {
    const rect r = area();
    const int top = r.y + i * row_height();
    return rect_between(r.x, top, r.right(), top + row_height());
}

void menu_control::select_row_at(int y) {
    if (row_height() > 0)
        select((window_coordinate(y) - area().y) / row_height());
}

void menu_control::on_idle(int, int y) {
    if (pressed() && !switch_mode_)
        select_row_at(y);
}

void menu_control::on_mouse_down(int x, int y, int) {
    if (!area().contains(x, y))
        return;
    set_pressed(true);
    if (!switch_mode_)
        select_row_at(y);
}

void menu_control::on_mouse_up(int, int, int) {
    if (pressed() && switch_mode_)
        select(selected_ == 0 ? 1 : 0);
    set_pressed(false);
}

void menu_control::on_key(int ch, int, int) {
    if (ch == '2' || ch == 'z' || ch == 31)
        select(selected_ + 1);
    else if (ch == '8' || ch == 'a' || ch == 30)
        select(selected_ - 1);
}

void menu_control::draw_switch(canvas& c) {
    const rect r = area();
    const int side = std::min(r.width, r.height);
    const int cx = r.x + r.width / 2, cy = r.y + r.height / 2;
    const int radius = std::max(side / 2 - 2, 1);
    c.fill(r);
    if (side < disc_side) {
        // Too small for the disc and its label: a tick box, filled when on.
        const rect tick{std::int16_t(cx - side / 2), std::int16_t(cy - side / 2),
                        std::uint16_t(side), std::uint16_t(side)};
        c.box(tick, true);
        if (selected_ != 0)
            c.fill(inset(tick, 3), ui_dark);
        return;
    }
    if (selected_ == 0) {
        c.disc(cx, cy, radius, ui_mid);
        c.circle(cx, cy, radius, ui_light);
        c.circle(cx, cy, radius + 1, ui_dark);
    } else {
        c.disc(cx, cy, radius, ui_light);
        c.circle(cx + 1, cy + 1, radius, ui_dark);
    }
    c.text_centred(items_[selected_].label, cx, cy + 14);
}

void menu_control::on_draw(buffer& target) {
    canvas c(target, drawing_area(), skins());
    if (switch_mode_) {
        draw_switch(c);
    } else {
        for (int i = 0; i < count(); ++i) {
            const rect box = row(i);
            const bool on = i == selected_;
            const std::string skin = skin_image_name(
                format("__menu.%s.%s.gif", items_[i].name.c_str(), on ? "on" : "off"));
            if (c.skin(skin, box))
                continue;
            c.box(box, on);
            c.text(items_[i].label, box.x + 4, centred_baseline(box));
        }
    }
    present(target, drawing_area());
}

} // namespace zoetra
