#pragma once
// What the matrix-computing effects ("WAVE", "rotate", "RGB_HSV",
// "Crystalize") share: the element-type menu, the usual size limits, the
// value range that follows the element type, and element access at either
// width.
#include "engine/component.hpp"
#include "engine/matrix.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zoetra::effects {

inline const std::vector<std::string> element_types = {"UINT8", "UINT16"};
inline constexpr int select_uint8 = 0;
inline constexpr int select_uint16 = 1;

inline constexpr double size_one[3] = {1, 1, 1};
inline constexpr double size_minimum[3] = {1, 1, 1};
inline constexpr double plane_maximum[3] = {2048, 2048, 1};

// "VALUE" spans the element type: 0 to 255 for "UINT8", 0 to 65535 for
// "UINT16" (maximum first, then minimum); any other type leaves it alone.
inline void value_range_follows_type(component& c) {
    const std::string& type = c.menu("TYPE").selected_name();
    cfg_FP64& range = c.number("VALUE");
    if (type == uint8_type) {
        range.set_maximum(0, 255);
        range.set_minimum(0, 0);
    } else if (type == uint16_type) {
        range.set_maximum(0, 65535);
        range.set_minimum(0, 0);
    }
}

// A port name built from a channel number: numbered("IN.", 2) is "IN.2".
inline std::string numbered(const char* prefix, int k) {
    return prefix + std::to_string(k);
}

// Element i of a plane of T (std::uint8_t or std::uint16_t), in layout order.
template <class T> T load(const std::uint8_t* data, std::size_t i) {
    T v;
    std::memcpy(&v, data + i * sizeof(T), sizeof(T));
    return v;
}
template <class T> void store(std::uint8_t* data, std::size_t i, T v) {
    std::memcpy(data + i * sizeof(T), &v, sizeof(T));
}

// Element i read at the matrix's width.
inline unsigned element_value(const matrix& m, std::size_t i) {
    return m.element_size() == 2 ? load<std::uint16_t>(m.data(), i) : m.data()[i];
}
// Element i written at the matrix's width (the low 8 or 16 bits of v).
inline void set_element_value(matrix& m, std::size_t i, unsigned v) {
    if (m.element_size() == 2)
        store<std::uint16_t>(m.data(), i, static_cast<std::uint16_t>(v & 0xFFFFu));
    else
        m.data()[i] = static_cast<std::uint8_t>(v & 0xFFu);
}

// The control value of a connected control port: element (0, 0, 0) as an
// unsigned 8-bit value (0 when the matrix has no elements).
inline std::uint8_t control_value(port& control) {
    const matrix& m = control.get_matrix();
    return m.element_count() > 0 ? m.data()[0] : 0;
}

} // namespace zoetra::effects
