#include "components/effects/cube.hpp"
#include "components/effects/register.hpp"
#include "components/effects/renderers.hpp"

namespace zoetra {

void define_drawing_effect_components(component_factory& factory) {
    factory.define("CUBE", [] { return std::make_unique<effects::cube>(); });
    factory.define("DOT", [] { return std::make_unique<effects::dot_renderer>(); });
    factory.define("shape", [] { return std::make_unique<effects::shape_renderer>(); });
    factory.define("fiber", [] { return std::make_unique<effects::fiber_renderer>(); });
    factory.define("surface", [] { return std::make_unique<effects::surface_renderer>(); });
    factory.define("cloud", [] { return std::make_unique<effects::cloud_renderer>(); });
}

} // namespace zoetra
