// The weighted sum, the product and the inverse.
#include "components/basic/arithmetic.hpp"
#include "network.hpp"

#include <gtest/gtest.h>

#include <map>

namespace zoetra::testing {
namespace {

using namespace basic;
using inputs = std::map<int, list>; // IN.k -> one row of values

struct arithmetic_case {
    const char* type;
    inputs in;
    std::map<int, double> factors; // WEIGHT.k or CONSTANT.k
    list control;                  // CONTROL.SUM or CONTROL.MULTIPLY when not empty
    std::vector<list> expected;    // OUT.sum, or OUT.1 to OUT.3
};

// Feeds IN.k (one row each) and the control vector, fires, and takes the outputs.
template <class C>
std::vector<list> run(const arithmetic_case& c, const char* factor, const char* control,
                      std::vector<std::string> outputs) {
    component_rig<C> r;
    r.wire({}, outputs);
    for (const auto& [k, f] : c.factors)
        r.subject.number(factor + std::to_string(k)).set_value(0, f);
    r.subject.number("VALUE").set_value(0, 9); // what a missing channel sends
    r.subject.number("VALUE.CONTROL").set_maximum(0, 255);
    for (const auto& [k, row] : c.in)
        r.listen("IN." + std::to_string(k));
    if (!c.control.empty())
        r.listen(control);
    r.subject.menu("TYPE").select_by_name(c.type);
    const int width = int(c.in.begin()->second.size());
    set_size(r.subject, "SIZE", width, 1);
    r.begin("IN.1");
    // The control vector is as long as the connected inputs are many.
    EXPECT_EQ(r.subject.number("SIZE.CONTROL").value(0), double(c.in.size()));
    for (const auto& [k, row] : c.in)
        r.give("IN." + std::to_string(k), plane(c.type, width, 1, row));
    if (!c.control.empty())
        r.give(control, plane("UINT8", int(c.control.size()), 1, c.control));
    r.fire_once();
    std::vector<list> out;
    for (std::size_t k = 0; k < outputs.size(); ++k)
        out.push_back(r.values(int(k + 1)));
    return out;
}

TEST(Sum, WeightedMeanOfTheInputs) {
    const arithmetic_case cases[] = {
        {"UINT8", {{1, {100, 100}}, {2, {200, 200}}}, {}, {}, {{150, 150}}},
        {"UINT8", {{1, {100, 7}}, {2, {200, 9}}}, {{1, 0}, {2, 0}}, {}, {{0, 0}}},
        // One input: the division by the total weight cancels the weight.
        {"UINT8", {{1, {255, 17}}}, {{1, 0.3}}, {}, {{255, 17}}},
        {"UINT16", {{1, {1000, 65535}}, {2, {3000, 65535}}}, {}, {}, {{2000, 65535}}},
        // 51 / 255 and 255 / 255: (100 * 0.2 + 200 * 1.0) / 1.2 = 183.3
        {"UINT8", {{1, {100}}, {2, {200}}}, {}, {51, 255}, {{183}}},
        // An input after a gap takes no part.
        {"UINT8", {{1, {100}}, {3, {200}}}, {}, {}, {{100}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(run<SUM>(c, "WEIGHT.", "CONTROL.SUM", {"OUT.sum"}), c.expected)
            << c.in.begin()->second[0];
}

TEST(Multiply, ProductsStopAtTheTopAndControlScalesEachChannel) {
    const arithmetic_case cases[] = {
        {"UINT8", {{1, {200, 100}}}, {{1, 2}}, {}, {{255, 200}, {9, 9}, {9, 9}}},
        {"UINT16", {{1, {40000, 1234}}}, {{1, 2}}, {}, {{65535, 2468}, {9, 9}, {9, 9}}},
        // 100 * 2 * 0.2 and 100 * 1 * 1.0
        {"UINT8", {{1, {100}}, {2, {100}}}, {{1, 2}}, {51, 255}, {{40}, {100}, {9}}},
        // A missing input leaves its channel to the fill value.
        {"UINT8", {{1, {10}}, {3, {20}}}, {{3, 3}}, {}, {{10}, {9}, {60}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(run<MULTIPLY>(c, "CONSTANT.", "CONTROL.MULTIPLY", {"OUT.1", "OUT.2", "OUT.3"}),
                  c.expected)
            << c.in.begin()->second[0];
}

TEST(Inverse, MirrorsWithinTheInputRange) {
    struct {
        const char* type;
        double lo, hi;
        list in, out;
    } const cases[] = {{"UINT8", 0, 255, {0, 200, 255}, {255, 55, 0}},
                       {"UINT8", 10, 100, {10, 100, 50}, {100, 10, 60}},
                       {"UINT16", 0, 65535, {1000}, {64535}}};
    for (const auto& c : cases) {
        component_rig<INVERSE> r;
        r.wire({"IN"}, {"OUT"});
        r.subject.number("VALUE").set_maximum(0, c.hi);
        r.subject.number("VALUE").set_minimum(0, c.lo);
        r.subject.menu("TYPE").select_by_name(c.type);
        set_size(r.subject, "SIZE", double(c.in.size()), 1);
        r.begin("OUT");
        r.give("IN", plane(c.type, int(c.in.size()), 1, c.in));
        r.fire_once();
        EXPECT_EQ(r.values(1), c.out) << c.lo << ".." << c.hi;
    }
}

} // namespace
} // namespace zoetra::testing
