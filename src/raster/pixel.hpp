#pragma once
// The pixel word: blue in bits 0-7, green 8-15, red 16-23, the transparency
// byte in 24-31 (0 painted; bit 24 set marks a transparent or background
// pixel). A pixel is visible when bits 24-31 are all zero.
#include <cstdint>

namespace zoetra {

using pixel = std::uint32_t;

inline constexpr pixel transparent_flag = 0x01000000u;
inline constexpr pixel transparency_mask = 0xFF000000u;

// A colour as callers pass it: four bytes in memory order
// (transparency, red, green, blue).
struct colour {
    std::uint8_t t = 0;
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const colour&, const colour&) = default;
};

// What every drawing primitive but the fast fill stores: the transparent flag cleared.
constexpr pixel drawn_pixel(colour c) {
    return (pixel(c.t & 0xFEu) << 24) | (pixel(c.r) << 16) | (pixel(c.g) << 8) | c.b;
}
// What the fast fill stores: the transparent flag set.
constexpr pixel filled_pixel(colour c) {
    return (pixel(c.t | 1u) << 24) | (pixel(c.r) << 16) | (pixel(c.g) << 8) | c.b;
}
constexpr colour colour_of(pixel p) {
    return colour{std::uint8_t(p >> 24), std::uint8_t(p >> 16), std::uint8_t(p >> 8),
                  std::uint8_t(p)};
}
constexpr bool is_visible(pixel p) {
    return (p & transparency_mask) == 0;
}

} // namespace zoetra
