#include "components/basic/arithmetic.hpp"

#include "components/basic/common.hpp"
#include "engine/numeric.hpp"

#include <algorithm>
#include <vector>

namespace zoetra::basic {
namespace {

constexpr double control_size_maximum[3] = {4, 1, 1};

// The whole product in the element range: negative products (which only an
// effect file that lowers a factor's minimum can ask for) become 0.
unsigned limited_product(unsigned in, double f, unsigned top) {
    const std::int64_t product = truncate_to_int64(in * f);
    return static_cast<unsigned>(std::clamp<std::int64_t>(product, 0, top));
}

} // namespace

// ---- SUM and MULTIPLY ----

control_weighted::control_weighted(const char* name)
    : component(kind_input, name, 1.0),
      size_(add_size("SIZE", size_one, size_minimum, size_maximum)),
      value_(add_number("VALUE", false, 0, 0, 65535, 1)),
      type_(add_menu("TYPE", false, element_types, select_uint16)),
      control_size_(add_size("SIZE.CONTROL", size_one, size_minimum, control_size_maximum)),
      control_value_(add_number("VALUE.CONTROL", false, 0, 0, 255, 1)),
      control_type_(add_menu("TYPE.CONTROL", false, {"UINT8"})) {}

void control_weighted::add_inputs(const char* control_name) {
    control_ =
        &add_port(port::direction::in, control_value_, control_size_, control_type_, control_name);
    for (int k = 1; k <= channel_count; ++k)
        inputs_[k - 1] = &add_port(port::direction::in, value_, size_, type_, numbered("IN.", k));
}

outcome control_weighted::preprepare() {
    value_range_follows_type(value_, type_);
    const auto connected =
        std::count_if(inputs_.begin(), inputs_.end(), [](const port* p) { return p->connected(); });
    control_size_.set_value(0, double(connected));
    return component::preprepare();
}

double control_weighted::scaled_control(const matrix& control, int index) const {
    const double control_maximum = control_value_.maximum(0);
    if (index >= control.size(0) || control.element_count() == 0 || control_maximum == 0)
        return 0;
    return control.value_at(static_cast<std::uint16_t>(index)) / control_maximum;
}

const matrix* control_weighted::control_vector() const {
    return control_->connected() ? &control_->get_matrix() : nullptr;
}

// ---- SUM ----

SUM::SUM() : control_weighted("SUM") {
    for (int k = 1; k <= channel_count; ++k)
        weights_[k - 1] = &add_number(numbered("WEIGHT.", k), true, 1.0, 0, 1, 0.1);
    add_inputs("CONTROL.SUM");
    out_ = &add_port(port::direction::out, value_, size_, type_, "OUT.sum");
}

int SUM::leading_inputs() const {
    int n = 0;
    while (n < channel_count && inputs_[n]->connected())
        ++n;
    return n;
}

outcome SUM::prepare() {
    input_count_ = leading_inputs();
    return component::prepare();
}

double SUM::weight(int k, const matrix* control) const {
    if (control != nullptr)
        return scaled_control(*control, k - 1);
    return weights_[k - 1]->value(0);
}

outcome SUM::fire() {
    matrix_ptr out = out_->make_matrix(false);
    const matrix* control = control_vector();

    std::vector<const matrix*> inputs;
    std::vector<double> weights;
    double total = 0;
    for (int k = 1; k <= input_count_; ++k) {
        inputs.push_back(&inputs_[k - 1]->get_matrix());
        weights.push_back(weight(k, control));
        total += weights.back();
    }

    if (out) {
        std::size_t count = out->element_count();
        for (const matrix* in : inputs)
            count = std::min(count, common_count(*out, *in));
        if (total == 0) {
            std::fill_n(out->data(), out->byte_size(), std::uint8_t{0});
        } else {
            for (std::size_t i = 0; i < count; ++i) {
                double sum = 0;
                for (std::size_t k = 0; k < inputs.size(); ++k)
                    sum += element_value(*inputs[k], i) * weights[k];
                const double mean = sum / total;
                set_element_value(*out, i,
                                  out->element_size() == 2 ? truncate_to_u16(mean)
                                                           : truncate_to_u8(mean));
            }
            clear_from(*out, count);
        }
    }
    return finish_fire(hold_made(*out_, out));
}

// ---- MULTIPLY ----

MULTIPLY::MULTIPLY() : control_weighted("MULTIPLY") {
    for (int k = 1; k <= channel_count; ++k)
        constants_[k - 1] =
            &add_number(numbered("CONSTANT.", k), k < channel_count, 1.0, 0, 3, 0.1);
    add_inputs("CONTROL.MULTIPLY");
    for (int k = 1; k <= channel_count; ++k)
        outputs_[k - 1] =
            &add_port(port::direction::out, value_, size_, type_, numbered("OUT.", k));
}

double MULTIPLY::factor(int k, const matrix* control) const {
    const double constant = constants_[k - 1]->value(0);
    if (control == nullptr)
        return constant;
    // Channels beyond the control vector share its first element.
    const int index = k <= control->size(0) ? k - 1 : 0;
    return constant * scaled_control(*control, index);
}

outcome MULTIPLY::fire() {
    const matrix* control = control_vector();
    outcome held = outcome::success();
    for (int k = 1; k <= channel_count; ++k) {
        port& in_port = *inputs_[k - 1];
        if (!in_port.connected())
            continue;
        port& out_port = *outputs_[k - 1];
        matrix_ptr out = out_port.make_matrix(false);
        if (!out)
            continue;
        const matrix& in = in_port.get_matrix();
        const double f = factor(k, control);
        const unsigned top = out->element_size() == 2 ? 65535u : 255u;
        const std::size_t count = common_count(*out, in);
        for (std::size_t i = 0; i < count; ++i)
            set_element_value(*out, i, limited_product(element_value(in, i), f, top));
        clear_from(*out, count);
        held = hold_made(out_port, out);
    }
    return finish_fire(held);
}

// ---- INVERSE ----

INVERSE::INVERSE()
    : component(kind_input, "INVERSE", 1.0), value_(add_number("VALUE", false, 0, 0, 65535, 1)),
      size_(add_size("SIZE", size_one, size_minimum, size_maximum)),
      type_(add_menu("TYPE", false, element_types, select_uint16)),
      out_(add_port(port::direction::out, value_, size_, type_, "OUT")),
      in_(add_port(port::direction::in, value_, size_, type_, "IN")) {}

outcome INVERSE::fire() {
    const matrix& in = in_.get_matrix();
    matrix_ptr out = out_.make_matrix(false);
    if (out) {
        const double lo = in_.value_minimum();
        const double hi = in_.value_maximum();
        const std::size_t count = common_count(*out, in);
        for (std::size_t i = 0; i < count; ++i) {
            const double v = hi - element_value(in, i) + lo;
            set_element_value(*out, i,
                              out->element_size() == 2 ? truncate_to_u16(v) : truncate_to_u8(v));
        }
        clear_from(*out, count);
    }
    return finish_fire(hold_made(out_, out));
}

} // namespace zoetra::basic
