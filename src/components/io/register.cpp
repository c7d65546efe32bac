#include "components/io/register.hpp"

#include "components/basic/alternator.hpp"
#include "components/basic/arithmetic.hpp"
#include "components/basic/constant.hpp"
#include "components/basic/frame_clock.hpp"
#include "components/basic/random_matrix.hpp"
#include "components/basic/routing.hpp"
#include "components/basic/test_component.hpp"
#include "components/effects/crystalize.hpp"
#include "components/effects/cube.hpp"
#include "components/effects/renderers.hpp"
#include "components/effects/rgb_hsv.hpp"
#include "components/effects/rotate.hpp"
#include "components/effects/wave.hpp"
#include "components/io/image_source.hpp"
#include "engine/context.hpp"

#include <cmath>

namespace zoetra {
namespace {

component_maker test(basic::test_component::mode m) {
    return [m](context&) { return std::make_unique<basic::test_component>(m); };
}

component_maker constant(double value) {
    return [value](context&) { return std::make_unique<basic::constant>(value); };
}

// A whole number drawn once, when the component is made.
component_maker random_constant() {
    return [](context& program) {
        return std::make_unique<basic::constant>(std::floor(program.random().real(0, 65535)));
    };
}

} // namespace

const component_factory& program_factory() {
    using basic::test_component;
    static const component_factory factory({
        {"cpu", make_plain<basic::CPU>()},
        {"GIFOUT", make_plain<io::GIFOUT>()},
        {"GIFIN", make_plain<io::GIFIN>()},
        {"DOT", make_plain<effects::dot_renderer>()},
        {"surface", make_plain<effects::surface_renderer>()},
        {"rotate", make_plain<effects::rotate>()},
        {"shape", make_plain<effects::shape_renderer>()},
        {"cloud", make_plain<effects::cloud_renderer>()},
        {"fiber", make_plain<effects::fiber_renderer>()},
        {"WAVE", make_plain<effects::wave>()},
        {"TEXT", make_plain<io::TEXT>()},
        {"RANDOM", make_plain<basic::RANDOM>()},
        {"CUBE", make_plain<effects::cube>()},
        {"TEST_GOOD", test(test_component::good)},
        {"TEST", test(test_component::good)},
        {"TEST_FAIL_PREPREPARE", test(test_component::fail_preprepare)},
        {"TEST_FAIL_PREPARE", test(test_component::fail_prepare)},
        {"TEST_FAIL_FIRE", test(test_component::fail_fire)},
        {"TEST_DOESNT_EXPORT", test(test_component::doesnt_export)},
        {"INVERSE", make_plain<basic::INVERSE>()},
        {"SUM", make_plain<basic::SUM>()},
        {"INTEGER0", constant(0)},
        {"INTEGER1", constant(1)},
        {"INTEGER10", constant(10)},
        {"INTEGER100", constant(100)},
        {"INTEGER255", constant(255)},
        {"RANDOM INTEGER", random_constant()},
        {"RANDOM_INTEGER", random_constant()},
        {"MULTIPLY", make_plain<basic::MULTIPLY>()},
        {"DECOMPOSE", make_plain<basic::DECOMPOSE>()},
        {"OR", make_plain<basic::OR>()},
        {"RGB_HSV", make_plain<effects::rgb_hsv>()},
        {"split", make_plain<basic::split>()},
        {"Crystalize", make_plain<effects::crystalize>()},
        {"alternator", make_plain<basic::ALTERNATOR>()},
    });
    return factory;
}

} // namespace zoetra
