#include "components/io/register.hpp"

#include "components/basic/register.hpp"
#include "components/effects/register.hpp"
#include "components/io/image_source.hpp"

namespace zoetra {

void define_io_components(component_factory& factory) {
    factory.define("GIFIN", [] { return std::make_unique<io::GIFIN>(); });
    factory.define("TEXT", [] { return std::make_unique<io::TEXT>(); });
    factory.define("GIFOUT", [] { return std::make_unique<io::GIFOUT>(); });
}

void define_all_components(component_factory& factory) {
    define_basic_components(factory);
    define_effect_components(factory);
    define_io_components(factory);
}

} // namespace zoetra
