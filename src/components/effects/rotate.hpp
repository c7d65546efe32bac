#pragma once
// The rotation: up to four planes turned in step by one angle about their
// centres, with nearest-neighbour sampling, each into an output plane of its
// own size. With "CONTROL.rotate" connected the control value is the angle,
// scaled so that the control range makes one full turn.
#include "engine/component.hpp"

#include <array>
#include <vector>

namespace zoetra::effects {

class rotate : public component {
  public:
    static constexpr int channel_count = 4;

    rotate();
    outcome preprepare() override;
    outcome fire() override;

    // The angle in degrees for this fire.
    double angle() const;

  private:
    // A channel takes part in a fire when its input and output are both connected.
    struct channel {
        const matrix* in;
        matrix_ptr out;
        port* out_port;
    };
    template <class T> void turn(const std::vector<channel*>& channels, T background) const;

    cfg_FP64& size_in_;
    cfg_FP64& size_out_;
    cfg_FP64& value_;
    cfg_menu& type_;
    cfg_FP64& background_;
    cfg_FP64& angle_setting_;
    cfg_FP64& control_size_;
    cfg_FP64& control_value_;
    cfg_menu& control_type_;
    port& control_;
    std::array<port*, channel_count> inputs_{};
    std::array<port*, channel_count> outputs_{};
};

} // namespace zoetra::effects
