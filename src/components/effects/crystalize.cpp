#include "components/effects/crystalize.hpp"

#include "components/effects/matrix_effect.hpp"
#include "engine/numeric.hpp"

#include <algorithm>

namespace zoetra::effects {
namespace {
constexpr int channel_count = 4;
} // namespace

crystalize::crystalize() : component(kind_input, "CRYSTALIZE", 1.0) {
    static constexpr double plane_size[3] = {4, 4, 1};
    add_number("VALUE", false, 0, 0, 65535, 1);
    add_size("SIZE", plane_size, size_minimum, plane_maximum);
    add_menu("TYPE", false, element_types, select_uint16);
    add_number("CRYSTAL SIZE", true, 4, 1, 32, 1);
    add_size("SIZE.CONTROL", size_one, size_one, size_one);
    add_number("VALUE.CONTROL", false, 0, 0, 255, 1);
    add_menu("TYPE.CONTROL", false, {"UINT8"});
    for (int i = 1; i <= channel_count; ++i)
        add_port(port::direction::out, "VALUE", "SIZE", "TYPE", numbered("OUT.", i));
    for (int i = 1; i <= channel_count; ++i)
        add_port(port::direction::in, "VALUE", "SIZE", "TYPE", numbered("IN.", i));
    add_port(port::direction::in, "VALUE.CONTROL", "SIZE.CONTROL", "TYPE.CONTROL", "CONTROL.CS");
}

bool crystalize::preprepare(std::string& error) {
    value_range_follows_type(*this);
    return component::preprepare(error);
}

std::uint8_t crystalize::block_size() const {
    const double crystal = number("CRYSTAL SIZE").value(0);
    double s = crystal;
    port& control = find_port("CONTROL.CS");
    const double top = number("VALUE.CONTROL").maximum(0);
    // A control maximum of 0 gives no scale: the setting alone decides.
    if (control.connected() && top != 0)
        s = crystal * (control_value(control) / top) + 1;
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

bool crystalize::fire(std::string& error) {
    const int s = block_size();
    bool ok = true;
    for (int i = 1; i <= channel_count; ++i) {
        port& in_port = find_port(numbered("IN.", i));
        if (!in_port.connected())
            continue;
        const matrix& in = in_port.get_matrix();
        port& out_port = find_port(numbered("OUT.", i));
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
        if (ok)
            ok = out_port.hold(out, error);
    }
    return finish_fire(error, ok);
}

} // namespace zoetra::effects
