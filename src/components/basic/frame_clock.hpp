#pragma once
// The frame clock: the time source of every animated effect. Each run of a
// network is one frame; at each fire the clock emits the frame's position as
// a control value from 0 to 255, shaped by the loop mode, and advances.
#include "engine/component.hpp"

#include <cstdint>

namespace zoetra::basic {

class CPU : public component {
  public:
    enum loop_mode : std::uint8_t { forward = 0, backward, forward_and_back, back_and_forth };

    CPU();
    bool preprepare(std::string& error) override;
    bool prepare(std::string& error) override;
    bool fire(std::string& error) override;

    // The control value of frame `frame` of n (n at least 1), with t the
    // evenly spaced position frame * 255 / n, in 8-bit arithmetic.
    static std::uint8_t position(std::uint8_t frame, std::uint8_t n);
    static std::uint8_t control_value(loop_mode mode, std::uint8_t frame, std::uint8_t n);

  private:
    bool manual() const;

    bool manual_ = false;
    loop_mode loop_ = forward;
    std::uint8_t frame_count_ = 1;
    std::uint8_t frame_ = 0;
    std::uint8_t manual_position_ = 0;
};

} // namespace zoetra::basic
