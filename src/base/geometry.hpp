#pragma once
#include <algorithm>
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
    bool empty() const { return width == 0 || height == 0; }
    bool contains(int px, int py) const {
        return x <= px && px < x + width && y <= py && py < y + height;
    }
    int right() const { return x + width; }
    int bottom() const { return y + height; }
    friend bool operator==(const rect&, const rect&) = default;
};

// The rectangle from (left, top) to (right, bottom), exclusive, kept to the
// 16-bit ranges; an inverted one is empty.
inline rect rect_between(int left, int top, int right, int bottom) {
    left = std::clamp(left, -32768, 32767);
    top = std::clamp(top, -32768, 32767);
    const int width = std::clamp(right - left, 0, 65535);
    const int height = std::clamp(bottom - top, 0, 65535);
    return rect{std::int16_t(left), std::int16_t(top), std::uint16_t(width), std::uint16_t(height)};
}

// The common part of two rectangles (empty when they do not meet).
inline rect intersection(const rect& a, const rect& b) {
    return rect_between(std::max(a.x, b.x), std::max(a.y, b.y), std::min(a.right(), b.right()),
                        std::min(a.bottom(), b.bottom()));
}

// The smallest rectangle that holds both.
inline rect bounding_box(const rect& a, const rect& b) {
    return rect_between(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.right(), b.right()),
                        std::max(a.bottom(), b.bottom()));
}

// True when the two share a pixel or an edge.
inline bool overlap_or_touch(const rect& a, const rect& b) {
    return a.x <= b.right() && b.x <= a.right() && a.y <= b.bottom() && b.y <= a.bottom();
}

// A picture's width and height, as a file's header gives them.
struct gif_size {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    friend bool operator==(const gif_size&, const gif_size&) = default;
};

} // namespace zoetra
