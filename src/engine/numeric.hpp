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

// The largest |x| that sine_estimate takes.
inline constexpr double sine_estimate_range = 1e5;

// Estimates of std::sin(x) and std::cos(x) for |x| <= sine_estimate_range,
// each within 1e-15 of the exact one (a test checks the bound on a dense sweep
// and near multiples of pi / 2). Not exact: callers use them only where an
// error this small provably cannot change what they store, and compute
// std::sin otherwise. The argument is reduced by the nearest multiple k of
// pi / 2, held in three parts whose first two times k are exact; then Taylor
// polynomials of sin and cos, whose remainders on |r| <= pi / 4 are below
// 1e-16.
struct sine_and_cosine {
    double sine;
    double cosine;
};
inline sine_and_cosine sine_cosine_estimate(double x) {
    constexpr double two_over_pi = 0.6366197723675814;
    constexpr double half_pi_1 = 1.5707963267341256;     // 33 bits
    constexpr double half_pi_2 = 6.077100506303966e-11;  // the next 33 bits
    constexpr double half_pi_3 = 2.0222662487959506e-21; // the rest
    constexpr double round_shift = 6755399441055744.0;   // 1.5 x 2^52
    const double k = (x * two_over_pi + round_shift) - round_shift;
    const double r = ((x - k * half_pi_1) - k * half_pi_2) - k * half_pi_3;
    const double z = r * r;
    const double sine =
        r +
        r * z *
            (-1.0 / 6 +
             z * (1.0 / 120 +
                  z * (-1.0 / 5040 + z * (1.0 / 362880 + z * (-1.0 / 39916800 +
                                                              z * (1.0 / 6227020800 +
                                                                   z * (-1.0 / 1307674368000)))))));
    const double cosine =
        1 + z * (-0.5 +
                 z * (1.0 / 24 +
                      z * (-1.0 / 720 +
                           z * (1.0 / 40320 +
                                z * (-1.0 / 3628800 +
                                     z * (1.0 / 479001600 + z * (-1.0 / 87178291200 +
                                                                 z * (1.0 / 20922789888000))))))));
    // sin(r + q pi / 2) and cos(r + q pi / 2) for the quarter q = k mod 4.
    const int quarter = int(static_cast<std::int64_t>(k) & 3);
    switch (quarter) {
    case 0:
        return {sine, cosine};
    case 1:
        return {cosine, -sine};
    case 2:
        return {-sine, -cosine};
    default:
        return {-cosine, sine};
    }
}
inline double sine_estimate(double x) {
    return sine_cosine_estimate(x).sine;
}

} // namespace zoetra
