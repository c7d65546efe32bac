#include "components/effects/cube.hpp"

#include "engine/numeric.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace zoetra::effects {
namespace {

const std::vector<std::string> element_types = {"UINT8", "UINT16"};
constexpr double size_initial[3] = {1, 1, 1};
constexpr double size_minimum[3] = {1, 1, 1};
constexpr double size_maximum[3] = {2048, 2048, 1};
constexpr double control_maximum[3] = {1, 1, 1};

// Below this distance from the eye a corner counts as behind the camera.
constexpr double nearest_eye_distance = 1e-6;

} // namespace

// The extent of the projected cube along one of the three quantities.
struct cube_extent {
    double minimum = 100000;
    double maximum = -100000;
    void take(double v) {
        if (v < minimum)
            minimum = v;
        if (v > maximum)
            maximum = v;
    }
    double span() const { return maximum - minimum; }
    bool usable() const {
        return std::isfinite(minimum) && std::isfinite(maximum) && span() > 0 &&
               std::isfinite(span());
    }
    // floor((v - minimum) x 65535 / span), kept to 0..65535: rounding can put
    // a point on an edge of the cube a hair outside the corners' box.
    std::uint16_t scale(double v) const {
        const std::int64_t t = floor_to_int64((v - minimum) * 65535 / span());
        return static_cast<std::uint16_t>(std::clamp<std::int64_t>(t, 0, 65535));
    }
};

struct cube_bounds {
    cube_extent x, y, eye;
    bool eye_outside = true;
};

namespace {

// Corner i of the unit cube has u = bit 0, v = bit 1, w = bit 2.
cube_bounds cube_corners(const camera& cam) {
    cube_bounds box;
    for (int i = 0; i < 8; ++i) {
        const projection p = project(cam, i & 1, (i >> 1) & 1, (i >> 2) & 1);
        box.x.take(p.screen_x);
        box.y.take(p.screen_y);
        box.eye.take(p.eye);
        if (!(p.eye > nearest_eye_distance))
            box.eye_outside = false;
    }
    return box;
}

} // namespace

camera::camera(double theta, double phi, double rho_, double zd_)
    : rho(rho_), zd(zd_), cos_theta(std::cos(theta)), sin_theta(std::sin(theta)),
      cos_phi(std::cos(phi)), sin_phi(std::sin(phi)) {}

projection project(const camera& cam, double u, double v, double w) {
    const double U = u - 0.5;
    const double V = v - 0.5;
    const double T = 0.5 - w;
    const double A = U * cam.cos_theta + V * cam.sin_theta;
    const double B = U * cam.sin_theta - V * cam.cos_theta;
    const double D = cam.rho - A * cam.sin_phi - T * cam.cos_phi;
    const double E = A * cam.cos_phi + T * cam.sin_phi;
    return projection{-B * cam.zd / D, -E * cam.zd / D, D};
}

namespace {

cfg_FP64& described(cfg_FP64& setting, const char* title, const char* text = nullptr) {
    setting.desc().title = title;
    if (text != nullptr)
        setting.desc().text = text;
    return setting;
}

} // namespace

cube::cube()
    : component(kind_input, "CUBE", 1.0), value_(add_number("VALUE", false, 0, 0, 65535, 1)),
      size_(add_size("SIZE", size_initial, size_minimum, size_maximum)),
      type_(add_menu("TYPE", false, element_types, 1)),
      value_out_(add_number("VALUE.OUT", false, 0, 0, 65535, 1)),
      type_out_(add_menu("TYPE.OUT", false, {"UINT16"})),
      theta_(described(add_config<cfg_FP64>("CAM.THETA", false, version(),
                                            std::vector<cfg_FP64::number>{{270, 0, 360, 15}},
                                            /*dial=*/true),
                       "CAMERA LEFT-RIGHT")),
      phi_(described(add_number("CAM.PHI", true, 0, -180, 180, 5), "TILT",
                     "Controls the view of the effect in the Up-Down direction")),
      rho_(add_number("CAM.RHO", false, 175, 100, 200, 1)),
      zd_(add_number("CAM.ZD", false, 100, 50, 200, 10)),
      control_size_(add_size("SIZE.CONTROL", size_initial, control_maximum, control_maximum)),
      control_value_(add_number("VALUE.CONTROL", false, 0, 0, 255, 1)),
      control_type_(add_menu("TYPE.CONTROL", false, {"UINT8"})),
      phi_control_(add_port(port::direction::in, control_value_, control_size_, control_type_,
                            "CONTROL.cube.phi")),
      theta_control_(add_port(port::direction::in, control_value_, control_size_, control_type_,
                              "CONTROL.theta")),
      rho_control_(add_port(port::direction::in, control_value_, control_size_, control_type_,
                            "CONTROL.rho")),
      z_in_(add_port(port::direction::in, value_, size_, type_, "Z.IN")),
      x_out_(add_port(port::direction::out, value_out_, size_, type_out_, "X.OUT")),
      y_out_(add_port(port::direction::out, value_out_, size_, type_out_, "Y.OUT")),
      eye_out_(add_port(port::direction::out, value_out_, size_, type_out_, "EYE.OUT")) {}

