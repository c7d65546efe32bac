#include "components/effects/wave.hpp"

#include "components/effects/matrix_effect.hpp"
#include "engine/context.hpp"
#include "engine/numeric.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace zoetra::effects {
namespace {

constexpr double degrees_to_radians = 0.017453292519943295;
constexpr double two_pi = 6.283185307179586;
constexpr double quarter_turn = 1.5707963267948966;
constexpr std::uint8_t linear_mode = 0;
constexpr std::uint8_t radial_mode = 1;

} // namespace

namespace {
constexpr double wave_size_maximum[3] = {1024, 1024, 1024};

cfg_FP64& titled(cfg_FP64& setting, const char* title) {
    setting.desc().title = title;
    return setting;
}
cfg_menu& titled(cfg_menu& setting, const char* title) {
    setting.desc().title = title;
    return setting;
}
} // namespace

wave::wave()
    : component(kind_input, "WAVE", 1.0), value_(add_number("VALUE", false, 0, 0, 65535, 1)),
      size_(add_size("SIZE", size_one, size_minimum, wave_size_maximum)),
      type_(add_menu("TYPE", false, element_types, select_uint8)),
      control_value_(add_number("VALUE.control", false, 0, 0, 255, 1)),
      control_size_(add_size("SIZE.control", size_one, size_one, size_one)),
      control_type_(add_menu("TYPE.control", false, {"UINT8"})),
      frequency_setting_(add_number("FREQUENCY", true, 1, 1, 3, 1)),
      amplitude_setting_(add_number("AMPLITUDE", true, 0.5, 0, 1, 0.1)),
      angle_setting_(titled(add_config<cfg_FP64>("ANGLE", true, version(),
                                                 std::vector<cfg_FP64::number>{{0, 0.1, 360, 0.1}},
                                                 /*dial=*/true),
                            "MOTION ANGLE")),
      mode_setting_(titled(add_menu("MODE", true, {"LINEAR", "RADIAL"}), "WAVE")),
      wave_type_(add_menu("TYPE.WAVE", false, {"SINE", "SAW", "SQUARE", "TRIANGLE"})),
      out_(add_port(port::direction::out, value_, size_, type_, "OUT")),
      control_(add_port(port::direction::in, control_value_, control_size_, control_type_,
                        "CONTROL.WAVE")) {}

double& wave::phase() {
    return program() != nullptr ? program()->wave_phase() : own_phase_;
}

outcome wave::preprepare() {
    const bool wide = type_.selected_name() == uint16_type;
    value_.set_minimum(0, 0);
    value_.set_maximum(0, wide ? 65535 : 255);
    return component::preprepare();
}

outcome wave::prepare() {
    frequency_ = frequency_setting_.value(0);
    amplitude_ = amplitude_setting_.value(0);
    angle_ = angle_setting_.value(0) * degrees_to_radians;
    cos_angle_ = std::cos(angle_);
    sin_angle_ = std::sin(angle_);
    mode_ = static_cast<std::uint8_t>(mode_setting_.selected());
    sixteen_bit_ = type_.selected_name() == uint16_type;
    floor_ = out_.value_minimum();
    span_ = (out_.value_maximum() - out_.value_minimum()) * amplitude_;
    columns_ = out_.size(0);
    rows_ = out_.size(1);
    width_ = columns_;
    height_ = rows_;
    control_floor_ = truncate_to_u8(control_.value_minimum());
    control_top_ = truncate_to_u8(control_.value_maximum());
    control_span_ = static_cast<std::uint8_t>(control_top_ - control_floor_);
    return component::prepare();
}

// A control range whose ends truncate to the same 8-bit value has no span:
// the wave then stands at phase 0 rather than dividing by zero.
double wave::phase_from_control(std::uint8_t c) const {
    if (control_span_ == 0)
        return 0;
    return (double(c) - control_floor_) / control_span_;
}

