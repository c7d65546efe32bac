// Polygons: outline with lines, interior with an edge-table scanline fill that
// steps every edge with integer arithmetic.
#include "raster/draw.hpp"

#include <algorithm>
#include <cstdlib>

namespace zoetra {
namespace {

struct edge {
    int x;          // column where the edge crosses the current row
    int start_row;  // row of its upper end
    int rows_left;  // rows still to cover; the edge leaves at 0
    int direction;  // +1 when x grows downward, else -1
    int whole_step; // whole columns moved per row
    int fraction_step;
    int error;
    int height; // the edge's full height: what the error gives back on a carry
};

// The edges of the polygon without its horizontal ones, ordered by upper row
// and then column (ties keep the polygon's order). Returns how many.
int build_edge_table(const std::int16_t* xs, const std::int16_t* ys, int count, edge* table) {
    int size = 0;
    for (int i = 0; i < count; ++i) {
        const int previous = i == 0 ? count - 1 : i - 1;
        int top_x = xs[previous], top_y = ys[previous];
        int bottom_x = xs[i], bottom_y = ys[i];
        if (top_y == bottom_y)
            continue;
        if (top_y > bottom_y) {
            std::swap(top_x, bottom_x);
            std::swap(top_y, bottom_y);
        }
        const int height = bottom_y - top_y;
        const int delta_x = bottom_x - top_x;
        const int width = std::abs(delta_x);
        edge e{};
        e.x = top_x;
        e.start_row = top_y;
        e.rows_left = height;
        e.height = height;
        e.direction = delta_x > 0 ? 1 : -1;
        if (width > height) {
            e.whole_step = (width / height) * e.direction;
            e.fraction_step = width % height;
        } else {
            e.whole_step = 0;
            e.fraction_step = width;
        }
        e.error = delta_x < 0 ? 1 - height : 0;
        // Insertion keeps equal edges in the polygon's order.
        int at = size++;
        for (; at > 0 &&
               (table[at - 1].start_row != e.start_row ? table[at - 1].start_row > e.start_row
                                                       : table[at - 1].x > e.x);
             --at)
            table[at] = table[at - 1];
        table[at] = e;
    }
    return size;
}

// Steps the active edges to the next row, drops the finished ones and sorts
// the rest by column again. Returns the new number of active edges.
int advance(edge* active, int size) {
    int kept = 0;
    for (int i = 0; i < size; ++i) {
        edge e = active[i];
        if (--e.rows_left == 0)
            continue;
        e.x += e.whole_step;
        e.error += e.fraction_step;
        if (e.error > 0) {
            e.x += e.direction;
            e.error -= e.height;
        }
        active[kept++] = e;
    }
    // Bubble passes until nothing moves: the list is nearly sorted already.
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (int i = 1; i < kept; ++i) {
            if (active[i].x < active[i - 1].x) {
                std::swap(active[i], active[i - 1]);
                swapped = true;
            }
        }
    }
    return kept;
}

// Fills the rows of the polygon's interior as spans from an active edge's
// column to one before the next one's; count is 3 to 255. Rows outside the
// pixels draw nothing but still step the edges.
void scanline_fill(pixel* pixels, int width, int height, const std::int16_t* xs,
                   const std::int16_t* ys, int count, pixel value) {
    edge table[255];
    edge active[255];
    const int table_size = build_edge_table(xs, ys, count, table);
    if (table_size == 0)
        return;
    int next = 0, active_size = 0;
    for (int row = table[0].start_row; next < table_size || active_size > 0; ++row) {
        for (; next < table_size && table[next].start_row == row; ++next) {
            // After the active edges at the same column or left of it.
            int at = active_size++;
            for (; at > 0 && active[at - 1].x > table[next].x; --at)
                active[at] = active[at - 1];
            active[at] = table[next];
        }
        if (row >= 0 && row < height) {
            pixel* line = pixels + std::size_t(row) * std::size_t(width);
            for (int i = 0; i + 1 < active_size; i += 2) {
                // Spans are 16-bit coordinates, clipped to the row.
                const int from = std::max<int>(std::int16_t(active[i].x), 0);
                const int to = std::min<int>(std::int16_t(active[i + 1].x - 1), width - 1);
                if (from <= to)
                    std::fill(line + from, line + to + 1, value);
            }
        }
        active_size = advance(active, active_size);
    }
}

} // namespace

