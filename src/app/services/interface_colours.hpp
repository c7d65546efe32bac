#pragma once
// The five interface colours (transparency, red, green, blue). They are the
// greys 0, 128, 192, 64 and 255 with the red byte forced to 0, which gives
// the interface its blue-green tint.
#include "raster/pixel.hpp"

namespace zoetra {

inline constexpr colour ui_text{0, 0, 0, 0};
inline constexpr colour ui_mid{0, 0, 128, 128};
inline constexpr colour ui_light{0, 0, 192, 192};
inline constexpr colour ui_dark{0, 0, 64, 64};
inline constexpr colour ui_highlight{0, 0, 255, 255};

} // namespace zoetra
