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
using list = std::vector<unsigned>;

list got(probe& tap, int k) {
    const matrix* m = tap.received(k);
    return m != nullptr ? values_of(*m) : list{};
}

TEST(Or, InitialSelectionPassesTheThirdInput) {
    OR selector;
    feeder source;
    probe tap;
    for (int k = 1; k <= 4; ++k)
        connect(source.out(k), selector.find_port("IN." + std::to_string(k)));
    connect(selector.find_port("OUT"), tap.in(1));
    set_size(selector, "SIZE", 3, 1);
    start(selector);
    tap.adopt_shape(selector.find_port("OUT"));
    for (unsigned k = 1; k <= 4; ++k)
        feed(selector.find_port("IN." + std::to_string(k)),
             plane("UINT16", 3, 1, {k, 1000 * k, 60000 + k}));
    fire(selector);
    EXPECT_EQ(got(tap, 1), (list{3, 3000, 60003}));
}

TEST(Or, UnfedInputGivesItsFillValue) {
    OR selector;
    probe tap;
    connect(selector.find_port("OUT"), tap.in(1));
    selector.menu("WHICH").select(0);
    selector.number("VALUE").set_value(0, 77);
    start(selector);
    tap.adopt_shape(selector.find_port("OUT"));
    fire(selector);
    EXPECT_EQ(got(tap, 1), list{77});
}

TEST(Decompose, VectorOfThreeFeedsThreeOutputsAndTheFourthSendsItsFill) {
    DECOMPOSE split_up;
    feeder source;
    probe tap;
    connect(source.out(1), split_up.find_port("IN.decompose"));
    for (int k = 1; k <= 4; ++k)
        connect(split_up.find_port("OUT.decompose." + std::to_string(k)), tap.in(k));
    set_size(split_up, "SIZE.IN", 3, 1);
    split_up.number("VALUE").set_value(0, 5);
    start(split_up);
    tap.adopt_shape(split_up.find_port("OUT.decompose.1"));
    feed(split_up.find_port("IN.decompose"), plane("UINT16", 3, 1, {11, 22, 33}));
    fire(split_up);
    EXPECT_EQ(got(tap, 1), list{11});
    EXPECT_EQ(got(tap, 2), list{22});
    EXPECT_EQ(got(tap, 3), list{33});
    EXPECT_EQ(got(tap, 4), list{5});
}

TEST(Split, EveryConnectedOutputGetsItsOwnCopy) {
    split splitter;
    feeder source;
    probe tap;
    connect(source.out(1), splitter.find_port("IN"));
    connect(splitter.find_port("OUT.2"), tap.in(2));
    connect(splitter.find_port("OUT.4"), tap.in(4));
    set_size(splitter, "SIZE", 2, 2);
    start(splitter);
    tap.adopt_shape(splitter.find_port("IN"));
    feed(splitter.find_port("IN"), plane("UINT16", 2, 2, {1, 2, 3, 65535}));
    fire(splitter);
    EXPECT_EQ(got(tap, 2), (list{1, 2, 3, 65535}));
    EXPECT_EQ(got(tap, 4), (list{1, 2, 3, 65535}));
    EXPECT_NE(tap.received(2), tap.received(4));
}

TEST(Random, DrawsStayInTheRangeAndVary) {
    seed_random(7);
    RANDOM source;
    probe tap;
    connect(source.find_port("OUT"), tap.in(1));
    source.number("VALUE").set_minimum(0, 10);
    source.number("VALUE").set_maximum(0, 20);
    set_size(source, "SIZE", 8, 8);
    start(source);
    tap.adopt_shape(source.find_port("OUT"));
    std::set<unsigned> seen;
    for (int i = 0; i < 4; ++i) {
        fire(source);
        source.clear_fired();
        for (unsigned v : got(tap, 1)) {
            EXPECT_GE(v, 10u);
            EXPECT_LE(v, 20u);
            seen.insert(v);
        }
    }
    EXPECT_GE(seen.size(), 10u);
}

TEST(Alternator, SplitsTheControlRangeIntoSegmentsBetweenSources) {
    auto r = ALTERNATOR::alternate(200, 3, 0);
    EXPECT_EQ(r.weight.first, 109u);
    EXPECT_EQ(r.weight.second, 146u);
    EXPECT_EQ(r.which.first, 85u);
    EXPECT_EQ(r.which.second, 170u);

    r = ALTERNATOR::alternate(255, 2, 0);
    EXPECT_EQ(r.weight.first, 255u);
    EXPECT_EQ(r.weight.second, 0u);
    EXPECT_EQ(r.which.first, 127u);
    EXPECT_EQ(r.which.second, 255u);
}

TEST(Alternator, FrameCountStretchesTheFadeAndClampsIt) {
    // S = 2, c = 223 (frame 7 of 8): frac = 223; stretch 8 / 7 gives 254.9.
    auto r = ALTERNATOR::alternate(223, 2, 8);
    EXPECT_EQ(r.weight.first, 0u);
    EXPECT_EQ(r.weight.second, 254u);
    // Beyond the top the weights are held at 0 and 255.
    r = ALTERNATOR::alternate(250, 2, 2);
    EXPECT_EQ(r.weight.first, 0u);
    EXPECT_EQ(r.weight.second, 255u);
}

TEST(Alternator, FewerThanTwoSourcesShowTheFirstWhole) {
    auto r = ALTERNATOR::alternate(100, 1, 0);
    EXPECT_EQ(r.weight.first, 255u);
    EXPECT_EQ(r.weight.second, 0u);
    EXPECT_EQ(r.which.first, 0u);
    EXPECT_EQ(r.which.second, 255u);
}

TEST(AlternatorNetwork, ClockDrivesWhichAndWeight) {
    network net(R"(<effect>
  <cpu id="clock">
    <valuelist name="FRAMES.CONTROL"><v>2</v></valuelist>
  </cpu>
  <alternator id="alt">
    <valuelist name="SOURCES"><v>2</v></valuelist>
    <in name="CONTROL.alternator" idref="control.cpu"></in>
  </alternator>
  <TEST id="tap">
    <valuelist name="SIZE"><x>2</x><y>1</y><z>1</z></valuelist>
    <menu name="TYPE"><i value="UINT8" selected="true">UINT8</i></menu>
    <in name="IN.1" idref="WHICH.alternator"></in>
    <in name="IN.2" idref="WEIGHT.alternator"></in>
  </TEST>
</effect>)");
    std::string error;
    ASSERT_TRUE(net.start(error)) << error;
    net.run();
    net.run();
    // Frames 0 and 1 of 2: control 0 and 127; seg = 255, frac = 127.
    EXPECT_EQ(net.seen("tap", 1), (std::vector<list>{{0, 127}, {0, 127}}));
    EXPECT_EQ(net.seen("tap", 2), (std::vector<list>{{255, 0}, {128, 127}}));
}

} // namespace
} // namespace zoetra::testing
