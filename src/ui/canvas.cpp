#include "ui/canvas.hpp"

#include "app/services/messages.hpp"
#include "raster/text.hpp"
#include "skin/skin_images.hpp"

#include <cmath>
#include <cstdlib>

namespace zoetra {

canvas::canvas(buffer& target, const rect& clip, skin_cache* skins)
    : target_(target), lock_(target), clip_(intersection(clip, target.window())), skins_(skins) {}

void canvas::put(int x, int y, pixel p) {
    if (clip_.contains(x, y))
        target_.pixels()[std::size_t(y) * target_.width() + std::size_t(x)] = p;
}

void canvas::fill(const rect& r, colour c) {
    const rect area = intersection(r, clip_);
    const pixel p = filled_pixel(c);
    for (int y = area.y; y < area.bottom(); ++y)
        for (int x = area.x; x < area.right(); ++x)
            put(x, y, p);
}

void canvas::paint(const rect& r, colour c) {
    const rect area = intersection(r, clip_);
    const pixel p = drawn_pixel(c);
    for (int y = area.y; y < area.bottom(); ++y)
        for (int x = area.x; x < area.right(); ++x)
            put(x, y, p);
}

void canvas::line(int x0, int y0, int x1, int y1, colour c) {
    const pixel p = drawn_pixel(c);
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    // Lines of the toolkit are short; a far-off end point is cut so the walk stays short too.
    for (int error = dx + dy, steps = 0; steps < 4096; ++steps) {
        put(x0, y0, p);
        if (x0 == x1 && y0 == y1)
            break;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

void canvas::bevel(const rect& r, colour upper_left, colour lower_right) {
    if (r.empty())
        return;
    const int right = r.right() - 1, bottom = r.bottom() - 1;
    paint(rect_between(r.x, r.y, r.right(), r.y + 1), upper_left);
    paint(rect_between(r.x, r.y, r.x + 1, r.bottom()), upper_left);
    paint(rect_between(r.x, bottom, r.right(), bottom + 1), lower_right);
    paint(rect_between(right, r.y, right + 1, r.bottom()), lower_right);
}

void canvas::box(const rect& r, bool sunken) {
    paint(r, ui_light);
    if (sunken)
        bevel(r, ui_dark, ui_highlight);
    else
        bevel(r, ui_highlight, ui_dark);
}

void canvas::circle(int cx, int cy, int radius, colour c) {
    if (radius <= 0)
        return;
    const pixel p = drawn_pixel(c);
    // Midpoint circle: eight points per step.
    for (int x = radius, y = 0, error = 1 - radius; x >= y; ++y) {
        const int points[8][2] = {{x, y},   {y, x},   {-y, x}, {-x, y},
                                  {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
        for (const auto& pt : points)
            put(cx + pt[0], cy + pt[1], p);
        if (error < 0) {
            error += 2 * y + 3;
        } else {
            error += 2 * (y - x) + 5;
            --x;
        }
    }
}

void canvas::disc(int cx, int cy, int radius, colour c) {
    const pixel p = drawn_pixel(c);
    for (int y = -radius; y <= radius; ++y)
        for (int x = -radius; x <= radius; ++x)
            if (x * x + y * y <= radius * radius)
                put(cx + x, cy + y, p);
}

void canvas::text(std::string_view s, int x, int baseline, colour c) {
    if (x < -32768 || x > 32767 || baseline < -32768 || baseline > 32767)
        return;
    draw_text_clipped(target_, s, std::int16_t(x), std::int16_t(baseline), c, clip_);
}

void canvas::text_centred(std::string_view s, int centre_x, int baseline, colour c) {
    text(s, centre_x - measure_text(s).width / 2, baseline, c);
}

bool canvas::skin(const std::string& name, const rect& box, int mode) {
    return skins_ != nullptr &&
           skins_->draw(target_, name, box.x, box.y, box.width, box.height, mode, clip_);
}

int centred_baseline(const rect& r) {
    // A 9-point line is 14 rows with its baseline 11 rows down; its capitals
    // stand about 9 rows above the baseline.
    return r.y + (r.height + 9) / 2;
}

rect inset(const rect& r, int d) {
    return rect_between(r.x + d, r.y + d, r.right() - d, r.bottom() - d);
}

void present(const buffer& target, const rect& r) {
    const rect shown = intersection(r, target.window());
    if (!shown.empty())
        present_area(shown);
}

} // namespace zoetra
