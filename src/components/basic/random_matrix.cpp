#include "components/basic/random_matrix.hpp"

#include "components/basic/common.hpp"
#include "engine/context.hpp"
#include "engine/numeric.hpp"

namespace zoetra::basic {

RANDOM::RANDOM() : component(kind_input, "RANDOM", 1.0) {
    static constexpr double initial[3] = {4, 4, 1};
    static constexpr double maximum[3] = {8, 8, 1};
    cfg_FP64& value = add_number("VALUE", false, 255, 0, 255, 1);
    cfg_FP64& size = add_size("SIZE", initial, size_minimum, maximum);
    cfg_menu& type = add_menu("TYPE", false, element_types, select_uint16);
    out_ = &add_port(port::direction::out, value, size, type, "OUT");
}

outcome RANDOM::fire() {
    matrix_ptr out = out_->make_matrix(false);
    if (out) {
        // Outside a program (a component fired on its own) the draws come
        // from a generator of this fire's own.
        random_generator own;
        random_generator& random = program() != nullptr ? program()->random() : own;
        const double lo = out_->value_minimum();
        const double hi = out_->value_maximum();
        for (std::size_t i = 0; i < out->element_count(); ++i) {
            const double v = lo + (hi - lo) * random.draw() / 32767.0;
            set_element_value(*out, i, static_cast<unsigned>(floor_to_int64(v)));
        }
    }
    return finish_fire(hold_made(*out_, out));
}

} // namespace zoetra::basic
