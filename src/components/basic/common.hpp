#pragma once
// Shapes shared by the basic components.
#include "engine/component.hpp"

#include <string>
#include <vector>

namespace zoetra::basic {

inline const std::vector<std::string> element_types = {"UINT8", "UINT16"};
inline constexpr int select_uint8 = 0;
inline constexpr int select_uint16 = 1;

// The usual shape limits: (1, 1, 1) to (2048, 2048, 1).
inline constexpr double size_minimum[3] = {1, 1, 1};
inline constexpr double size_maximum[3] = {2048, 2048, 1};
inline constexpr double size_one[3] = {1, 1, 1};

// "VALUE" follows "TYPE": 0 to 65535 for "UINT16", 0 to 255 for "UINT8"
// (maximum first, then minimum); any other type leaves it alone.
void value_range_follows_type(component& c, const char* value = "VALUE",
                              const char* type = "TYPE");

} // namespace zoetra::basic
