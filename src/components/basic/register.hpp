#pragma once
#include "engine/factory.hpp"

namespace zoetra {

// Gives the factory the creators of the basic components.
void define_basic_components(component_factory& factory);

} // namespace zoetra
