#include "components/basic/register.hpp"

#include "app/services/utility.hpp"
#include "components/basic/constant.hpp"
#include "components/basic/test_component.hpp"

#include <cmath>

namespace zoetra {

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
    factory.define("RANDOM INTEGER", [] {
        return std::make_unique<basic::constant>(std::floor(random_real(0, 65535)));
    });
}

} // namespace zoetra
