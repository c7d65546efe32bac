#include "raster/draw.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zoetra {
namespace {

bool inside(const buffer& b, int x, int y) {
    return x >= 0 && y >= 0 && x < b.width() && y < b.height();
}

// The line's error arithmetic is signed 16-bit: every step wraps like the
// 16-bit registers it was designed for, which also bounds every loop to at
// most 65,536 steps whatever the end points.
std::int16_t wrap16(int value) {
    return static_cast<std::int16_t>(value);
}

void write_row(buffer& b, int y, int from, int to, pixel value) {
    pixel* row = b.pixels() + std::size_t(y) * b.width();
    std::fill(row + from, row + to + 1, value);
}

} // namespace

void put_pixel(buffer& b, std::int16_t x, std::int16_t y, colour c) {
    buffer_lock hold(b);
    if (inside(b, x, y))
        b.pixels()[std::size_t(y) * b.width() + std::size_t(x)] = drawn_pixel(c);
}

colour get_pixel(const buffer& b, std::int16_t x, std::int16_t y) {
    // Reading may have to bring the pixels back from disk first.
    buffer_lock hold(const_cast<buffer&>(b));
    if (!inside(b, x, y))
        return colour{};
    return colour_of(b.pixels()[std::size_t(y) * b.width() + std::size_t(x)]);
}

void draw_line(buffer& b, std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1,
               colour c) {
    buffer_lock hold(b);
    const pixel value = drawn_pixel(c);
    pixel* const pixels = b.pixels();
    const int width = b.width();
    auto plot = [&](std::int16_t x, std::int16_t y) {
        if (inside(b, x, y))
            pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = value;
    };
    const std::int16_t dx = wrap16(std::abs(wrap16(x1 - x0)));
    const std::int16_t dy = wrap16(std::abs(wrap16(y1 - y0)));
    const std::int16_t sx = x0 < x1 ? 1 : -1;
    const std::int16_t sy = y0 < y1 ? 1 : -1;
    std::int16_t x = x0;
    std::int16_t y = y0;
    std::int16_t error = 0;
    if (dx < dy) {
        const std::int16_t stop = wrap16(y1 + sy);
        while (y != stop) {
            plot(x, y);
            y = wrap16(y + sy);
            error = wrap16(error + dx);
            if (error > dy / 2) {
                x = wrap16(x + sx);
                error = wrap16(error - dy);
            }
        }
    } else {
        const std::int16_t stop = wrap16(x1 + sx);
        while (x != stop) {
            plot(x, y);
            x = wrap16(x + sx);
            error = wrap16(error + dy);
            if (error > dx / 2) {
                y = wrap16(y + sy);
                error = wrap16(error - dx);
            }
        }
    }
}

void draw_rectangle(buffer& b, std::int16_t x_in, std::int16_t y_in, std::uint16_t w_in,
                    std::uint16_t h_in, colour fill, bool filled, colour border) {
    buffer_lock hold(b);
    const int width = b.width();
    const int height = b.height();
    int x = x_in, y = y_in, w = w_in, h = h_in;
    if (!(x < width && 0 <= x + w && y < height && 0 <= y + h))
        return;
    // A rectangle starting left of (or above) the window moves to its edge
    // keeping its size, then is cut at the far edge.
    if (x < 0)
        x = 0;
    if (x + w > width)
        w = width - x;
    if (y < 0)
        y = 0;
    if (y + h > height)
        h = height - y;
    if (w == 0 || h == 0)
        return;
    if (filled && w > 2 && h > 2) {
        const pixel inner = drawn_pixel(fill);
        for (int row = y + 1; row < y + h - 1; ++row)
            write_row(b, row, x + 1, x + w - 2, inner);
    }
    const pixel edge = drawn_pixel(border);
    pixel* const pixels = b.pixels();
    // The border may be degenerate (w or h below 2); its pixels are still
    // kept to the window.
    auto column = [&](int cx) {
        if (cx < 0 || cx >= width)
            return;
        for (int row = y + 1; row < y + h - 1; ++row)
            pixels[std::size_t(row) * std::size_t(width) + std::size_t(cx)] = edge;
    };
    auto row_of_border = [&](int ry) {
        if (ry >= 0 && ry < height && w > 0)
            write_row(b, ry, x, x + w - 1, edge);
    };
    row_of_border(y);
    column(x + w - 1);
    column(x);
    row_of_border(y + h - 1);
}

void fast_fill(buffer& b, colour c, rect area) {
    buffer_lock hold(b);
    const pixel value = filled_pixel(c);
    if (area.is_null() || area == b.window()) {
        std::fill_n(b.pixels(), std::size_t(b.width()) * b.height(), value);
        return;
    }
    const int from = std::max<int>(area.x, 0);
    const int to = std::min<int>(area.x + area.width, b.width()) - 1;
    const int top = std::max<int>(area.y, 0);
    const int bottom = std::min<int>(area.y + area.height, b.height());
    if (from > to)
        return;
    for (int row = top; row < bottom; ++row)
        write_row(b, row, from, to, value);
}