// Values are estimated first and taken exactly only near a whole number.
// With |floor| + |span| <= 1e5 an estimated sine within 1.3e-12 of std::sin
// puts the value within 0.5 x 1e5 x 1.3e-12 plus a few roundings (5e-11) of
// the exact one, well inside `margin`: a value farther than that from a whole
// number truncates as the exact one would.
//
// A linear wave's theta, (cos a x fx - sin a x fy + phase) f 2 pi, is up to
// its roundings (5 x 2^-53 x m, m the sum of the magnitudes, times f 2 pi)
// the sum of a column's part cos a x fx x f 2 pi and a row's part (phase - sin
// a x fy) f 2 pi, each rounded as much again; sin(column + row) from the two
// parts' estimated sines and cosines is then within 1.2e-15 x m + 5e-15 of
// std::sin(theta), which is below 1.3e-12 while m <= 1000. Other waves
// estimate the sine of each theta (within 1.2e-15).
template <class T> void wave::render(matrix& out, double phase_now) {
    // The loop bounds come from prepare; the matrix in hand limits them too.
    const std::uint16_t columns = std::min(columns_, out.size(0));
    const std::uint16_t rows = std::min(rows_, out.size(1));
    const std::size_t stride = out.size(0);
    const double ring_direction = angle_ < quarter_turn ? -1.0 : 1.0;
    std::uint8_t* data = out.data();
    // A linear wave whose motion has no vertical part (sin of the angle is
    // exactly 0) gives every row the same values: the first row is copied.
    const bool rows_alike = mode_ == linear_mode && sin_angle_ == 0;
    constexpr double margin = 1e-6;
    const bool estimate =
        std::isfinite(floor_) && std::isfinite(span_) && std::abs(floor_) + std::abs(span_) <= 1e5;
    const bool separable = estimate && mode_ == linear_mode &&
                           (std::abs(cos_angle_) + std::abs(sin_angle_) + std::abs(phase_now)) *
                                   std::abs(frequency_) * two_pi <=
                               1000;
    // Per column: x / width, 2 (x / width - 0.5), and for a separable wave
    // the sine and cosine of the column's part.
    column_terms_.resize(4 * std::size_t(columns));
    double* const fxs = column_terms_.data();
    double* const dxs = fxs + columns;
    double* const column_sines = dxs + columns;
    double* const column_cosines = column_sines + columns;
    for (std::uint16_t x = 0; x < columns; ++x) {
        const double fx = x / width_;
        fxs[x] = fx;
        dxs[x] = 2 * (fx - 0.5);
        if (separable) {
            const sine_and_cosine part =
                sine_cosine_estimate(cos_angle_ * fx * frequency_ * two_pi);
            column_sines[x] = part.sine;
            column_cosines[x] = part.cosine;
        }
    }
    estimates_.resize(columns);
    double* const near = estimates_.data();

    for (std::uint16_t y = 0; y < rows; ++y) {
        if (rows_alike && y > 0) {
            std::memcpy(data + y * stride * sizeof(T), data, columns * sizeof(T));
            continue;
        }
        const double fy = y / height_;
        const double dy = 2 * (fy - 0.5);
        auto theta_at = [&](std::uint16_t x) {
            const double fx = fxs[x];
            const double dx = dxs[x];
            const double linear = mode_ == linear_mode ? cos_angle_ * fx - sin_angle_ * fy : 0;
            const double radial =
                mode_ == radial_mode ? ring_direction * std::sqrt(dx * dx + dy * dy) : 0;
            return (linear + radial + phase_now) * frequency_ * two_pi;
        };
        if (separable) {
            const sine_and_cosine row =
                sine_cosine_estimate((phase_now - sin_angle_ * fy) * frequency_ * two_pi);
            for (std::uint16_t x = 0; x < columns; ++x)
                near[x] = floor_ +
                          span_ *
                              (1 - (column_sines[x] * row.cosine + column_cosines[x] * row.sine)) *
                              0.5;
        } else {
            for (std::uint16_t x = 0; x < columns; ++x) {
                const double theta = theta_at(x);
                near[x] = estimate && std::abs(theta) <= sine_estimate_range
                              ? floor_ + span_ * (1 - sine_estimate(theta)) * 0.5
                              : -1.0;
            }
        }
        for (std::uint16_t x = 0; x < columns; ++x) {
            const double value = near[x];
            std::int64_t whole = -1;
            if (value >= 0 && value < 2147483648.0) {
                const auto truncated = static_cast<std::int64_t>(value);
                const double fraction = value - double(truncated);
                if (fraction >= margin && fraction <= 1 - margin)
                    whole = truncated;
            }
            if (whole < 0)
                whole = truncate_to_int64(floor_ + span_ * (1 - std::sin(theta_at(x))) * 0.5);
            store<T>(data, y * stride + x, static_cast<T>(static_cast<std::uint64_t>(whole)));
        }
    }
}

outcome wave::fire() {
    matrix_ptr out = out_.make_matrix(false);
    double& shared = phase();
    shared += 0.1;
    if (control_.connected())
        shared = phase_from_control(control_value(control_));
    if (out) {
        // Only the first plane carries the wave; deeper planes are cleared.
        std::memset(out->data(), 0, out->byte_size());
        const bool wide = sixteen_bit_ && out->element_size() == 2;
        if (wide)
            render<std::uint16_t>(*out, shared);
        else if (out->element_size() == 1)
            render<std::uint8_t>(*out, shared);
    }
    return finish_fire(out ? out_.hold(out) : outcome::success());
}

} // namespace zoetra::effects
