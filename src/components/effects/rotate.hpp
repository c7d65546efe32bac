#pragma once
// The rotation: up to four planes turned in step by one angle about their
// centres, with nearest-neighbour sampling, each into an output plane of its
// own size. With "CONTROL.rotate" connected the control value is the angle,
// scaled so that the control range makes one full turn.
#include "engine/component.hpp"

#include <vector>

namespace zoetra::effects {

class rotate : public component {
  public:
    rotate();
    bool preprepare(std::string& error) override;
    bool fire(std::string& error) override;

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
};

} // namespace zoetra::effects
