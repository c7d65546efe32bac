#pragma once
// The crystal mosaic: up to four planes broken into square blocks, every
// block taking the mean of its elements. The block edge is "CRYSTAL SIZE",
// or, with "CONTROL.CS" connected, grows with the control value from 1 to
// "CRYSTAL SIZE" + 1. "CRYSTAL SIZE" is in elements of the picture as the
// 350 x 250 frame has it: it grows with the hidden "SCALE", bound to GIFIN's
// "SCALE.PICTURE" (how many times larger the picture's planes are), so that
// a block covers as much of the picture at every frame size.
#include "engine/component.hpp"

#include <array>
#include <cstdint>

namespace zoetra::effects {

class crystalize : public component {
  public:
    static constexpr int channel_count = 4;

    crystalize();
    outcome preprepare() override;
    outcome fire() override;

    // The block edge for this fire, at least 1.
    std::uint8_t block_size() const;

    // Each s x s block of the first width x height elements of a plane of T
    // (rows `in_stride` and `out_stride` elements apart) becomes its mean;
    // blocks at the right and bottom edges are cut to the plane.
    template <class T>
    static void mosaic(const std::uint8_t* in, std::size_t in_stride, std::uint8_t* out,
                       std::size_t out_stride, int width, int height, int s);

  private:
    cfg_FP64& value_;
    cfg_FP64& size_;
    cfg_menu& type_;
    cfg_FP64& crystal_size_;
    cfg_FP64& control_size_;
    cfg_FP64& control_value_;
    cfg_menu& control_type_;
    cfg_FP64& scale_;
    std::array<port*, channel_count> outputs_{};
    std::array<port*, channel_count> inputs_{};
    port* control_ = nullptr;
};

} // namespace zoetra::effects