double cube::degrees(port& control, const cfg_FP64& setting) const {
    if (!control.connected())
        return setting.value(0);
    // The minimum of the control range is not subtracted.
    const double c = control.get_matrix().data()[0];
    return c / control_value_.maximum(0) * 360;
}

// project() for every element, with the terms that depend on one quantity
// only (the column, the row, the height) worked out once each. Every sum and
// product is the one project() forms, in the same order, so the results are
// the same to the last bit.
void cube::project_grid(const camera& cam, const cube_bounds& box, const matrix& z_in,
                        std::int64_t height_scale, int out_width, int out_height, matrix& x_out,
                        matrix& y_out, matrix& eye_out) {
    const int width = z_in.size(0);
    const int height = z_in.size(1);
    // Per column: U cos(theta) and U sin(theta).
    column_terms_.resize(2 * std::size_t(std::max(out_width, 0)));
    for (int c = 0; c < out_width; ++c) {
        const double U = double(c) / width - 0.5;
        column_terms_[2 * std::size_t(c)] = U * cam.cos_theta;
        column_terms_[2 * std::size_t(c) + 1] = U * cam.sin_theta;
    }
    // Per height value: T cos(phi) and T sin(phi).
    const bool wide = z_in.element_size() == 2;
    const std::size_t heights = wide ? 65536 : 256;
    height_terms_.resize(2 * heights);
    for (std::size_t z = 0; z < heights; ++z) {
        // Heights stay in the cube: a height scale of 0 or less is a flat
        // plane, and a height above the scale is the top.
        const double w = height_scale > 0 ? std::min(1.0, double(z) / double(height_scale)) : 0.0;
        const double T = 0.5 - w;
        height_terms_[2 * z] = T * cam.cos_phi;
        height_terms_[2 * z + 1] = T * cam.sin_phi;
    }
    const double* columns = column_terms_.data();
    const double* heights_at = height_terms_.data();

    // Each output is floor((v - minimum) x 65535 / span) of a quotient v (or
    // of D). It is estimated with one reciprocal of D and the reciprocals of
    // the spans: for a point inside the corners' box v is off by at most 3
    // units in the last place of the box's largest magnitude, so the
    // estimate is within 8 x 2^-52 x (|minimum| + |maximum|) x 65535 / span
    // (plus smaller roundings) of the exact value. Where that bound is below
    // 1e-7, an estimate farther than `margin` from a whole number floors as
    // the exact value would; elsewhere the exact value is worked out.
    constexpr double margin = 1e-6;
    auto estimable = [](const cube_extent& e) {
        return 8 * 0x1p-52 * (std::abs(e.minimum) + std::abs(e.maximum)) * 65535 / e.span() <= 1e-7;
    };
    const bool estimate = estimable(box.x) && estimable(box.y) && estimable(box.eye);
    const double x_factor = 65535 / box.x.span();
    const double y_factor = 65535 / box.y.span();
    const double eye_factor = 65535 / box.eye.span();
    // The whole part of an estimate t, or -1 when t is too near a whole
    // number or outside 0..65535.
    // (Written without branches: out-of-range values are first replaced by
    // -1, which converts safely and fails the test.)
    auto whole = [](double t) -> int {
        const bool inside = t >= 0 && t < 65536;
        const double kept = inside ? t : -1.0;
        const int w = static_cast<int>(kept);
        const double fraction = kept - w;
        return ((fraction >= margin) & (fraction <= 1 - margin)) ? w : -1;
    };

    // Without tilt (sin phi exactly 0) A sin phi is a zero, so D = rho - T
    // cos phi depends on the height alone: its output is looked up. (Its
    // estimate would be no use here: the output then nearly equals the
    // height, a whole number.)
    const bool eye_by_height = cam.sin_phi == 0;
    if (eye_by_height) {
        eye_by_height_.resize(heights);
        for (std::size_t z = 0; z < heights; ++z)
            eye_by_height_[z] = box.eye.scale(cam.rho - heights_at[2 * z]);
    }
    const std::uint16_t* eyes = eye_by_height_.data();

    for (int r = 0; r < out_height; ++r) {
        const double V = double(r) / height - 0.5;
        const double row_a = V * cam.sin_theta;
        const double row_b = V * cam.cos_theta;
        const std::uint8_t* z_row =
            z_in.data() + std::size_t(r) * std::size_t(width) * (wide ? 2 : 1);
        std::uint16_t* x_row = &x_out.u16(0, std::uint16_t(r));
        std::uint16_t* y_row = &y_out.u16(0, std::uint16_t(r));
        std::uint16_t* eye_row = &eye_out.u16(0, std::uint16_t(r));
        for (int c = 0; c < out_width; ++c) {
            unsigned z;
            if (wide) {
                std::uint16_t v;
                std::memcpy(&v, z_row + 2 * std::size_t(c), 2);
                z = v;
            } else {
                z = z_row[c];
            }
            const double A = columns[2 * c] + row_a;
            const double B = columns[2 * c + 1] - row_b;
            const double D = cam.rho - A * cam.sin_phi - heights_at[2 * z];
            const double E = A * cam.cos_phi + heights_at[2 * z + 1];
            int x = -1, y = -1, eye = -1;
            if (estimate) {
                const double reciprocal = 1 / D;
                x = whole((-B * cam.zd * reciprocal - box.x.minimum) * x_factor);
                y = whole((-E * cam.zd * reciprocal - box.y.minimum) * y_factor);
                if (!eye_by_height)
                    eye = whole((D - box.eye.minimum) * eye_factor);
            }
            x_row[c] = x >= 0 ? static_cast<std::uint16_t>(x) : box.x.scale(-B * cam.zd / D);
            y_row[c] = y >= 0 ? static_cast<std::uint16_t>(y) : box.y.scale(-E * cam.zd / D);
            eye_row[c] = eye_by_height ? eyes[z]
                         : eye >= 0    ? static_cast<std::uint16_t>(eye)
                                       : box.eye.scale(D);
        }
    }
}

