#pragma once
// Helpers shared by the raster tests: pixel sets and pictures of a buffer.
#include "raster/buffer.hpp"
#include "raster/draw.hpp"

#include <ostream>
#include <set>
#include <string>
#include <utility>

namespace zoetra {
inline void PrintTo(const rect& r, std::ostream* out) {
    *out << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}
} // namespace zoetra

namespace zoetra::test {

using point_set = std::set<std::pair<int, int>>;
inline constexpr colour background{0, 1, 2, 3};
inline constexpr colour red{0, 255, 0, 0};
inline constexpr colour blue{0, 0, 0, 255};

// Every pixel of the buffer whose value is `value`.
inline point_set pixels_equal_to(buffer& b, pixel value) {
    buffer_lock hold(b);
    point_set found;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.pixels()[y * b.width() + x] == value)
                found.insert({x, y});
    return found;
}

// Every pixel that differs from the background fill.
inline point_set drawn_pixels(buffer& b) {
    point_set all = pixels_equal_to(b, filled_pixel(b.background())), drawn;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (all.count({x, y}) == 0)
                drawn.insert({x, y});
    return drawn;
}

// The w x h pixels at (x0, y0), rows split by "|": "." for the background,
// "R" and "B" for drawn red and blue, "?" for anything else; " +N" counts
// pixels drawn outside.
inline std::string art(buffer& b, int x0, int y0, int w, int h) {
    std::string out;
    int outside = int(drawn_pixels(b).size());
    buffer_lock hold(b);
    for (int y = y0; y < y0 + h; ++y) {
        out += y == y0 ? "" : "|";
        for (int x = x0; x < x0 + w; ++x) {
            const pixel p = b.pixels()[y * b.width() + x];
            const bool fresh = p == filled_pixel(b.background());
            outside -= !fresh;
            out += fresh ? '.' : p == drawn_pixel(red) ? 'R' : p == drawn_pixel(blue) ? 'B' : '?';
        }
    }
    return outside == 0 ? out : out + " +" + std::to_string(outside);
}

} // namespace zoetra::test
