#include "components/effects/rgb_hsv.hpp"

#include "components/effects/matrix_effect.hpp"
#include "engine/numeric.hpp"

#include <algorithm>
#include <cmath>

namespace zoetra::effects {
namespace {

constexpr double byte_to_unit = 0.00392156862745098;        // 1 / 255
constexpr double degrees_per_hue_byte = 1.4117647058823528; // 360 / 255
constexpr double hue_bytes_per_degree = 0.7083333333333334; // 255 / 360
constexpr double sixtieth = 0.016666666666666666;
// The hue given to greys, which have none.
constexpr double grey_hue = 160;

// Planes are converted as bytes: a 16-bit element above 255 counts as 255.
std::uint8_t byte_at(const matrix& m, std::size_t i) {
    return static_cast<std::uint8_t>(std::min(element_value(m, i), 255u));
}

std::uint8_t rounded_byte(double unit) {
    return truncate_to_u8(std::floor(unit * 255 + 0.5));
}

} // namespace

rgb_hsv::rgb_hsv()
    : component(kind_input, "RGB_HSV", 1.0), value_(add_number("VALUE", false, 1, 0, 255, 1)),
      size_(add_size("SIZE", size_one, size_minimum, plane_maximum)),
      type_(add_menu("TYPE", false, element_types, select_uint16)),
      mode_(add_menu("MODE", false, {"RGB->HSV", "HSV->RGB"}, 0, /*switch_mode=*/true)) {
    for (int i = 1; i <= 3; ++i)
        outputs_[i - 1] =
            &add_port(port::direction::out, value_, size_, type_, numbered("OUT.", i));
    for (int i = 1; i <= 3; ++i)
        inputs_[i - 1] = &add_port(port::direction::in, value_, size_, type_, numbered("IN.", i));
}

rgb_hsv::triple rgb_hsv::rgb_to_hsv(std::uint8_t r8, std::uint8_t g8, std::uint8_t b8) {
    const double R = r8 * byte_to_unit, G = g8 * byte_to_unit, B = b8 * byte_to_unit;
    const double max = std::max({R, G, B});
    const double min = std::min({R, G, B});
    const double delta = max - min;
    const double V = max;
    const double S = max == 0 ? 0 : delta / max;
    double H = grey_hue;
    // S is 0 exactly when delta is, so the divisions below never see 0.
    if (S != 0) {
        const double rc = (max - R) / delta, gc = (max - G) / delta, bc = (max - B) / delta;
        if (R == max)
            H = bc - gc;
        else if (G == max)
            H = 2 + rc - bc;
        else
            H = 4 + gc - rc;
        H *= 60;
        if (H < 0)
            H += 360;
    }
    return {truncate_to_u8(H * hue_bytes_per_degree), truncate_to_u8(S * 255),
            truncate_to_u8(V * 255)};
}

rgb_hsv::triple rgb_hsv::hsv_to_rgb(std::uint8_t h8, std::uint8_t s8, std::uint8_t v8) {
    double H = h8 * degrees_per_hue_byte;
    const double S = s8 * byte_to_unit, V = v8 * byte_to_unit;
    double R = V, G = V, B = V;
    if (S != 0) {
        if (H == 360)
            H = 0;
        const std::int64_t i = floor_to_int64(H * sixtieth);
        const double f = H / 60 - double(i);
        const double p = V * (1 - S);
        const double q = V * (1 - S * f);
        const double t = V * (1 - S * (1 - f));
        switch (i) {
        case 1:
            R = q, G = V, B = p;
            break;
        case 2:
            R = p, G = V, B = t;
            break;
        case 3:
            R = p, G = q, B = V;
            break;
        case 4:
            R = t, G = p, B = V;
            break;
        case 5:
            R = V, G = p, B = q;
            break;
        default: // 0, and anything the rounding of H might produce
            R = V, G = t, B = p;
            break;
        }
    }
    return {rounded_byte(R), rounded_byte(G), rounded_byte(B)};
}

outcome rgb_hsv::fire() {
    const matrix* in[3];
    matrix_ptr out[3];
    for (int i = 0; i < 3; ++i) {
        in[i] = &inputs_[i]->get_matrix();
        out[i] = outputs_[i]->make_matrix(false);
    }
    const bool forward = mode_.selected_name() == "RGB->HSV";
    if (out[0] && out[1] && out[2]) {
        std::size_t count = out[0]->element_count();
        for (int i = 0; i < 3; ++i)
            count = std::min<std::size_t>({count, in[i]->element_count(), out[i]->element_count()});
        // Layout order is z, then y, then x: one walk over the elements.
        for (std::size_t e = 0; e < count; ++e) {
            const std::uint8_t a = byte_at(*in[0], e), b = byte_at(*in[1], e),
                               c = byte_at(*in[2], e);
            const triple t = forward ? rgb_to_hsv(a, b, c) : hsv_to_rgb(a, b, c);
            // At 16 bits the upper byte of every result is 0.
            set_element_value(*out[0], e, t.a);
            set_element_value(*out[1], e, t.b);
            set_element_value(*out[2], e, t.c);
        }
        for (int i = 0; i < 3; ++i) {
            const std::size_t written = count * out[i]->element_size();
            std::memset(out[i]->data() + written, 0, out[i]->byte_size() - written);
        }
    }
    // Every output is held; the last refusal, if any, is the fire's.
    outcome held = outcome::success();
    for (int i = 0; i < 3; ++i)
        if (out[i])
            if (outcome h = outputs_[i]->hold(out[i]); !h)
                held = h;
    return finish_fire(held);
}

} // namespace zoetra::effects
