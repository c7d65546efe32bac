#pragma once
#include <cstdint>

namespace zoetra {

// A window rectangle: x and y signed 16-bit, width and height unsigned 16-bit.
// The all-zero rectangle is the null area.
struct rect {
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;

    bool is_null() const { return x == 0 && y == 0 && width == 0 && height == 0; }
    bool contains(int px, int py) const {
        return x <= px && px < x + width && y <= py && py < y + height;
    }
    friend bool operator==(const rect&, const rect&) = default;
};

} // namespace zoetra
