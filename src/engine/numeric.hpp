#pragma once
// Conversions from real numbers to the element widths. Real values become
// integers by truncation toward zero and are then kept in the element's
// width (wrapped). NaN counts as 0 and values beyond the 64-bit range are
// clamped first, so no conversion is ever undefined.
#include <cmath>
#include <cstdint>

namespace zoetra {

inline std::int64_t truncate_to_int64(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= 9.2e18)
        return INT64_C(9200000000000000000);
    if (v <= -9.2e18)
        return -INT64_C(9200000000000000000);
    return static_cast<std::int64_t>(v);
}
inline std::uint8_t truncate_to_u8(double v) {
    return static_cast<std::uint8_t>(static_cast<std::uint64_t>(truncate_to_int64(v)) & 0xFFu);
}
inline std::uint16_t truncate_to_u16(double v) {
    return static_cast<std::uint16_t>(static_cast<std::uint64_t>(truncate_to_int64(v)) & 0xFFFFu);
}
// Truncation into int, clamped to the int range.
inline int truncate_to_int(double v) {
    std::int64_t t = truncate_to_int64(v);
    if (t > INT32_MAX)
        return INT32_MAX;
    if (t < INT32_MIN)
        return INT32_MIN;
    return static_cast<int>(t);
}
// floor into int64 with the same guards.
inline std::int64_t floor_to_int64(double v) {
    return truncate_to_int64(std::floor(v));
}

} // namespace zoetra
