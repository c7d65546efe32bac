#include "ui/palette_editor.hpp"

#include "skin/palette_pictures.hpp"

#include "app/services/messages.hpp"
#include "base/utility.hpp"
#include "gif/animation_reader.hpp"
#include "skin/skin_images.hpp"
#include "ui/canvas.hpp"
#include "ui/control.hpp"
#include "ui/event.hpp"

#include <algorithm>

namespace zoetra {
namespace {

constexpr int arrow_width = 9;
constexpr int max_slots = 64;

} // namespace

rect palette_layout::slot(int i) const {
    const int left = strip.x + i * slot_width;
    return rect_between(left, strip.y, left + slot_width, strip.y + cell);
}

palette_layout layout_palette(const rect& area, int image_count, double fraction) {
    const int x = area.x, y = area.y, w = area.width, h = area.height;
    palette_layout l;
    l.cell = std::max(0, (4 * h - 48) / 5);
    const int strip_width = std::max(0, 4 * w / 5 - 30);
    l.strip = rect_between(x + w / 5 + 2, y + 2, x + w / 5 + 2 + strip_width, y + 2 + l.cell);
    l.insert_button = rect_between(x + 20, y, x + 110, y + 22);
    l.remove_button = rect_between(x + 20, y + 28, x + 110, y + 50);
    l.visible_slots = l.cell > 0 ? std::min(strip_width / l.cell, max_slots) : 0;
    l.slot_width = l.visible_slots > 0 ? strip_width / l.visible_slots : 0;
    const int n = l.visible_slots;
    if (image_count + 1 < n) {
        l.shown_slots = image_count + 1;
        l.first_visible = 0;
    } else {
        l.shown_slots = n;
        const double first = (image_count - n + 2) * std::clamp(fraction, 0.0, 1.0);
        l.first_visible = std::clamp(int(first), 0, std::max(0, image_count - n + 1));
    }
    const int bar_top = y + 2 + l.cell;
    const int bar_height = std::max(0, (h - 12) / 5);
    const int bar_length = n * l.slot_width;
    const rect whole_bar =
        rect_between(l.strip.x, bar_top, l.strip.x + bar_length, bar_top + bar_height);
    if (image_count + 1 > n) {
        l.left_arrow =
            rect_between(whole_bar.x, whole_bar.y, whole_bar.x + arrow_width, whole_bar.bottom());
        l.right_arrow = rect_between(whole_bar.right() - arrow_width, whole_bar.y,
                                     whole_bar.right(), whole_bar.bottom());
        l.scroll_bar = rect_between(whole_bar.x + arrow_width, whole_bar.y,
                                    whole_bar.right() - arrow_width, whole_bar.bottom());
    } else {
        l.scroll_bar = whole_bar;
    }
    l.size_label = rect_between(x + w / 5 + 10, y + h - 12, x + w / 5 + 90, y + h);
    return l;
}

palette_editor::palette_editor(cfg_image_in& palette)
    : setting_editor(palette), palette_(palette) {}

palette_layout palette_editor::layout() const {
    return layout_palette(area(), palette_.count(), fraction_);
}

outcome insert_picture(cfg_image_in& palette, const std::string& path, int position) {
    if (count_gif_frames(palette.path_of(path)) > 1 &&
        choose_between("Animated GIF",
                       "\"" + path + "\" is an animation. Take its first frame, or every frame?",
                       "First frame", "Every frame") == 1)
        return palette.add_animation(path, position);
    return palette.add_image(path, position);
}

void palette_editor::insert() {
    std::optional<std::string> name =
        choose_file_to_open(open_dialog_title, "*.{gif,png,jpg,jpeg}");
    if (!name)
        return;
    if (outcome added = insert_picture(palette_, *name, palette_.selected()); !added)
        error_box(added.message());
}

void palette_editor::remove_selected() {
    if (palette_.selected() < palette_.count())
        palette_.remove_image(palette_.selected());
}

void palette_editor::scroll_by(int direction) {
    const int count = palette_.count();
    const double step = double(count + 1 - layout().visible_slots) / (count + 1);
    fraction_ = std::clamp(fraction_ + direction * step, 0.0, 1.0);
    draw();
}

void palette_editor::on_idle(int x, int y) {
    const palette_layout l = layout();
    if ((insert_held_ && !l.insert_button.contains(x, y)) ||
        (remove_held_ && !l.remove_button.contains(x, y))) {
        insert_held_ = remove_held_ = false;
        draw();
    }
    if (scroll_dragged_ && l.scroll_bar.width > 0) {
        fraction_ = std::clamp(double(window_coordinate(x) - l.scroll_bar.x) / l.scroll_bar.width,
                               0.0, 1.0);
        draw();
    }
}

void palette_editor::on_mouse_down(int x, int y, int) {
    const palette_layout l = layout();
    if (l.insert_button.contains(x, y) && palette_.count() < max_slots) {
        insert_held_ = true;
    } else if (l.remove_button.contains(x, y) && palette_.selected() < palette_.count()) {
        remove_held_ = true;
    } else if (l.scroll_bar.contains(x, y)) {
        scroll_dragged_ = true;
    } else if (l.left_arrow.contains(x, y)) {
        scroll_by(-1);
        return;
    } else if (l.right_arrow.contains(x, y)) {
        scroll_by(1);
        return;
    } else {
        for (int i = 0; i < l.shown_slots; ++i) {
            if (l.slot(i).contains(x, y)) {
                palette_.set_selected(l.first_visible + i);
                break;
            }
        }
    }
    draw();
}

void palette_editor::on_mouse_up(int, int, int) {
    scroll_dragged_ = false;
    if (insert_held_) {
        insert_held_ = false;
        insert();
    } else if (remove_held_) {
        remove_held_ = false;
        remove_selected();
    }
    draw();
}

void palette_editor::on_key(int ch, int, int) {
    const int before = palette_.selected();
    if (ch == ',' || ch == '4' || ch == keys::left)
        palette_.set_selected(before - 1);
    else if (ch == '.' || ch == '6' || ch == keys::right)
        palette_.set_selected(before + 1);
    else if (ch == keys::backspace || ch == keys::delete_key)
        remove_selected();
    if (palette_.selected() != before) {
        fraction_ = std::clamp(double(palette_.selected() + 1) / (palette_.count() + 1), 0.0, 1.0);
        draw();
    }
}

void palette_editor::on_command(const std::string& category, const std::string& name) {
    if (category != "file")
        return;
    if (name == "insert")
        insert();
    else if (name == "remove")
        remove_selected();
}

std::string palette_editor::size_text() {
    const std::string& name = palette_.name_at(palette_.selected());
    if (name != measured_name_) {
        measured_name_ = name;
        measured_size_ = palette_.selected_size();
    }
    // The empty slot has no size to tell.
    if (measured_size_.width == 0)
        return "";
    return format("%d x %d", measured_size_.width, measured_size_.height);
}

void palette_editor::draw_button(canvas& c, const rect& box, const char* skin, const char* label,
                                 bool held) {
    if (c.skin(skin_image_name(skin), box))
        return;
    c.box(box, held);
    c.text(label, box.x + 6, centred_baseline(box));
}

void palette_editor::draw_thumbnail(canvas& c, const std::string& name, const rect& box) {
    if (palette_pictures* pictures = where().pictures) {
        pictures->draw_thumbnail(*target(), name, box, area());
        return;
    }
    c.skin(name, box);
}

void palette_editor::draw() {
    if (!drawable())
        return;
    const rect area = this->area();
    buffer* target = this->target();
    const palette_layout l = layout();
    canvas c(*target, area, skins());
    c.fill(area);
    for (int i = 0; i < l.shown_slots; ++i) {
        const int position = l.first_visible + i;
        const rect slot = l.slot(i);
        c.box(slot, position == palette_.selected());
        if (position < palette_.count())
            draw_thumbnail(c, palette_.name_at(position), inset(slot, 2));
    }
    draw_button(c, l.insert_button, "__insert.gif", "(insert)Image", insert_held_);
    draw_button(c, l.remove_button, "__delete.gif", "(delete)Image", remove_held_);
    for (const auto& [box, left] :
         {std::pair{l.left_arrow, true}, std::pair{l.right_arrow, false}}) {
        if (box.empty() ||
            c.skin(skin_image_name(left ? "__left_arrow.gif" : "__right_arrow.gif"), box))
            continue;
        c.box(box, false);
        const int middle = box.y + box.height / 2, tip = left ? box.x + 2 : box.right() - 3;
        for (int i = 0; i <= 2; ++i)
            c.line(tip + (left ? i : -i), middle - i, tip + (left ? i : -i), middle + i, ui_text);
    }
    c.bevel(l.scroll_bar, ui_dark, ui_light);
    if (l.scroll_bar.width > 12) {
        const int left = l.scroll_bar.x + int(fraction_ * (l.scroll_bar.width - 12));
        const rect thumb = rect_between(left, l.scroll_bar.y, left + 12, l.scroll_bar.bottom());
        c.box(thumb, false);
    }
    c.fill(l.size_label);
    c.text(size_text(), l.size_label.x, l.size_label.y + 10);
    present(*target, area);
}

} // namespace zoetra
