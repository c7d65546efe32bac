#include "components/effects/rotate.hpp"

#include "components/effects/matrix_effect.hpp"
#include "engine/numeric.hpp"

#include <algorithm>
#include <cmath>

namespace zoetra::effects {
namespace {
constexpr double degrees_to_radians = 0.017453292519943295;
} // namespace

rotate::rotate()
    : component(kind_process, "ROTATE", 1.0),
      size_in_(add_size("SIZE.IN", size_one, size_minimum, plane_maximum)),
      size_out_(add_size("SIZE.OUT", size_one, size_minimum, plane_maximum)),
      value_(add_number("VALUE", false, 0, 0, 65535, 1)),
      type_(add_menu("TYPE", false, element_types, select_uint16)),
      background_(add_number("VALUE.BG", false, 1, 0, 255, 1)),
      angle_setting_(add_number("ROTATE_ANGLE", true, 0, 0, 360, 5)),
      control_size_(add_size("SIZE.CONTROL", size_one, size_one, size_one)),
      control_value_(add_number("VALUE.CONTROL", false, 0, 0, 255, 1)),
      control_type_(add_menu("TYPE.CONTROL", false, {"UINT8"})),
      control_(add_port(port::direction::in, control_value_, control_size_, control_type_,
                        "CONTROL.rotate")) {
    for (int i = 1; i <= channel_count; ++i)
        inputs_[i - 1] =
            &add_port(port::direction::in, value_, size_in_, type_, numbered("IN.", i));
    for (int i = 1; i <= channel_count; ++i)
        outputs_[i - 1] =
            &add_port(port::direction::out, value_, size_out_, type_, numbered("OUT.", i));
}

outcome rotate::preprepare() {
    value_range_follows_type(value_, type_);
    return component::preprepare();
}

double rotate::angle() const {
    if (!control_.connected())
        return angle_setting_.value(0);
    // The minimum of the control range is not subtracted. A maximum of 0
    // gives no scale at all, and the picture is then left unturned.
    const double top = control_value_.maximum(0);
    if (top == 0)
        return 0;
    return control_value(control_) / top * 360;
}

template <class T> void rotate::turn(const std::vector<channel*>& channels, T background) const {
    const cfg_FP64& size_in = size_in_;
    const cfg_FP64& size_out = size_out_;
    const int wi = truncate_to_int(size_in.value(0));
    const int hi = truncate_to_int(size_in.value(1));
    const int wo = truncate_to_int(size_out.value(0));
    const int ho = truncate_to_int(size_out.value(1));

    // Every output starts as background. The loop covers "SIZE.OUT" and the
    // sampling "SIZE.IN", each cut to the matrices in hand, so no index ever
    // leaves a matrix.
    int columns = wo, rows = ho;
    std::int64_t source_columns = wi, source_rows = hi;
    for (const channel* c : channels) {
        for (std::size_t i = 0; i < c->out->element_count(); ++i)
            store<T>(c->out->data(), i, background);
        columns = std::min<int>(columns, c->out->size(0));
        rows = std::min<int>(rows, c->out->size(1));
        source_columns = std::min<std::int64_t>(source_columns, c->in->size(0));
        source_rows = std::min<std::int64_t>(source_rows, c->in->size(1));
    }

    const double a = -angle() * degrees_to_radians;
    const double C = std::cos(a);
    const double S = std::sin(a);
    // Picture centres; exact halves, so that a quarter turn of an odd-sized
    // square maps it onto itself.
    const double half_wi = wi / 2.0, half_hi = hi / 2.0;
    const double half_wo = wo / 2.0, half_ho = ho / 2.0;
    for (int y = 0; y < rows; ++y) {
        // (X, Y): the output pixel's centre relative to the picture centre, Y up.
        const double Y = half_ho - y - 0.5;
        const double YS = Y * S;
        const double YC = Y * C;
        for (int x = 0; x < columns; ++x) {
            const double X = x - half_wo + 0.5;
            const std::int64_t sx = floor_to_int64(X * C - YS + half_wi);
            const std::int64_t sy = floor_to_int64(half_hi - (YC + X * S));
            if (sx < 0 || sx >= source_columns || sy < 0 || sy >= source_rows)
                continue;
            for (const channel* c : channels) {
                const std::size_t from = std::size_t(sy) * c->in->size(0) + std::size_t(sx);
                const std::size_t to = std::size_t(y) * c->out->size(0) + std::size_t(x);
                store<T>(c->out->data(), to, load<T>(c->in->data(), from));
            }
        }
    }
}

outcome rotate::fire() {
    std::vector<channel> channels;
    for (int i = 0; i < channel_count; ++i) {
        port& in = *inputs_[i];
        port& out = *outputs_[i];
        if (in.connected() && out.connected())
            channels.push_back({&in.get_matrix(), out.make_matrix(false), &out});
    }
    const double background = background_.value(0);
    // The element width comes from the type of "OUT.1" (all eight image ports share "TYPE").
    const std::string& type = outputs_[0]->type_name();
    const int width = type == uint8_type ? 1 : type == uint16_type ? 2 : 0;
    // A channel whose matrices are not of that width (which the shared
    // "TYPE" rules out) sends zeros rather than unwritten memory.
    std::vector<channel*> turning;
    for (channel& c : channels) {
        if (!c.out)
            continue;
        if (width != 0 && c.out->element_size() == width && c.in->element_size() == width)
            turning.push_back(&c);
        else
            std::memset(c.out->data(), 0, c.out->byte_size());
    }
    if (width == 1)
        turn<std::uint8_t>(turning, truncate_to_u8(background));
    else if (width == 2)
        turn<std::uint16_t>(turning, truncate_to_u16(background));

    outcome held = outcome::success();
    for (channel& c : channels)
        if (c.out)
            held = c.out_port->hold(c.out);
    return finish_fire(held);
}

} // namespace zoetra::effects