outcome cube::fire() {
    const camera cam{degrees(theta_control_, theta_) * camera_degree,
                     degrees(phi_control_, phi_) * camera_degree,
                     degrees(rho_control_, rho_) * camera_degree, zd_.value(0)};
    const cube_bounds box = cube_corners(cam);

    // A camera whose eye is inside (or on, or behind) the cube, whose settings
    // are not finite, or that flattens the cube to a line or a point cannot
    // project anything. Since the eye distance is affine in (u, v, w), it is
    // smallest at a corner: when every corner lies in front of the eye, so
    // does every point, and when one does not the camera is refused as a
    // whole. A refused camera sends nothing this run: the component releases
    // its ports and counts as fired, so the renderers fed by it stay not
    // ready and draw nothing for this frame, instead of drawing made-up
    // positions. The outputs are never NaN, infinite or out of range.
    if (!box.eye_outside || !box.x.usable() || !box.y.usable() || !box.eye.usable()) {
        for (int i = 0; i < port_count(); ++i)
            port_at(i).release();
        mark_fired();
        return outcome::success();
    }

    const matrix& z_in = z_in_.get_matrix();
    const int width = z_in.size(0);
    const int height = z_in.size(1);
    const std::int64_t height_scale = truncate_to_int64(value_.maximum(0));

    matrix_ptr x_out = x_out_.make_matrix(false);
    matrix_ptr y_out = y_out_.make_matrix(false);
    matrix_ptr eye_out = eye_out_.make_matrix(false);
    if (!x_out || !y_out || !eye_out)
        return finish_fire();
    const int out_width = std::min<int>(width, x_out->size(0));
    const int out_height = std::min<int>(height, x_out->size(1));
    project_grid(cam, box, z_in, height_scale, out_width, out_height, *x_out, *y_out, *eye_out);
    // The hold results are not consulted: an output takes every matrix.
    static_cast<void>(x_out_.hold(x_out));
    static_cast<void>(y_out_.hold(y_out));
    static_cast<void>(eye_out_.hold(eye_out));
    return finish_fire();
}

} // namespace zoetra::effects