void draw_polygon(buffer& b, const std::int16_t* xs, const std::int16_t* ys, std::uint8_t count,
                  colour outline, bool filled, colour fill) {
    buffer_lock hold(b);
    if (count == 0)
        return;
    if (count == 1) {
        put_pixel(b, xs[0], ys[0], outline);
        return;
    }
    if (count == 2) {
        draw_line(b, xs[0], ys[0], xs[1], ys[1], outline);
        return;
    }
    if (std::all_of(ys, ys + count, [&](std::int16_t y) { return y == ys[0]; })) {
        auto [low, high] = std::minmax_element(xs, xs + count);
        draw_line(b, *low, ys[0], *high, ys[0], outline);
        return;
    }
    if (filled && count >= 3)
        scanline_fill(b.pixels(), b.width(), b.height(), xs, ys, count, drawn_pixel(fill));
    if (filled && fill == outline)
        return;
    for (int i = 0; i < count; ++i) {
        const int to = (i + 1) % count;
        draw_line(b, xs[i], ys[i], xs[to], ys[to], outline);
    }
}

} // namespace zoetra

namespace zoetra {

void fill_quad(const pixel_canvas& c, const std::int16_t* xs, const std::int16_t* ys, colour k) {
    if (ys[0] == ys[1] && ys[0] == ys[2] && ys[0] == ys[3]) {
        // A flat quad is the line between its outermost corners.
        const int low = std::min(std::min(xs[0], xs[1]), std::min(xs[2], xs[3]));
        const int high = std::max(std::max(xs[0], xs[1]), std::max(xs[2], xs[3]));
        if (high - low > INT16_MAX) {
            draw_line(c.image, std::int16_t(low), ys[0], std::int16_t(high), ys[0], k);
            return;
        }
        const int y = ys[0];
        if (y < 0 || y >= c.height)
            return;
        const int from = std::max(low, 0);
        const int to = std::min(high, c.width - 1);
        pixel* line = c.pixels + std::size_t(y) * std::size_t(c.width);
        const pixel value = drawn_pixel(k);
        for (int x = from; x <= to; ++x)
            line[x] = value;
        return;
    }
    const int top = std::min(std::min(ys[0], ys[1]), std::min(ys[2], ys[3]));
    const int bottom = std::max(std::max(ys[0], ys[1]), std::max(ys[2], ys[3]));
    if (bottom - top == 1) {
        // Two rows apart: every edge that is not flat covers the top row
        // only, where it stands at its upper end, and the scanline fill
        // draws from the first of them to one before the second, and so on
        // (two or four, in column order).
        int columns[4];
        int count = 0;
        for (int i = 0; i < 4; ++i) {
            const int previous = i == 0 ? 3 : i - 1;
            if (ys[previous] != ys[i])
                columns[count++] = ys[previous] < ys[i] ? xs[previous] : xs[i];
        }
        if (top < 0 || top >= c.height)
            return;
        auto order = [&](int a, int b) {
            if (columns[b] < columns[a])
                std::swap(columns[a], columns[b]);
        };
        order(0, 1);
        if (count == 4) {
            order(2, 3);
            order(0, 2);
            order(1, 3);
            order(1, 2);
        }
        pixel* line = c.pixels + std::size_t(top) * std::size_t(c.width);
        const pixel value = drawn_pixel(k);
        for (int i = 0; i + 1 < count; i += 2) {
            const int from = std::max<int>(std::int16_t(columns[i]), 0);
            const int to = std::min<int>(std::int16_t(columns[i + 1] - 1), c.width - 1);
            for (int x = from; x <= to; ++x)
                line[x] = value;
        }
        return;
    }
    scanline_fill(c.pixels, c.width, c.height, xs, ys, 4, drawn_pixel(k));
}

} // namespace zoetra
