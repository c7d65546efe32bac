#include "components/basic/register.hpp"

#include "app/services/utility.hpp"
#include "components/basic/alternator.hpp"
#include "components/basic/arithmetic.hpp"
#include "components/basic/constant.hpp"
#include "components/basic/frame_clock.hpp"
#include "components/basic/random_matrix.hpp"
#include "components/basic/routing.hpp"
#include "components/basic/test_component.hpp"

#include <cmath>

namespace zoetra {
namespace {
// Components made without arguments.
template <class C> void define_plain(component_factory& factory, const char* name) {
    factory.define(name, [] { return std::make_unique<C>(); });
}
} // namespace

void define_basic_components(component_factory& factory) {
    using basic::test_component;
    auto test = [&](const char* name, test_component::mode m) {
        factory.define(name, [m] { return std::make_unique<test_component>(m); });
    };
    test("TEST_GOOD", test_component::good);
    test("TEST", test_component::good);
    test("TEST_FAIL_PREPREPARE", test_component::fail_preprepare);
    test("TEST_FAIL_PREPARE", test_component::fail_prepare);
    test("TEST_FAIL_FIRE", test_component::fail_fire);
    test("TEST_DOESNT_EXPORT", test_component::doesnt_export);

    auto constant = [&](const char* name, double value) {
        factory.define(name, [value] { return std::make_unique<basic::constant>(value); });
    };
    constant("INTEGER0", 0);
    constant("INTEGER1", 1);
    constant("INTEGER10", 10);
    constant("INTEGER100", 100);
    constant("INTEGER255", 255);
    for (const char* name : {"RANDOM INTEGER", "RANDOM_INTEGER"}) {
        factory.define(name, [] {
            return std::make_unique<basic::constant>(std::floor(random_real(0, 65535)));
        });
    }

    define_plain<basic::CPU>(factory, "cpu");
    define_plain<basic::RANDOM>(factory, "RANDOM");
    define_plain<basic::INVERSE>(factory, "INVERSE");
    define_plain<basic::SUM>(factory, "SUM");
    define_plain<basic::MULTIPLY>(factory, "MULTIPLY");
    define_plain<basic::DECOMPOSE>(factory, "DECOMPOSE");
    define_plain<basic::OR>(factory, "OR");
    define_plain<basic::split>(factory, "split");
    define_plain<basic::ALTERNATOR>(factory, "alternator");
}

} // namespace zoetra
