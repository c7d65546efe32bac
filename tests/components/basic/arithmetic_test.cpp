// The weighted sum, the product and the inverse.
#include "components/basic/arithmetic.hpp"
#include "network.hpp"

#include <gtest/gtest.h>

namespace zoetra::testing {
namespace {

using basic::INVERSE;
using basic::MULTIPLY;
using basic::SUM;
using inputs = std::map<int, list>; // IN.k -> one row of values

// Connects and feeds IN.k for every k given (one row each) and the control
// vector when there is one, then fires.
template <class C>
void run(component_rig<C>& r, const std::string& type, const inputs& in, const char* control,
         const list& control_values) {
    const int width = int(in.begin()->second.size());
    for (const auto& [k, row] : in)
        r.listen("IN." + std::to_string(k));
    if (!control_values.empty())
        r.listen(control);
    r.subject.menu("TYPE").select_by_name(type);
    set_size(r.subject, "SIZE", width, 1);
    r.begin("IN.1");
    for (const auto& [k, row] : in)
        r.give("IN." + std::to_string(k), plane(type, width, 1, row));
    if (!control_values.empty())
        r.give(control, plane("UINT8", int(control_values.size()), 1, control_values));
    r.fire_once();
}

list sum(const std::string& type, const inputs& in, const std::vector<double>& weights = {},
         const list& control = {}) {
    component_rig<SUM> r;
    r.watch("OUT.sum", 1);
    for (std::size_t k = 0; k < weights.size(); ++k)
        r.subject.number("WEIGHT." + std::to_string(k + 1)).set_value(0, weights[k]);
    r.subject.number("VALUE.CONTROL").set_maximum(0, 255);
    run(r, type, in, "CONTROL.SUM", control);
    // The control vector is as long as the inputs are many.
    EXPECT_EQ(r.subject.number("SIZE.CONTROL").value(0), double(in.size()));
    return r.values(1);
}

TEST(Sum, WeightedMeanOfTheInputs) {
    EXPECT_EQ(sum("UINT8", {{1, {100, 100}}, {2, {200, 200}}}), (list{150, 150}));
    EXPECT_EQ(sum("UINT8", {{1, {100, 7}}, {2, {200, 9}}}, {0, 0}), (list{0, 0}));
    // One input: the division by the total weight cancels the weight.
    EXPECT_EQ(sum("UINT8", {{1, {255, 17}}}, {0.3}), (list{255, 17}));
    EXPECT_EQ(sum("UINT16", {{1, {1000, 65535}}, {2, {3000, 65535}}}), (list{2000, 65535}));
}

TEST(Sum, ControlVectorGivesTheWeights) {
    // 51 / 255 and 255 / 255: (100 * 0.2 + 200 * 1.0) / 1.2 = 183.3
    EXPECT_EQ(sum("UINT8", {{1, {100}}, {2, {200}}}, {}, {51, 255}), list{183});
}

TEST(Sum, InputAfterAGapTakesNoPart) {
    EXPECT_EQ(sum("UINT8", {{1, {100}}, {3, {200}}}), list{100});
}

// The products that reach OUT.1 to OUT.3 (a missing one sends the fill value 9).
std::vector<list> multiply(const std::string& type, const inputs& in,
                           const std::map<int, double>& constants, const list& control = {}) {
    component_rig<MULTIPLY> r;
    for (int k = 1; k <= 3; ++k)
        r.watch("OUT." + std::to_string(k), k);
    for (const auto& [k, f] : constants)
        r.subject.number("CONSTANT." + std::to_string(k)).set_value(0, f);
    r.subject.number("VALUE").set_value(0, 9);
    r.subject.number("VALUE.CONTROL").set_maximum(0, 255);
    run(r, type, in, "CONTROL.MULTIPLY", control);
    return {r.values(1), r.values(2), r.values(3)};
}

TEST(Multiply, ProductsStopAtTheTopOfTheElementRange) {
    EXPECT_EQ(multiply("UINT8", {{1, {200, 100}}}, {{1, 2}})[0], (list{255, 200}));
    EXPECT_EQ(multiply("UINT16", {{1, {40000, 1234}}}, {{1, 2}})[0], (list{65535, 2468}));
}

TEST(Multiply, ControlScalesEachChannelByItsOwnElement) {
    const auto out = multiply("UINT8", {{1, {100}}, {2, {100}}}, {{1, 2}}, {51, 255});
    EXPECT_EQ(out[0], list{40});  // 100 * 2 * 0.2
    EXPECT_EQ(out[1], list{100}); // 100 * 1 * 1.0
}

TEST(Multiply, MissingInputLeavesItsChannelAbsent) {
    const auto out = multiply("UINT8", {{1, {10}}, {3, {20}}}, {{3, 3}});
    EXPECT_EQ(out, (std::vector<list>{{10}, {9}, {60}}));
}

list inverse(const std::string& type, double lo, double hi, const list& in) {
    component_rig<INVERSE> r;
    r.listen("IN");
    r.watch("OUT", 1);
    r.subject.number("VALUE").set_maximum(0, hi);
    r.subject.number("VALUE").set_minimum(0, lo);
    r.subject.menu("TYPE").select_by_name(type);
    set_size(r.subject, "SIZE", double(in.size()), 1);
    r.begin("OUT");
    r.give("IN", plane(type, int(in.size()), 1, in));
    r.fire_once();
    return r.values(1);
}

TEST(Inverse, MirrorsWithinTheInputRange) {
    EXPECT_EQ(inverse("UINT8", 0, 255, {0, 200, 255}), (list{255, 55, 0}));
    EXPECT_EQ(inverse("UINT8", 10, 100, {10, 100, 50}), (list{100, 10, 60}));
    EXPECT_EQ(inverse("UINT16", 0, 65535, {1000}), list{64535});
}

} // namespace
} // namespace zoetra::testing
