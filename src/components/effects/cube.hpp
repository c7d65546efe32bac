#pragma once
// The camera: every element of the "Z.IN" plane becomes a point of the unit
// cube (column, row, height) seen through a perspective camera that turns
// about the cube. The outputs are the projected screen x and y and the
// distance from the eye, each scaled over the bounding box of the cube's
// eight corners to the full 16-bit range.
#include "engine/component.hpp"

#include <vector>

namespace zoetra::effects {

// Angles (and the eye distance) are turned from degrees into working units
// with this factor, the eye distance included.
inline constexpr double camera_degree = 0.017452;

// The camera in working units: left-right angle θ, tilt φ, eye distance ρ,
// screen distance Zd; the sines and cosines are taken once.
struct camera {
    camera(double theta, double phi, double rho, double zd);
    double rho;
    double zd;
    double cos_theta, sin_theta;
    double cos_phi, sin_phi;
};

// Where a point of the cube lands: screen x, screen y and its distance from
// the eye (D).
struct projection {
    double screen_x;
    double screen_y;
    double eye;
};

// The transform of one point (u, v, w), each in [0, 1].
projection project(const camera& cam, double u, double v, double w);

struct cube_bounds;

class cube : public component {
  public:
    cube();
    outcome fire() override;

  private:
    void project_grid(const camera& cam, const cube_bounds& box, const matrix& z_in,
                      std::int64_t height_scale, int out_width, int out_height, matrix& x_out,
                      matrix& y_out, matrix& eye_out);
    // Terms of the projection worked out once per column and per height.
    std::vector<double> column_terms_;
    std::vector<double> height_terms_;
    // The eye output of every height, for a camera without tilt.
    std::vector<std::uint16_t> eye_by_height_;

    // A connected control gives c / m x 360 degrees, else the setting's value.
    double degrees(port& control, const cfg_FP64& setting) const;

    cfg_FP64& value_;
    cfg_FP64& size_;
    cfg_menu& type_;
    cfg_FP64& value_out_;
    cfg_menu& type_out_;
    cfg_FP64& theta_;
    cfg_FP64& phi_;
    cfg_FP64& rho_;
    cfg_FP64& zd_;
    cfg_FP64& control_size_;
    cfg_FP64& control_value_;
    cfg_menu& control_type_;
    port& phi_control_;
    port& theta_control_;
    port& rho_control_;
    port& z_in_;
    port& x_out_;
    port& y_out_;
    port& eye_out_;
};

} // namespace zoetra::effects
