#pragma once
// Shapes shared by the basic components.
#include "base/geometry.hpp"
#include "engine/component.hpp"
#include "engine/matrix.hpp"
#include "engine/port.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zoetra::basic {

inline const std::vector<std::string> element_types = {"UINT8", "UINT16"};
inline constexpr int select_uint8 = 0;
inline constexpr int select_uint16 = 1;

// The usual shape limits: (1, 1, 1) to (2048, 2048, 1).
inline constexpr double size_minimum[3] = {1, 1, 1};
inline constexpr double size_maximum[3] = {2048, 2048, 1};
inline constexpr double size_one[3] = {1, 1, 1};

// A value range that follows an element type ("VALUE" and "TYPE"): 0 to
// 65535 for "UINT16", 0 to 255 for "UINT8" (maximum first, then minimum);
// any other type leaves it alone.
void value_range_follows_type(cfg_FP64& value, const cfg_menu& type);

// Sizes in pixels in an effect file are pixels of the bundled effects' own
// 350 x 250 frame, with the picture as that frame shows it. Two scales carry
// them to the frame of a run; both are exactly 1 at the own frame, where
// nothing changes. "GIFIN" publishes them as its settings "SCALE" and
// "SCALE.PICTURE"; a component with settings in pixels takes one of them
// through a hidden "SCALE" setting of its own, bound to it in the effect
// file, and multiplies those settings by it where it uses them.
//
// The picture's scale: how many times larger the picture's planes are in
// this run than the same picture's at the own frame, where a larger picture
// is fitted inside 350 x 250 and a smaller one kept as it is. Sizes in
// elements of the planes (crystal blocks) grow by it and cover as much of
// the picture as they do at the own frame.
//
// The mark scale: the frame's scale over the picture's where the picture
// grew, the frame's scale where it did not. A point renderer lays one mark
// per element of the planes, spread over the frame, so that in a larger
// frame the marks lie that many times farther apart than at the own frame;
// marks that grow by it cover as much of the frame, and the tone stays. A
// large picture fitted to a larger frame keeps marks of about their own
// size, a small one gets marks as much larger as the frame is. In a smaller
// frame, where a large picture is reduced below its size at 350 x 250, the
// marks shrink with the frame, as they do for the same picture reduced
// beforehand: marks of their own size would bury a picture of so few
// elements.
inline constexpr int scale_one_width = 350;
inline constexpr int scale_one_height = 250;
// Above the scale of the largest frame, 1920 x 1080 (4.32).
inline constexpr double scale_maximum = 5;
// The frame's scale, min(width / 350, height / 250): how many times the
// whole of a 350 x 250 picture fitted to the frame grows. 1 for a frame
// without area.
double frame_scale(int width, int height);
// The picture's scale of a picture of its own size fitted inside the box
// (enlarged to it or not) as its planes are: the factor of that fit over the
// factor of the fit inside 350 x 250 without enlarging (see fit_scale), at
// most scale_maximum. 1 for a picture or box without area.
double picture_scale(gif_size own, gif_size box, bool enlarge);
// The mark scale, frame / max(picture, 1) kept to 0..scale_maximum.
double mark_scale(double frame, double picture);
// A "SCALE" setting's value kept to 0..scale_maximum, where a file may have
// moved its limits.
double scale_of(const cfg_FP64& scale);

// A port or config name built from a number: numbered("IN.", 3) is "IN.3".
inline std::string numbered(const char* prefix, int k) {
    return prefix + std::to_string(k);
}

// Element i, counted in layout order, read at the matrix's width.
inline unsigned element_value(const matrix& m, std::size_t i) {
    if (m.element_size() == 2) {
        std::uint16_t v;
        std::memcpy(&v, m.data() + 2 * i, 2);
        return v;
    }
    return m.data()[i];
}

// Stores v in element i, kept in the matrix's width (the low 8 or 16 bits).
inline void set_element_value(matrix& m, std::size_t i, unsigned v) {
    if (m.element_size() == 2) {
        const auto narrow = static_cast<std::uint16_t>(v & 0xFFFFu);
        std::memcpy(m.data() + 2 * i, &narrow, 2);
    } else {
        m.data()[i] = static_cast<std::uint8_t>(v & 0xFFu);
    }
}

// Element (0, 0, 0) of a control matrix, 0 when the matrix has no elements
// (an effect file may lower a size's minimum to 0).
inline unsigned first_element(const matrix& m) {
    return m.element_count() > 0 ? element_value(m, 0) : 0;
}

// Sets element (0, 0, 0), kept in the matrix's width, when there is one.
inline void set_first_element(matrix& m, unsigned v) {
    if (m.element_count() > 0)
        set_element_value(m, 0, v);
}

// How many elements an element-wise pass over these matrices may touch:
// ports of one shape make matrices of one size, but a pass never trusts that.
inline std::size_t common_count(const matrix& a, const matrix& b) {
    return a.element_count() < b.element_count() ? a.element_count() : b.element_count();
}

// Elements from index first on become 0: the part of an output that no
// input covered (never, while the shapes agree) is not left unwritten.
inline void clear_from(matrix& m, std::size_t first) {
    const std::size_t begin = first * std::size_t(m.element_size());
    if (begin < m.byte_size())
        std::memset(m.data() + begin, 0, m.byte_size() - begin);
}

// Holds a matrix the component made in its output port; a port of an unknown
// element type makes none, and then there is nothing to hold.
inline outcome hold_made(port& out, matrix_ptr& m) {
    return m ? out.hold(m) : outcome::success();
}

} // namespace zoetra::basic
