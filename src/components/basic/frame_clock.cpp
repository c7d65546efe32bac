#include "components/basic/frame_clock.hpp"

#include "components/basic/common.hpp"
#include "engine/numeric.hpp"
#include "raster/output_canvas.hpp"

namespace zoetra::basic {

namespace {

constexpr double buffer_size_initial[3] = {64, 64, 1};
// Large enough for the largest frame a person may choose.
constexpr double buffer_maximum[3] = {1920, 1080, 1};

cfg_menu& with_loop_labels(cfg_menu& loop) {
    const char* const labels[] = {"------>", "<------", "-->,<--", "<--,-->"};
    for (int i = 0; i < 4; ++i)
        loop.set_label(i, labels[i]);
    return loop;
}

} // namespace

CPU::CPU()
    : component(kind_input, "CPU", 1.0),
      control_value_(add_number("VALUE.CONTROL", false, 255, 0, 255, 1)),
      internal_value_(add_number("value.internal", false, 255, 0, 255, 1)),
      size_(add_size("SIZE", size_one, size_minimum, size_one)),
      type_(add_menu("TYPE", false, {"UINT8"})),
      loop_setting_(with_loop_labels(
          add_menu("LOOP", true, {"FORWARD", "BACKWARD", "FORWARD_AND_BACK", "BACK_AND_FORTH"}))),
      mode_(add_menu("MODE", false, {"AUTO", "MANUAL"})),
      frames_(add_config<cfg_FP64>("FRAMES.CONTROL", true, version(),
                                   std::vector<cfg_FP64::number>{{8, 1, 32, 1}}, false, true)),
      buffer_size_(add_size("SIZE.BUFFER", buffer_size_initial, size_minimum, buffer_maximum)),
      control_(add_port(port::direction::out, control_value_, size_, type_, "CONTROL.CPU")),
      internal_(add_port(port::direction::out, internal_value_, size_, type_, "INTERNAL")) {
    control_.desc().id = "control.cpu";
}

bool CPU::manual() const {
    return mode_.selected_name() == "MANUAL";
}

outcome CPU::preprepare() {
    manual_ = manual();
    // The frame size starts as the output area. Before a canvas exists, or
    // while its output area is still unset, the setting stays as it is.
    const output_canvas* target = canvas();
    if (target != nullptr && !target->output_area().is_null()) {
        buffer_size_.set_value(0, target->output_area().width);
        buffer_size_.set_value(1, target->output_area().height);
    }
    return component::preprepare();
}

outcome CPU::prepare() {
    manual_ = manual();
    loop_ = static_cast<loop_mode>(loop_setting_.selected() & 3);
    // A frame count that truncates to 0 in 8 bits would divide by zero.
    frame_count_ = truncate_to_u8(frames_.value(0));
    if (frame_count_ == 0)
        frame_count_ = 1;
    frame_ = 0;
    manual_position_ = truncate_to_u8(internal_value_.value(0));
    if (output_canvas* target = canvas()) {
        target->set_output_size(truncate_to_int(buffer_size_.value(0)),
                                truncate_to_int(buffer_size_.value(1)));
        buffer_size_.set_value(0, target->output_area().width);
        buffer_size_.set_value(1, target->output_area().height);
    }
    return component::prepare();
}

std::uint8_t CPU::position(std::uint8_t frame, std::uint8_t n) {
    return static_cast<std::uint8_t>(unsigned(frame) * 255u / n);
}

std::uint8_t CPU::control_value(loop_mode mode, std::uint8_t frame, std::uint8_t n) {
    const unsigned t = position(frame, n);
    const auto last = static_cast<unsigned>(truncate_to_int((n - 1.0) / n * 255.0));
    unsigned v = t;
    switch (mode) {
    case forward:
        v = t;
        break;
    case backward:
        v = last - t;
        break;
    case forward_and_back:
        v = t <= 128 ? 2 * t : 253 - 2 * t;
        break;
    case back_and_forth:
        v = t <= 128 ? 255 - 2 * t : 2 * t + 2;
        break;
    }
    // Unsigned arithmetic wraps; the low 8 bits are the value modulo 256.
    return static_cast<std::uint8_t>(v & 0xFFu);
}

outcome CPU::fire() {
    matrix_ptr internal = internal_.make_matrix(false);
    matrix_ptr control = control_.make_matrix(false);
    std::uint8_t internal_value = manual_position_;
    std::uint8_t control_value_now = manual_position_;
    if (!manual_) {
        internal_value = position(frame_, frame_count_);
        control_value_now = control_value(loop_, frame_, frame_count_);
    }
    if (++frame_ >= frame_count_)
        frame_ = 0;
    // The hold results are not consulted: an output takes every matrix.
    if (internal) {
        set_first_element(*internal, internal_value);
        static_cast<void>(internal_.hold(internal));
    }
    if (control) {
        set_first_element(*control, control_value_now);
        static_cast<void>(control_.hold(control));
    }
    return finish_fire();
}

} // namespace zoetra::basic
