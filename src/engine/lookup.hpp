#pragma once
// Settings and ports by the names effect files use, for those who know only
// a name: a person's --set on the command line, and the tests. The
// program's own code keeps references from registration instead, so that a
// misspelt name there does not compile.
#include "engine/component.hpp"

#include <stdexcept>
#include <string>
#include <string_view>

namespace zoetra {

// The setting or port of that name (ignoring case); a miss is a mistake in
// the caller and throws std::logic_error.
config& setting_named(const component& c, std::string_view name);
cfg_FP64& number_named(const component& c, std::string_view name);
cfg_menu& menu_named(const component& c, std::string_view name);
port& port_of(const component& c, std::string_view name);

} // namespace zoetra
