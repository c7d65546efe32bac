#include "components/basic/routing.hpp"

#include "components/basic/common.hpp"
#include "engine/numeric.hpp"

#include <cstring>

namespace zoetra::basic {
namespace {
constexpr double vector_maximum[3] = {4, 1, 1};
constexpr double decompose_in_size[3] = {4, 1, 1};
} // namespace

// ---- split ----

split::split()
    : component(kind_input, "SPLIT", 1.0),
      size_(add_size("SIZE", size_one, size_minimum, size_maximum)),
      value_(add_number("VALUE", false, 0, 0, 65535, 1)),
      type_(add_menu("TYPE", false, element_types, select_uint16)),
      in_(add_port(port::direction::in, value_, size_, type_, "IN")) {
    for (int k = 1; k <= routing_channels; ++k)
        outputs_[k - 1] =
            &add_port(port::direction::out, value_, size_, type_, numbered("OUT.", k));
}

outcome split::preprepare() {
    value_range_follows_type(value_, type_);
    return component::preprepare();
}

outcome split::fire() {
    const matrix& in = in_.get_matrix();
    outcome held = outcome::success();
    for (int k = 1; k <= routing_channels && held; ++k) {
        port& out = *outputs_[k - 1];
        if (!out.connected())
            continue;
        matrix_ptr copy = in.clone();
        held = out.hold(copy);
    }
    return finish_fire(held);
}

// ---- OR ----

OR::OR()
    : component(kind_input, "OR", 1.0), value_(add_number("VALUE", false, 0, 0, 65535, 1)),
      size_(add_size("SIZE", size_one, size_minimum, vector_maximum)),
      type_(add_menu("TYPE", false, element_types, select_uint16)),
      which_(add_menu("WHICH", false, {"1", "2", "3", "4"}, 2)),
      out_(add_port(port::direction::out, value_, size_, type_, "OUT")) {
    for (int k = 1; k <= routing_channels; ++k)
        inputs_[k - 1] = &add_port(port::direction::in, value_, size_, type_, numbered("IN.", k));
}

outcome OR::fire() {
    const int k = which_.selected() + 1;
    matrix_ptr out = out_.make_matrix(false);
    if (out) {
        // An input that nothing fed gives a matrix of its fill value.
        const matrix& in = inputs_[k - 1]->get_matrix();
        const std::size_t count = common_count(*out, in);
        for (std::size_t i = 0; i < count; ++i)
            set_element_value(*out, i, element_value(in, i));
        clear_from(*out, count);
    }
    return finish_fire(hold_made(out_, out));
}

// ---- DECOMPOSE ----

DECOMPOSE::DECOMPOSE()
    : component(kind_input, "DECOMPOSE", 1.0), value_(add_number("VALUE", false, 0, 0, 65535, 1)),
      size_in_(add_size("SIZE.IN", decompose_in_size, size_minimum, decompose_in_size)),
      size_out_(add_size("SIZE.OUT", size_one, size_minimum, size_one)),
      type_(add_menu("TYPE", false, element_types, select_uint16)) {
    for (int k = 1; k <= routing_channels; ++k)
        outputs_[k - 1] = &add_port(port::direction::out, value_, size_out_, type_,
                                    numbered("OUT.decompose.", k));
    in_ = &add_port(port::direction::in, value_, size_in_, type_, "IN.decompose");
}

outcome DECOMPOSE::fire() {
    const matrix& in = in_->get_matrix();
    const int n = truncate_to_int(size_in_.value(0));
    outcome held = outcome::success();
    // There are four outputs, and the vector may be shorter than "SIZE.IN"
    // says when an effect file raised its limit.
    const int available = in.element_count() > 0 ? in.size(0) : 0;
    for (int k = 1; k <= n && k <= routing_channels && k <= available && held; ++k) {
        port& out_port = *outputs_[k - 1];
        matrix_ptr out = out_port.make_matrix(false);
        if (!out || out->element_count() == 0 || out->element_size() != in.element_size())
            continue;
        std::memset(out->data(), 0, out->byte_size());
        out->set_element(in.element_address(static_cast<std::uint16_t>(k - 1), 0, 0), 0, 0, 0);
        held = out_port.hold(out);
    }
    return finish_fire(held);
}

} // namespace zoetra::basic
