#pragma once
#include "engine/component.hpp"

#include <cstdint>

namespace zoetra::basic {

// Turns a control value (0 to 255) into a pair of neighbouring source
// positions among "SOURCES" evenly spaced ones ("WHICH.alternator") and the
// pair of cross-fade weights between them ("WEIGHT.alternator").
class ALTERNATOR : public component {
  public:
    ALTERNATOR();
    outcome prepare() override;
    outcome fire() override;

    struct pair {
        unsigned first;
        unsigned second;
    };
    struct result {
        pair which;
        pair weight;
    };
    // The positions and weights for control value c with s sources, when
    // num_frames frames make up the animation.
    static result alternate(unsigned c, std::uint8_t sources, std::uint8_t num_frames);

  private:
    cfg_FP64& num_frames_;
    cfg_FP64& value_;
    cfg_FP64& size_;
    cfg_FP64& size_out_;
    cfg_menu& type_;
    cfg_FP64& sources_setting_;
    port& which_;
    port& weight_;
    port& control_;
    std::uint8_t sources_ = 0;
};

} // namespace zoetra::basic
