#pragma once
// Helpers shared by the raster tests: pixel sets of a buffer and a shell that
// records status texts.
#include "app/services/messages.hpp"
#include "raster/buffer.hpp"
#include "raster/draw.hpp"

#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zoetra {
inline void PrintTo(const rect& r, std::ostream* out) {
    *out << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}
} // namespace zoetra

namespace zoetra::test {

using point = std::pair<int, int>;
using point_set = std::set<point>;

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
    buffer_lock hold(b);
    point_set found;
    const pixel background = filled_pixel(b.background());
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.pixels()[y * b.width() + x] != background)
                found.insert({x, y});
    return found;
}

class recording_shell : public shell {
  public:
    recording_shell() { install_shell(this); }
    ~recording_shell() override { install_shell(nullptr); }
    void show_status(const std::string& text) override { statuses.push_back(text); }
    void present_area(const rect&) override {}
    void settings_changed() override {}
    std::vector<std::string> statuses;
};

} // namespace zoetra::test
