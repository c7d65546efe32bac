#include "components/effects/crystalize.hpp"

#include "components/effects/matrix_effect.hpp"
#include "engine/numeric.hpp"

#include <algorithm>

namespace zoetra::effects {
namespace {
constexpr double plane_size[3] = {4, 4, 1};
} // namespace

crystalize::crystalize()
    : component(kind_input, "CRYSTALIZE", 1.0), value_(add_number("VALUE", false, 0, 0, 65535, 1)),
      size_(add_size("SIZE", plane_size, size_minimum, plane_maximum)),
      type_(add_menu("TYPE", false, element_types, select_uint16)),
      crystal_size_(add_number("CRYSTAL SIZE", true, 4, 1, 32, 1)),
      control_size_(add_size("SIZE.CONTROL", size_one, size_one, size_one)),
      control_value_(add_number("VALUE.CONTROL", false, 0, 0, 255, 1)),
      control_type_(add_menu("TYPE.CONTROL", false, {"UINT8"})),
      scale_(add_number("SCALE", false, 1, 0, basic::scale_maximum, 0)) {
    for (int i = 1; i <= channel_count; ++i)
        outputs_[i - 1] =
            &add_port(port::direction::out, value_, size_, type_, numbered("OUT.", i));
    for (int i = 1; i <= channel_count; ++i)
        inputs_[i - 1] = &add_port(port::direction::in, value_, size_, type_, numbered("IN.", i));
    control_ =
        &add_port(port::direction::in, control_value_, control_size_, control_type_, "CONTROL.CS");
}

outcome crystalize::preprepare() {
    value_range_follows_type(value_, type_);
    return component::preprepare();
}

std::uint8_t crystalize::block_size() const {
    // At the largest scale the largest setting, 32, still fits in 8 bits.
    const double crystal = crystal_size_.value(0) * basic::scale_of(scale_);
    double s = crystal;
    const double top = control_value_.maximum(0);
    // A control maximum of 0 gives no scale: the setting alone decides.
    if (control_->connected() && top != 0)
        s = crystal * (control_value(*control_) / top) + 1;
    // Kept in 8 bits; a block edge of 0 would never advance.
    const std::uint8_t edge = truncate_to_u8(s);
    return edge == 0 ? 1 : edge;
}

template <class T>
void crystalize::mosaic(const std::uint8_t* in, std::size_t in_stride, std::uint8_t* out,
                        std::size_t out_stride, int width, int height, int s) {
    for (int y = 0; y < height; y += s) {
        const int bh = y + s - 1 >= height ? height - y : s;
        for (int x = 0; x < width; x += s) {
            const int bw = x + s - 1 >= width ? width - x : s;
            std::uint64_t sum = 0;
            for (int j = 0; j < bh; ++j)
                for (int i = 0; i < bw; ++i)
                    sum += load<T>(in, (y + j) * in_stride + (x + i));
            const T mean = static_cast<T>(sum / std::uint64_t(bw * bh));
            for (int j = 0; j < bh; ++j)
                for (int i = 0; i < bw; ++i)
                    store<T>(out, (y + j) * out_stride + (x + i), mean);
        }
    }
}

outcome crystalize::fire() {
    const int s = block_size();
    outcome held = outcome::success();
    for (int i = 0; i < channel_count; ++i) {
        port& in_port = *inputs_[i];
        if (!in_port.connected())
            continue;
        const matrix& in = in_port.get_matrix();
        port& out_port = *outputs_[i];
        matrix_ptr out = out_port.make_matrix(false);
        if (!out)
            continue;
        // Only the first plane is a mosaic; anything the plane does not
        // cover is 0 rather than unwritten memory.
        std::memset(out->data(), 0, out->byte_size());
        const int width = std::min({int(in_port.size(0)), int(in.size(0)), int(out->size(0))});
        const int height = std::min({int(in_port.size(1)), int(in.size(1)), int(out->size(1))});
        const bool planes = in.element_count() > 0 && out->element_count() > 0;
        if (planes && in.element_size() == 1 && out->element_size() == 1)
            mosaic<std::uint8_t>(in.data(), in.size(0), out->data(), out->size(0), width, height,
                                 s);
        else if (planes && in.element_size() == 2 && out->element_size() == 2)
            mosaic<std::uint16_t>(in.data(), in.size(0), out->data(), out->size(0), width, height,
                                  s);
        if (held)
            held = out_port.hold(out);
    }
    return finish_fire(held);
}

} // namespace zoetra::effects
