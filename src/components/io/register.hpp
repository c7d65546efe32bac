#pragma once
#include "engine/factory.hpp"

namespace zoetra {

// Gives the factory the creators of "GIFIN", "TEXT" and "GIFOUT".
void define_io_components(component_factory& factory);

// Every component of the program: basic, effects and image sources and sinks.
void define_all_components(component_factory& factory);

} // namespace zoetra
