#include "ui/text_field.hpp"

#include "app/services/messages.hpp"
#include "ui/canvas.hpp"

#include <algorithm>

namespace zoetra {

text_control::text_control(const rect& area, const surface& target, std::string text,
                           std::size_t max_length)
    : control(area, target), max_length_(max_length) {
    assign(text);
}

// The buffer holds 127 characters whatever the maximum.
std::size_t text_control::limit() const {
    return std::min(max_length_, buffer_limit);
}

void text_control::assign(const std::string& text) {
    text_ = text.substr(0, limit());
}

void text_control::set_text(const std::string& text) {
    assign(text);
    draw();
}

void text_control::on_mouse_down(int x, int y, int) {
    if (area().contains(x, y)) {
        set_pressed(true);
        editing_ = replace_ = true;
    } else {
        editing_ = replace_ = false;
    }
    draw();
}

void text_control::on_mouse_up(int, int, int) {
    set_pressed(false);
}

void text_control::on_key(int ch, int, int) {
    if (!editing_) {
        replace_ = false;
        return;
    }
    if (ch == 13) {
        editing_ = false;
    } else if (ch == 8) {
        if (!text_.empty())
            text_.pop_back();
    } else if (ch >= 32 && ch < 256 && ch != 127) {
        // Keys that type nothing visible (arrows, Delete) leave the text alone.
        if (replace_)
            text_.clear();
        if (text_.size() < limit())
            text_ += char(ch);
    }
    replace_ = false;
    draw();
    if (on_change)
        on_change(text_);
}

void text_control::on_draw(buffer& target) {
    canvas c(target, drawing_area(), skins());
    const rect r = area();
    c.fill(inset(r, 1));
    if (editing_)
        c.bevel(r, ui_light, ui_dark);
    else
        c.bevel(r, ui_dark, ui_light);
    const std::string shown = replace_ ? std::string() : editing_ ? text_ + "_" : text_;
    c.text(shown, r.x + 3, centred_baseline(r));
    present(target, drawing_area());
}

} // namespace zoetra
