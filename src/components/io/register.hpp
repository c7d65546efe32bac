#pragma once
#include "engine/factory.hpp"

namespace zoetra {

// The program's component factory: every component type an effect file can
// name, in the table's fixed order.
const component_factory& program_factory();

} // namespace zoetra
