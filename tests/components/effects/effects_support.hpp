#pragma once
// Test support for the effects: the components under test drive the rig of
// the basic components' tests; a few shared plane makers.
#include "../basic/network.hpp"
#include "base/utility.hpp"
#include "components/effects/crystalize.hpp"
#include "components/effects/cube.hpp"
#include "components/effects/renderers.hpp"
#include "components/effects/rgb_hsv.hpp"
#include "components/effects/rotate.hpp"
#include "components/effects/wave.hpp"
#include "components/io/register.hpp"
#include "engine/numeric.hpp"
#include "raster/draw.hpp"
#include "raster/output_canvas.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <tuple>

namespace zoetra::testing {

using namespace effects;

inline constexpr double infinity = std::numeric_limits<double>::infinity();
inline constexpr double pi = 3.141592653589793;

// A plane holding v everywhere.
inline formula constant(unsigned v) {
    return [v](int, int) { return v; };
}

// Prepares and fires c; with a context, c draws on its canvas.
inline void run(component& c, const run_context* context = nullptr) {
    c.set_context(context);
    outcome done = c.prepare();
    if (done)
        done = c.fire();
    ASSERT_TRUE(done) << done.message();
}

// n values counting up from first.
inline list counting(std::size_t n, unsigned first = 0) {
    list v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

} // namespace zoetra::testing
