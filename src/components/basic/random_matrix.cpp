#include "components/basic/random_matrix.hpp"

#include "app/services/utility.hpp"
#include "components/basic/common.hpp"
#include "engine/numeric.hpp"

namespace zoetra::basic {

RANDOM::RANDOM() : component(kind_input, "RANDOM", 1.0) {
    static constexpr double initial[3] = {4, 4, 1};
    static constexpr double maximum[3] = {8, 8, 1};
    add_number("VALUE", false, 255, 0, 255, 1);
    add_size("SIZE", initial, size_minimum, maximum);
    add_menu("TYPE", false, element_types, select_uint16);
    add_port(port::direction::out, "VALUE", "SIZE", "TYPE", "OUT");
}

bool RANDOM::fire(std::string& error) {
    port& out_port = find_port("OUT");
    matrix_ptr out = out_port.make_matrix(false);
    if (out) {
        const double lo = out_port.value_minimum();
        const double hi = out_port.value_maximum();
        for (std::size_t i = 0; i < out->element_count(); ++i) {
            const double v = lo + (hi - lo) * random_draw() / 32767.0;
            set_element_value(*out, i, static_cast<unsigned>(floor_to_int64(v)));
        }
    }
    return finish_fire(error, hold_made(out_port, out, error));
}

} // namespace zoetra::basic
