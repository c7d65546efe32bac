#include "components/basic/frame_clock.hpp"

#include "components/basic/common.hpp"
#include "engine/numeric.hpp"
#include "raster/frame_image.hpp"

namespace zoetra::basic {

CPU::CPU() : component(kind_input, "CPU", 1.0) {
    static constexpr double buffer_size[3] = {64, 64, 1};
    static constexpr double buffer_maximum[3] = {1000, 1000, 1};
    add_number("VALUE.CONTROL", false, 255, 0, 255, 1);
    add_number("value.internal", false, 255, 0, 255, 1);
    add_size("SIZE", size_one, size_minimum, size_one);
    add_menu("TYPE", false, {"UINT8"});
    cfg_menu& loop =
        add_menu("LOOP", true, {"FORWARD", "BACKWARD", "FORWARD_AND_BACK", "BACK_AND_FORTH"});
    const char* const labels[] = {"------>", "<------", "-->,<--", "<--,-->"};
    for (int i = 0; i < 4; ++i)
        loop.set_label(i, labels[i]);
    add_menu("MODE", false, {"AUTO", "MANUAL"});
    add_config<cfg_FP64>("FRAMES.CONTROL", true, version(),
                         std::vector<cfg_FP64::number>{{8, 1, 32, 1}}, false, true);
    add_size("SIZE.BUFFER", buffer_size, size_minimum, buffer_maximum);
    port& control = add_port(port::direction::out, "value.control", "SIZE", "TYPE", "CONTROL.CPU");
    control.desc().id = "control.cpu";
    add_port(port::direction::out, "value.INTERNAL", "SIZE", "TYPE", "INTERNAL");
}

bool CPU::manual() const {
    return menu("MODE").selected_name() == "MANUAL";
}

bool CPU::preprepare(std::string& error) {
    manual_ = manual();
    // The frame size starts as the output area. Before a frame image exists,
    // or while its output area is still unset, the setting stays as it is.
    const frame_image* image = frame();
    if (image != nullptr && !image->output_area().is_null()) {
        cfg_FP64& size = number("SIZE.BUFFER");
        size.set_value(0, image->output_area().width);
        size.set_value(1, image->output_area().height);
    }
    return component::preprepare(error);
}

bool CPU::prepare(std::string& error) {
    manual_ = manual();
    loop_ = static_cast<loop_mode>(menu("LOOP").selected() & 3);
    // A frame count that truncates to 0 in 8 bits would divide by zero.
    frame_count_ = truncate_to_u8(number("FRAMES.CONTROL").value(0));
    if (frame_count_ == 0)
        frame_count_ = 1;
    frame_ = 0;
    manual_position_ = truncate_to_u8(number("value.internal").value(0));
    if (frame_image* image = frame()) {
        cfg_FP64& size = number("SIZE.BUFFER");
        image->set_output_size(truncate_to_int(size.value(0)), truncate_to_int(size.value(1)));
        size.set_value(0, image->output_area().width);
        size.set_value(1, image->output_area().height);
    }
    return component::prepare(error);
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

bool CPU::fire(std::string& error) {
    port& internal_port = find_port("INTERNAL");
    port& control_port = find_port("CONTROL.CPU");
    matrix_ptr internal = internal_port.make_matrix(false);
    matrix_ptr control = control_port.make_matrix(false);
    std::uint8_t internal_value = manual_position_;
    std::uint8_t control_value_now = manual_position_;
    if (!manual_) {
        internal_value = position(frame_, frame_count_);
        control_value_now = control_value(loop_, frame_, frame_count_);
    }
    if (++frame_ >= frame_count_)
        frame_ = 0;
    if (internal) {
        set_first_element(*internal, internal_value);
        internal_port.hold(internal, error);
    }
    if (control) {
        set_first_element(*control, control_value_now);
        control_port.hold(control, error);
    }
    return finish_fire(error, true);
}

} // namespace zoetra::basic
