#pragma once
// The wave generator: at every fire a fresh plane holding a sine wave that
// runs across the picture, as straight fronts at an angle or as rings round
// the centre, moved a little further at each frame.
#include "engine/component.hpp"

#include <cstdint>
#include <vector>

namespace zoetra::effects {

class wave : public component {
  public:
    wave();
    outcome preprepare() override;
    outcome prepare() override;
    outcome fire() override;

  private:
    // The position of every wave, shared by all "WAVE" components of the
    // program (its context holds it): it starts at 0 and grows by 0.1 at
    // each fire without a control input, or is set from the control value. A
    // wave outside a program keeps a phase of its own.
    double& phase();

    template <class T> void render(matrix& out, double phase);
    double phase_from_control(std::uint8_t c) const;

    double frequency_ = 1;
    double amplitude_ = 0.5;
    double angle_ = 0;
    double cos_angle_ = 1;
    double sin_angle_ = 0;
    std::uint8_t mode_ = 0;
    bool sixteen_bit_ = false;
    double floor_ = 0;
    double span_ = 0;
    double width_ = 1;
    double height_ = 1;
    std::uint16_t columns_ = 1;
    std::uint16_t rows_ = 1;
    std::uint8_t control_floor_ = 0;
    std::uint8_t control_top_ = 0;
    std::uint8_t control_span_ = 0;
    // Per column: x / width, 2 (x / width - 0.5), and the sine and cosine of
    // a linear wave's column part; one row's estimated values.
    std::vector<double> column_terms_;
    std::vector<double> estimates_;
    double own_phase_ = 0;

    cfg_FP64& value_;
    cfg_FP64& size_;
    cfg_menu& type_;
    cfg_FP64& control_value_;
    cfg_FP64& control_size_;
    cfg_menu& control_type_;
    cfg_FP64& frequency_setting_;
    cfg_FP64& amplitude_setting_;
    cfg_FP64& angle_setting_;
    cfg_menu& mode_setting_;
    cfg_menu& wave_type_;
    port& out_;
    port& control_;
};

} // namespace zoetra::effects
