#pragma once
// The frame clock: the time source of every animated effect. Each run of a
// network is one frame; at each fire the clock emits the frame's position as
// a control value from 0 to 255, shaped by the loop mode, and advances. It
// also holds the number of frames ("FRAMES.CONTROL") and the frame size
// ("SIZE.BUFFER", the output area).
#include "engine/component.hpp"

#include <cstdint>

namespace zoetra::basic {

class CPU : public component {
  public:
    enum loop_mode : std::uint8_t { forward = 0, backward, forward_and_back, back_and_forth };

    CPU();
    outcome preprepare() override;
    outcome prepare() override;
    outcome fire() override;

    // "FRAMES.CONTROL": the number of frames of the animation.
    cfg_FP64& frames() const { return frames_; }
    // "LOOP": the loop mode, shown as DIRECTION.
    cfg_menu& loop() const { return loop_setting_; }
    // "SIZE.BUFFER": the frame size asked for; the output area once started.
    cfg_FP64& buffer_size() const { return buffer_size_; }

    // The control value of frame `frame` of n (n at least 1), with t the
    // evenly spaced position frame * 255 / n, in 8-bit arithmetic.
    static std::uint8_t position(std::uint8_t frame, std::uint8_t n);
    static std::uint8_t control_value(loop_mode mode, std::uint8_t frame, std::uint8_t n);

  private:
    bool manual() const;

    cfg_FP64& control_value_;
    cfg_FP64& internal_value_;
    cfg_FP64& size_;
    cfg_menu& type_;
    cfg_menu& loop_setting_;
    cfg_menu& mode_;
    cfg_FP64& frames_;
    cfg_FP64& buffer_size_;
    port& control_;
    port& internal_;

    bool manual_ = false;
    loop_mode loop_ = forward;
    std::uint8_t frame_count_ = 1;
    std::uint8_t frame_ = 0;
    std::uint8_t manual_position_ = 0;
};

} // namespace zoetra::basic
