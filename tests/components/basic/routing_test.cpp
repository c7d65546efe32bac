// The splitter, the input selector, the decomposition, the random matrix
// and the alternator.
#include "app/services/utility.hpp"
#include "components/basic/alternator.hpp"
#include "components/basic/random_matrix.hpp"
#include "components/basic/routing.hpp"
#include "network.hpp"

#include <gtest/gtest.h>

#include <set>

namespace zoetra::testing {
namespace {

using namespace basic;

TEST(Or, InitialSelectionPassesTheThirdInput) {
    component_rig<OR> r;
    r.wire({"IN.1", "IN.2", "IN.3", "IN.4"}, {"OUT"});
    set_size(r.subject, "SIZE", 2, 1);
    r.begin("OUT");
    for (unsigned k = 1; k <= 4; ++k)
        r.give("IN." + std::to_string(k), plane("UINT16", 2, 1, {k, 60000 + k}));
    r.fire_once();
    EXPECT_EQ(r.values(1), (list{3, 60003}));
}

TEST(Decompose, VectorOfThreeFeedsThreeOutputsAndTheFourthSendsItsFill) {
    component_rig<DECOMPOSE> r;
    r.wire({"IN.decompose"},
           {"OUT.decompose.1", "OUT.decompose.2", "OUT.decompose.3", "OUT.decompose.4"});
    set_size(r.subject, "SIZE.IN", 3, 1);
    r.subject.number("VALUE").set_value(0, 5);
    r.begin("OUT.decompose.1");
    r.give("IN.decompose", plane("UINT16", 3, 1, {11, 22, 33}));
    r.fire_once();
    EXPECT_EQ((std::vector<list>{r.values(1), r.values(2), r.values(3), r.values(4)}),
              (std::vector<list>{{11}, {22}, {33}, {5}}));
}

TEST(Split, EveryConnectedOutputGetsItsOwnCopy) {
    component_rig<split> r;
    r.listen("IN");
    r.watch("OUT.2", 2);
    r.watch("OUT.4", 4);
    set_size(r.subject, "SIZE", 2, 1);
    r.begin("IN");
    r.give("IN", plane("UINT16", 2, 1, {1, 65535}));
    r.fire_once();
    EXPECT_EQ(r.values(2), (list{1, 65535}));
    EXPECT_EQ(r.values(4), (list{1, 65535}));
    EXPECT_NE(r.got(2), r.got(4));
}

TEST(Random, DrawsStayInTheRangeAndVary) {
    seed_random(7);
    component_rig<RANDOM> r;
    r.watch("OUT", 1);
    r.subject.number("VALUE").set_minimum(0, 10);
    r.subject.number("VALUE").set_maximum(0, 20);
    set_size(r.subject, "SIZE", 8, 8);
    r.begin("OUT");
    std::set<unsigned> seen;
    for (int i = 0; i < 4; ++i) {
        r.fire_once();
        for (unsigned v : r.values(1))
            seen.insert(v);
    }
    // floor(lo + (hi - lo) * r / 32767) reaches hi only for the top draw.
    EXPECT_EQ(*seen.begin(), 10u);
    EXPECT_LE(*seen.rbegin(), 20u);
    EXPECT_GE(seen.size(), 10u);
}

using pairs = std::pair<std::pair<unsigned, unsigned>, std::pair<unsigned, unsigned>>;
pairs alternate(unsigned c, std::uint8_t sources, std::uint8_t frames) {
    const auto r = ALTERNATOR::alternate(c, sources, frames);
    return {{r.weight.first, r.weight.second}, {r.which.first, r.which.second}};
}

TEST(Alternator, SegmentsWeightsAndPositions) {
    // S = 3: seg = 127, i = 1, r = 73, frac = 146.
    EXPECT_EQ(alternate(200, 3, 0), (pairs{{109, 146}, {85, 170}}));
    EXPECT_EQ(alternate(255, 2, 0), (pairs{{255, 0}, {127, 255}}));
    // Fewer than two sources show the first whole.
    EXPECT_EQ(alternate(100, 1, 0), (pairs{{255, 0}, {0, 255}}));
    // F = 8 stretches the fade by 8 / 7: frac 223 gives 254.9.
    EXPECT_EQ(alternate(223, 2, 8).first, (std::pair{0u, 254u}));
    // Stretched beyond the top, the weights stop at 0 and 255.
    EXPECT_EQ(alternate(250, 2, 2).first, (std::pair{0u, 255u}));
}

TEST(Alternator, FireWritesWhichAndWeightPlanes) {
    component_rig<ALTERNATOR> r;
    r.wire({"CONTROL.alternator"}, {"WHICH.alternator", "WEIGHT.alternator"});
    r.subject.number("SOURCES").set_value(0, 2);
    r.begin("WHICH.alternator");
    r.give("CONTROL.alternator", plane("UINT8", 1, 1, {127})); // seg = 255, frac = 127
    r.fire_once();
    EXPECT_EQ(r.values(1), (list{0, 127}));
    EXPECT_EQ(r.values(2), (list{128, 127}));
}

} // namespace
} // namespace zoetra::testing
