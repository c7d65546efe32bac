#include "components/basic/routing.hpp"

#include "components/basic/common.hpp"
#include "engine/numeric.hpp"

#include <cstring>

namespace zoetra::basic {
namespace {
constexpr int channel_count = 4;
} // namespace

// ---- split ----

split::split() : component(kind_input, "SPLIT", 1.0) {
    add_size("SIZE", size_one, size_minimum, size_maximum);
    add_number("VALUE", false, 0, 0, 65535, 1);
    add_menu("TYPE", false, element_types, select_uint16);
    add_port(port::direction::in, "VALUE", "SIZE", "TYPE", "IN");
    for (int k = 1; k <= channel_count; ++k)
        add_port(port::direction::out, "VALUE", "SIZE", "TYPE", numbered("OUT.", k));
}

bool split::preprepare(std::string& error) {
    value_range_follows_type(*this);
    return component::preprepare(error);
}

bool split::fire(std::string& error) {
    const matrix& in = find_port("IN").get_matrix();
    bool ok = true;
    for (int k = 1; k <= channel_count && ok; ++k) {
        port& out = find_port(numbered("OUT.", k));
        if (!out.connected())
            continue;
        matrix_ptr copy = in.clone();
        ok = out.hold(copy, error);
    }
    return finish_fire(error, ok);
}

// ---- OR ----

OR::OR() : component(kind_input, "OR", 1.0) {
    static constexpr double vector_maximum[3] = {4, 1, 1};
    add_number("VALUE", false, 0, 0, 65535, 1);
    add_size("SIZE", size_one, size_minimum, vector_maximum);
    add_menu("TYPE", false, element_types, select_uint16);
    add_menu("WHICH", false, {"1", "2", "3", "4"}, 2);
    add_port(port::direction::out, "VALUE", "SIZE", "TYPE", "OUT");
    for (int k = 1; k <= channel_count; ++k)
        add_port(port::direction::in, "VALUE", "SIZE", "TYPE", numbered("IN.", k));
}

bool OR::fire(std::string& error) {
    const int k = menu("WHICH").selected() + 1;
    port& out_port = find_port("OUT");
    matrix_ptr out = out_port.make_matrix(false);
    if (out) {
        // An input that nothing fed gives a matrix of its fill value.
        const matrix& in = find_port(numbered("IN.", k)).get_matrix();
        const std::size_t count = common_count(*out, in);
        for (std::size_t i = 0; i < count; ++i)
            set_element_value(*out, i, element_value(in, i));
        clear_from(*out, count);
    }
    return finish_fire(error, hold_made(out_port, out, error));
}

// ---- DECOMPOSE ----

DECOMPOSE::DECOMPOSE() : component(kind_input, "DECOMPOSE", 1.0) {
    static constexpr double in_size[3] = {4, 1, 1};
    add_number("VALUE", false, 0, 0, 65535, 1);
    add_size("SIZE.IN", in_size, size_minimum, in_size);
    add_size("SIZE.OUT", size_one, size_minimum, size_one);
    add_menu("TYPE", false, element_types, select_uint16);
    for (int k = 1; k <= channel_count; ++k)
        add_port(port::direction::out, "VALUE", "SIZE.OUT", "TYPE", numbered("OUT.decompose.", k));
    add_port(port::direction::in, "VALUE", "SIZE.IN", "TYPE", "IN.decompose");
}

bool DECOMPOSE::fire(std::string& error) {
    const matrix& in = find_port("IN.decompose").get_matrix();
    const int n = truncate_to_int(number("SIZE.IN").value(0));
    bool ok = true;
    // There are four outputs, and the vector may be shorter than "SIZE.IN"
    // says when an effect file raised its limit.
    const int available = in.element_count() > 0 ? in.size(0) : 0;
    for (int k = 1; k <= n && k <= channel_count && k <= available && ok; ++k) {
        port& out_port = find_port(numbered("OUT.decompose.", k));
        matrix_ptr out = out_port.make_matrix(false);
        if (!out || out->element_count() == 0 || out->element_size() != in.element_size())
            continue;
        std::memset(out->data(), 0, out->byte_size());
        out->set_element(in.element_address(static_cast<std::uint16_t>(k - 1), 0, 0), 0, 0, 0);
        ok = out_port.hold(out, error);
    }
    return finish_fire(error, ok);
}

} // namespace zoetra::basic
