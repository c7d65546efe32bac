#pragma once
// What the matrix-computing effects ("WAVE", "rotate", "RGB_HSV",
// "Crystalize") share with the basic components (the element-type menu, the
// usual size limits, the value range that follows the element type, element
// access at either width), and typed element access of their own.
#include "components/basic/common.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zoetra::effects {

using basic::element_types;
using basic::element_value;
using basic::numbered;
using basic::select_uint16;
using basic::select_uint8;
using basic::set_element_value;
using basic::size_minimum;
using basic::size_one;
using basic::value_range_follows_type;
inline constexpr const double (&plane_maximum)[3] = basic::size_maximum;

// Element i of a plane of T (std::uint8_t or std::uint16_t), in layout order.
template <class T> T load(const std::uint8_t* data, std::size_t i) {
    T v;
    std::memcpy(&v, data + i * sizeof(T), sizeof(T));
    return v;
}
template <class T> void store(std::uint8_t* data, std::size_t i, T v) {
    std::memcpy(data + i * sizeof(T), &v, sizeof(T));
}

// The control value of a connected control port: element (0, 0, 0) as an
// unsigned 8-bit value (0 when the matrix has no elements).
inline std::uint8_t control_value(port& control) {
    const matrix& m = control.get_matrix();
    return m.element_count() > 0 ? m.data()[0] : 0;
}

} // namespace zoetra::effects
