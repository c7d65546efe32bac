#include "components/effects/crystalize.hpp"
#include "components/effects/register.hpp"
#include "components/effects/rgb_hsv.hpp"
#include "components/effects/rotate.hpp"
#include "components/effects/wave.hpp"

namespace zoetra {
namespace {
template <class C> void define_plain(component_factory& factory, const char* name) {
    factory.define(name, [] { return std::make_unique<C>(); });
}
} // namespace

void define_matrix_effect_components(component_factory& factory) {
    define_plain<effects::wave>(factory, "WAVE");
    define_plain<effects::rotate>(factory, "rotate");
    define_plain<effects::rgb_hsv>(factory, "RGB_HSV");
    define_plain<effects::crystalize>(factory, "Crystalize");
}

} // namespace zoetra
