#pragma once
// Colour space conversion: three planes converted element by element
// between red, green, blue and hue, saturation, value, in either direction.
// Hue is coded in a byte as 255 for a full turn.
#include "engine/component.hpp"

#include <array>
#include <cstdint>

namespace zoetra::effects {

class rgb_hsv : public component {
  public:
    rgb_hsv();
    outcome fire() override;

    struct triple {
        std::uint8_t a, b, c;
        friend bool operator==(const triple&, const triple&) = default;
    };
    // Bytes in, bytes out: the forward conversion truncates, the backward one
    // rounds half up.
    static triple rgb_to_hsv(std::uint8_t r, std::uint8_t g, std::uint8_t b);
    static triple hsv_to_rgb(std::uint8_t h, std::uint8_t s, std::uint8_t v);

  private:
    cfg_FP64& value_;
    cfg_FP64& size_;
    cfg_menu& type_;
    cfg_menu& mode_;
    std::array<port*, 3> outputs_{};
    std::array<port*, 3> inputs_{};
};

} // namespace zoetra::effects
