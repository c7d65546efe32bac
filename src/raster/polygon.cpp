// Polygons: outline with lines, interior with an edge-table scanline fill that
// steps every edge with integer arithmetic.
#include "raster/draw.hpp"

#include <algorithm>
#include <cstdlib>
#include <vector>

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

std::vector<edge> build_edge_table(const std::int16_t* xs, const std::int16_t* ys, int count) {
    std::vector<edge> table;
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
        table.push_back(e);
    }
    std::stable_sort(table.begin(), table.end(), [](const edge& a, const edge& b) {
        return a.start_row != b.start_row ? a.start_row < b.start_row : a.x < b.x;
    });
    return table;
}

void advance(std::vector<edge>& active) {
    std::erase_if(active, [](edge& e) {
        if (--e.rows_left == 0)
            return true;
        e.x += e.whole_step;
        e.error += e.fraction_step;
        if (e.error > 0) {
            e.x += e.direction;
            e.error -= e.height;
        }
        return false;
    });
    // Bubble passes until nothing moves: the list is nearly sorted already.
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (std::size_t i = 1; i < active.size(); ++i) {
            if (active[i].x < active[i - 1].x) {
                std::swap(active[i], active[i - 1]);
                swapped = true;
            }
        }
    }
}

void scanline_fill(buffer& b, const std::int16_t* xs, const std::int16_t* ys, int count, colour c) {
    if (count < 3)
        return;
    std::vector<edge> table = build_edge_table(xs, ys, count);
    std::vector<edge> active;
    std::size_t next = 0;
    if (table.empty())
        return;
    for (int row = table.front().start_row; next < table.size() || !active.empty(); ++row) {
        for (; next < table.size() && table[next].start_row == row; ++next) {
            auto at = std::upper_bound(active.begin(), active.end(), table[next].x,
                                       [](int x, const edge& e) { return x < e.x; });
            active.insert(at, table[next]);
        }
        // Rows outside the buffer draw nothing but still step the edges.
        if (row >= 0 && row < b.height()) {
            for (std::size_t i = 0; i + 1 < active.size(); i += 2)
                draw_span(b, std::int16_t(row), std::int16_t(active[i].x),
                          std::int16_t(active[i + 1].x - 1), c);
        }
        advance(active);
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
    if (filled)
        scanline_fill(b, xs, ys, count, fill);
    if (filled && fill == outline)
        return;
    for (int i = 0; i < count; ++i) {
        const int to = (i + 1) % count;
        draw_line(b, xs[i], ys[i], xs[to], ys[to], outline);
    }
}

} // namespace zoetra
