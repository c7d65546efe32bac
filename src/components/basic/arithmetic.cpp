#include "components/basic/arithmetic.hpp"

#include "components/basic/common.hpp"
#include "engine/numeric.hpp"

#include <algorithm>
#include <vector>

namespace zoetra::basic {
namespace {

constexpr int channel_count = 4;
constexpr double control_size_maximum[3] = {4, 1, 1};

// Element k - 1 of a control vector scaled by the control range's maximum;
// 0 when the vector is too short or the maximum is 0.
double scaled_control(const matrix& control, int index, double control_maximum) {
    if (index >= control.size(0) || control.element_count() == 0 || control_maximum == 0)
        return 0;
    return control.value_at(static_cast<std::uint16_t>(index)) / control_maximum;
}

int count_connected(const component& c) {
    int n = 0;
    for (int k = 1; k <= channel_count; ++k)
        if (c.find_port(numbered("IN.", k)).connected())
            ++n;
    return n;
}

// The whole product in the element range: negative products (which only an
// effect file that lowers a factor's minimum can ask for) become 0.
unsigned limited_product(unsigned in, double f, unsigned top) {
    const std::int64_t product = truncate_to_int64(in * f);
    return static_cast<unsigned>(std::clamp<std::int64_t>(product, 0, top));
}

} // namespace

// ---- SUM and MULTIPLY ----

control_weighted::control_weighted(const char* name) : component(kind_input, name, 1.0) {
    add_size("SIZE", size_one, size_minimum, size_maximum);
    add_number("VALUE", false, 0, 0, 65535, 1);
    add_menu("TYPE", false, element_types, select_uint16);
    add_size("SIZE.CONTROL", size_one, size_minimum, control_size_maximum);
    add_number("VALUE.CONTROL", false, 0, 0, 255, 1);
    add_menu("TYPE.CONTROL", false, {"UINT8"});
}

bool control_weighted::preprepare(std::string& error) {
    value_range_follows_type(*this);
    number("SIZE.CONTROL").set_value(0, count_connected(*this));
    return component::preprepare(error);
}

// ---- SUM ----

SUM::SUM() : control_weighted("SUM") {
    for (int k = 1; k <= channel_count; ++k)
        add_number(numbered("WEIGHT.", k), true, 1.0, 0, 1, 0.1);
    add_port(port::direction::in, "VALUE.CONTROL", "SIZE.CONTROL", "TYPE.CONTROL", "CONTROL.SUM");
    for (int k = 1; k <= channel_count; ++k)
        add_port(port::direction::in, "VALUE", "SIZE", "TYPE", numbered("IN.", k));
    add_port(port::direction::out, "VALUE", "SIZE", "TYPE", "OUT.sum");
}

int SUM::leading_inputs() const {
    int n = 0;
    while (n < channel_count && find_port(numbered("IN.", n + 1)).connected())
        ++n;
    return n;
}

bool SUM::prepare(std::string& error) {
    input_count_ = leading_inputs();
    return component::prepare(error);
}

double SUM::weight(int k, const matrix* control) const {
    if (control != nullptr)
        return scaled_control(*control, k - 1, number("VALUE.CONTROL").maximum(0));
    return number(numbered("WEIGHT.", k)).value(0);
}

bool SUM::fire(std::string& error) {
    port& out_port = find_port("OUT.sum");
    matrix_ptr out = out_port.make_matrix(false);
    port& control_port = find_port("CONTROL.SUM");
    const matrix* control = control_port.connected() ? &control_port.get_matrix() : nullptr;

    std::vector<const matrix*> inputs;
    std::vector<double> weights;
    double total = 0;
    for (int k = 1; k <= input_count_; ++k) {
        inputs.push_back(&find_port(numbered("IN.", k)).get_matrix());
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
    return finish_fire(error, hold_made(out_port, out, error));
}

// ---- MULTIPLY ----

MULTIPLY::MULTIPLY() : control_weighted("MULTIPLY") {
    for (int k = 1; k <= channel_count; ++k)
        add_number(numbered("CONSTANT.", k), k < channel_count, 1.0, 0, 3, 0.1);
    add_port(port::direction::in, "VALUE.CONTROL", "SIZE.CONTROL", "TYPE.CONTROL",
             "CONTROL.MULTIPLY");
    for (int k = 1; k <= channel_count; ++k)
        add_port(port::direction::in, "VALUE", "SIZE", "TYPE", numbered("IN.", k));
    for (int k = 1; k <= channel_count; ++k)
        add_port(port::direction::out, "VALUE", "SIZE", "TYPE", numbered("OUT.", k));
}

double MULTIPLY::factor(int k, const matrix* control) const {
    const double constant = number(numbered("CONSTANT.", k)).value(0);
    if (control == nullptr)
        return constant;
    // Channels beyond the control vector share its first element.
    const int index = k <= control->size(0) ? k - 1 : 0;
    return constant * scaled_control(*control, index, number("VALUE.CONTROL").maximum(0));
}

bool MULTIPLY::fire(std::string& error) {
    port& control_port = find_port("CONTROL.MULTIPLY");
    const matrix* control = control_port.connected() ? &control_port.get_matrix() : nullptr;
    bool ok = true;
    for (int k = 1; k <= channel_count; ++k) {
        port& in_port = find_port(numbered("IN.", k));
        if (!in_port.connected())
            continue;
        port& out_port = find_port(numbered("OUT.", k));
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
        ok = hold_made(out_port, out, error);
    }
    return finish_fire(error, ok);
}

// ---- INVERSE ----

INVERSE::INVERSE() : component(kind_input, "INVERSE", 1.0) {
    add_number("VALUE", false, 0, 0, 65535, 1);
    add_size("SIZE", size_one, size_minimum, size_maximum);
    add_menu("TYPE", false, element_types, select_uint16);
    add_port(port::direction::out, "VALUE", "SIZE", "TYPE", "OUT");
    add_port(port::direction::in, "VALUE", "SIZE", "TYPE", "IN");
}

bool INVERSE::fire(std::string& error) {
    port& in_port = find_port("IN");
    port& out_port = find_port("OUT");
    const matrix& in = in_port.get_matrix();
    matrix_ptr out = out_port.make_matrix(false);
    if (out) {
        const double lo = in_port.value_minimum();
        const double hi = in_port.value_maximum();
        const std::size_t count = common_count(*out, in);
        for (std::size_t i = 0; i < count; ++i) {
            const double v = hi - element_value(in, i) + lo;
            set_element_value(*out, i,
                              out->element_size() == 2 ? truncate_to_u16(v) : truncate_to_u8(v));
        }
        clear_from(*out, count);
    }
    return finish_fire(error, hold_made(out_port, out, error));
}

} // namespace zoetra::basic
