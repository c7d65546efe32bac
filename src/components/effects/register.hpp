#pragma once
#include "engine/factory.hpp"

namespace zoetra {

// Gives the factory the creators of the image effect components.
void define_effect_components(component_factory& factory);

// The two halves: components that compute matrices ("WAVE", "rotate",
// "RGB_HSV", "Crystalize") and the camera with the point renderers ("CUBE",
// "DOT", "shape", "fiber", "surface", "cloud").
void define_matrix_effect_components(component_factory& factory);
void define_drawing_effect_components(component_factory& factory);

} // namespace zoetra
