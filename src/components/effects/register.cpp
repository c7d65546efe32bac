#include "components/effects/register.hpp"

namespace zoetra {

void define_effect_components(component_factory& factory) {
    define_matrix_effect_components(factory);
    define_drawing_effect_components(factory);
}

} // namespace zoetra
