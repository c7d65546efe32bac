#include "ui/slider.hpp"

#include "app/services/messages.hpp"
#include "base/utility.hpp"
#include "engine/config.hpp"
#include "raster/text.hpp"
#include "resources/resource.hpp"
#include "skin/skin_images.hpp"
#include "ui/canvas.hpp"

#include <algorithm>
#include <cmath>

namespace zoetra {
namespace {

constexpr int track_length = 40;
constexpr double two_pi = 6.283185307179586;

// How far along its range the value stands, 0 to 1 (0 for an empty range).
double position_of(double value, double minimum, double maximum) {
    if (!(maximum > minimum))
        return 0;
    return std::clamp((value - minimum) / (maximum - minimum), 0.0, 1.0);
}

int ceil_quarter(int size) {
    return (size + 3) / 4;
}

} // namespace

std::string format_for_step(double value, double step) {
    if (step >= 1)
        return format("%.0f", value);
    if (step >= 0.1)
        return format("%.1f", value);
    return format("%.2f", value);
}

slider_control::slider_control(const rect& area, const surface& target, double value,
                               double minimum, double maximum, double step, bool dial,
                               bool vertical)
    : control(area, target), value_(settle_value(value, minimum, maximum, step)), minimum_(minimum),
      maximum_(maximum), step_(step), dial_(dial), vertical_(vertical && !dial) {}

void slider_control::set_value(double v) {
    const double old = value_;
    value_ = settle_value(v, minimum_, maximum_, step_);
    if (value_ == old)
        return;
    draw();
    if (on_change)
        on_change(value_);
}

void slider_control::assign(double value, double minimum, double maximum, double step) {
    minimum_ = minimum;
    maximum_ = maximum;
    step_ = step;
    value_ = value;
}

slider_layout slider_control::layout() const {
    const rect r = area();
    slider_layout l;
    const double f = position_of(value_, minimum_, maximum_);
    const bool ranged = maximum_ > minimum_;
    if (dial_) {
        const int side = r.height;
        l.dial = rect_between(r.x + (r.width - side) / 2, r.y, r.x + (r.width - side) / 2 + side,
                              r.y + side);
        const int cx = l.dial.x + side / 2, cy = l.dial.y + side / 2;
        const double angle = two_pi * f;
        const double reach = ranged ? side / 2.0 : 0.0;
        l.needle_x = cx + int(std::lround(reach * std::cos(angle)));
        l.needle_y = cy - int(std::lround(reach * std::sin(angle)));
    } else if (vertical_) {
        const int q = ceil_quarter(r.width);
        l.track =
            rect_between(r.x + q, r.y, r.x + q + std::max(0, track_length - 2 * q), r.bottom());
        if (ranged) {
            const int top = l.track.y + int(f * 0.9 * l.track.height);
            l.thumb = rect_between(l.track.x, top, l.track.right(), top + l.track.height / 10);
        }
    } else {
        const int q = ceil_quarter(r.height);
        l.track = rect_between(r.x, r.y + q, r.x + track_length, r.bottom() - q);
        if (ranged) {
            const int left = l.track.x + int(f * 0.9 * track_length);
            l.thumb = rect_between(left, l.track.y, left + track_length / 10, l.track.bottom());
        }
        l.left_arrow = rect_between(r.x - 12, r.y, r.x - 3, r.bottom());
        l.right_arrow = rect_between(r.x + 42, r.y, r.x + 51, r.bottom());
    }
    if (!vertical_) {
        l.label_text = format_for_step(value_, step_);
        const int width = measure_text(l.label_text).width + 3;
        if (dial_) {
            const int centre = l.dial.x + l.dial.width / 2;
            l.label = rect_between(centre - width / 2, r.bottom() - 12, centre - width / 2 + width,
                                   r.bottom());
        } else {
            l.label = rect_between(r.x + 54, r.y, r.x + 54 + width, r.bottom());
        }
    }
    return l;
}

// A horizontal slider's left arrow lies outside its rectangle, and its value
// label may reach past the right edge (room for six characters).
rect slider_control::extent() const {
    const rect r = area();
    if (!horizontal())
        return r;
    return rect_between(r.x - 12, r.y, std::max<int>(r.right(), r.x + 54 + 40), r.bottom());
}

void slider_control::follow_mouse(int x, int y) {
    x = window_coordinate(x);
    y = window_coordinate(y);
    const slider_layout l = layout();
    double fraction = 0;
    if (dial_) {
        const rect r = area();
        const double dx = x - (r.x + r.width / 2);
        const double dy = (r.y + r.height / 2) - y;
        fraction = std::atan2(dy, dx) / two_pi;
        if (fraction < 0)
            fraction += 1;
    } else if (vertical_) {
        fraction = l.track.height > 0 ? double(y - l.track.y) / l.track.height : 0;
    } else {
        fraction = l.track.width > 0 ? double(x - l.track.x) / l.track.width : 0;
    }
    set_value(minimum_ + (maximum_ - minimum_) * fraction);
}

void slider_control::on_idle(int x, int y) {
    if (pressed())
        follow_mouse(x, y);
    const slider_layout l = layout();
    if ((left_held_ && !l.left_arrow.contains(x, y)) ||
        (right_held_ && !l.right_arrow.contains(x, y))) {
        left_held_ = right_held_ = false;
        draw();
    }
}

void slider_control::on_mouse_down(int x, int y, int) {
    const slider_layout l = layout();
    const bool on_right_arrow = horizontal() && l.right_arrow.contains(x, y);
    if (area().contains(x, y) && !on_right_arrow)
        set_pressed(true);
    if (!horizontal())
        return;
    if (on_right_arrow) {
        right_held_ = true;
        set_value(value_ + step_);
        draw();
    } else if (l.left_arrow.contains(x, y)) {
        left_held_ = true;
        set_value(value_ - step_);
        draw();
    }
}

void slider_control::on_mouse_up(int, int, int) {
    set_pressed(false);
    left_held_ = right_held_ = false;
    draw();
}

void slider_control::on_key(int ch, int x, int y) {
    if (!area().contains(x, y))
        return;
    if (ch == ',' || ch == '4' || ch == 28)
        set_value(value_ - step_);
    else if (ch == '.' || ch == '6' || ch == 29)
        set_value(value_ + step_);
}

void slider_control::draw_arrow(canvas& c, const rect& box, bool left, bool held) {
    c.fill(box);
    // A held arrow is drawn pressed: one pixel further right and down.
    const rect shown =
        held ? rect{std::int16_t(box.x + 1), std::int16_t(box.y + 1), box.width, box.height} : box;
    if (c.skin(skin_image_name(left ? "__left_arrow.gif" : "__right_arrow.gif"), shown))
        return;
    // A triangle pointing outwards, filled with lines.
    const int middle = shown.y + shown.height / 2;
    const int half = std::min<int>(shown.width - 1, shown.height / 2);
    for (int i = 0; i <= half; ++i) {
        const int x = left ? shown.x + shown.width - 1 - half + i : shown.x + half - i;
        c.line(x, middle - i, x, middle + i, ui_text);
    }
}

void slider_control::on_draw(buffer& target) {
    canvas c(target, drawing_area(), skins());
    c.fill(drawn_thumb_);
    c.fill(drawn_label_);
    const slider_layout l = layout();
    if (dial_) {
        c.fill(l.dial);
        const int cx = l.dial.x + l.dial.width / 2, cy = l.dial.y + l.dial.height / 2;
        const int radius = l.dial.height / 2 - 1;
        c.circle(cx + 1, cy + 1, radius, ui_light);
        c.circle(cx, cy, radius, ui_dark);
        if (maximum_ > minimum_)
            c.line(cx, cy, l.needle_x, l.needle_y, ui_text);
    } else {
        c.bevel(l.track, ui_dark, ui_light);
        if (!l.thumb.empty()) {
            c.paint(l.thumb, ui_light);
            c.bevel(l.thumb, ui_highlight, ui_mid);
        }
    }
    if (!l.label.empty()) {
        c.fill(l.label);
        c.text(l.label_text, l.label.x + 1, centred_baseline(l.label));
    }
    if (horizontal()) {
        draw_arrow(c, l.left_arrow, true, left_held_);
        draw_arrow(c, l.right_arrow, false, right_held_);
    }
    drawn_thumb_ = dial_ ? l.dial : l.thumb;
    drawn_label_ = l.label;
    present(target, drawing_area());
}

} // namespace zoetra