void draw_span(buffer& b, std::int16_t y, std::int16_t from, std::int16_t to, colour c) {
    buffer_lock hold(b);
    if (y < 0 || y >= b.height())
        return;
    const int first = std::max<int>(from, 0);
    const int last = std::min<int>(to, b.width() - 1);
    if (first > last)
        return;
    write_row(b, y, first, last, drawn_pixel(c));
}

void draw_circle(buffer& b, std::int16_t x, std::int16_t y, int mode, std::uint16_t diameter,
                 colour outline, bool filled, colour fill) {
    buffer_lock hold(b);
    if (mode == 0)
        return;
    if (mode == 1) {
        put_pixel(b, x, y, outline);
        return;
    }
    const int width = b.width();
    const int height = b.height();
    const int r = diameter / 2;
    const int cx = x + r;
    const int cy = y + r;
    const pixel outline_value = drawn_pixel(outline);
    const pixel fill_value = drawn_pixel(fill);
    const bool draw_outline = !(filled && fill_value == outline_value);
    pixel* const pixels = b.pixels();
    auto span = [&](int row, int from, int to) {
        if (row < 0 || row >= height)
            return;
        from = std::max(from, 0);
        to = std::min(to, width - 1);
        if (from <= to)
            write_row(b, row, from, to, fill_value);
    };
    auto point = [&](int px, int py) {
        if (px >= 0 && px < width && py >= 0 && py < height)
            pixels[std::size_t(py) * std::size_t(width) + std::size_t(px)] = outline_value;
    };
    int a = r, bb = 0, error = 0, u = 1, v = 2 * r - 1;
    while (bb <= a) {
        if (filled) {
            span(cy - bb, cx - a, cx + a);
            span(cy + bb, cx - a, cx + a);
            span(cy - a, cx - bb, cx + bb);
            span(cy + a, cx - bb, cx + bb);
        }
        if (draw_outline) {
            point(cx + a, cy + bb);
            point(cx - a, cy + bb);
            point(cx + a, cy - bb);
            point(cx - a, cy - bb);
            point(cx + bb, cy + a);
            point(cx - bb, cy + a);
            point(cx + bb, cy - a);
            point(cx - bb, cy - a);
        }
        ++bb;
        error += u;
        if (error > a) {
            --a;
            error -= v;
            v -= 2;
        }
        u += 2;
    }
}

// The rows draw_circle fills, found by running its loop without drawing.
circle_rows::circle_rows(int diameter) : radius(std::max(diameter, 2) / 2) {
    half_widths.assign(std::size_t(2 * radius + 1), -1);
    auto widen = [&](int row, int half) {
        int& w = half_widths[std::size_t(row + radius)];
        w = std::max(w, half);
    };
    int a = radius, bb = 0, error = 0, u = 1, v = 2 * radius - 1;
    while (bb <= a) {
        widen(-bb, a);
        widen(bb, a);
        widen(-a, bb);
        widen(a, bb);
        ++bb;
        error += u;
        if (error > a) {
            --a;
            error -= v;
            v -= 2;
        }
        u += 2;
    }
    widest = *std::max_element(half_widths.begin(), half_widths.end());
}

namespace {

// Sets the n pixels from p (n >= 1): four at a time, the last four possibly
// overlapping the ones before, for the short spans of small circles.
void fill_span(pixel* p, int n, pixel value) {
    if (n < 4) {
        p[0] = value;
        if (n > 1)
            p[1] = value;
        if (n > 2)
            p[2] = value;
        return;
    }
    const pixel four[4] = {value, value, value, value};
    for (int i = 0; i + 4 < n; i += 4)
        std::memcpy(p + i, four, sizeof four);
    std::memcpy(p + n - 4, four, sizeof four);
}

} // namespace

void fill_circle(const pixel_canvas& c, std::int16_t x, std::int16_t y, const circle_rows& rows,
                 pixel value) {
    const int cx = x + rows.radius;
    const int cy = y + rows.radius;
    const int* halves = rows.half_widths.data() + rows.radius;
    if (cy >= rows.radius && cy + rows.radius < c.height && cx >= rows.widest &&
        cx + rows.widest < c.width) {
        // Wholly inside: no row needs clipping.
        pixel* line = c.pixels + std::size_t(cy - rows.radius) * std::size_t(c.width) + cx;
        for (int k = -rows.radius; k <= rows.radius; ++k, line += c.width)
            if (const int half = halves[k]; half >= 0)
                fill_span(line - half, 2 * half + 1, value);
        return;
    }
    const int first = std::max(-rows.radius, -cy);
    const int last = std::min(rows.radius, c.height - 1 - cy);
    for (int k = first; k <= last; ++k) {
        const int half = halves[k];
        const int from = std::max(cx - half, 0);
        const int to = std::min(cx + half, c.width - 1);
        if (from <= to)
            fill_span(c.pixels + std::size_t(cy + k) * std::size_t(c.width) + from, to - from + 1,
                      value);
    }
}

} // namespace zoetra
