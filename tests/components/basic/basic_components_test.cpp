// The basic components: the weighted sum, the product, the inverse, the
// splitter, the decomposition, the random matrix, the alternator, and the
// frame clock (loop modes, wrap-around, manual mode, frame size).
#include "base/utility.hpp"
#include "components/basic/alternator.hpp"
#include "components/basic/arithmetic.hpp"
#include "components/basic/frame_clock.hpp"
#include "components/basic/random_matrix.hpp"
#include "components/basic/routing.hpp"
#include "network.hpp"
#include "raster/output_canvas.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

namespace zoetra::testing {
namespace {

using namespace basic;

using inputs = std::map<int, list>; // IN.k -> one row of values

struct arithmetic_case {
    const char *name, *type;
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
        number_named(r.subject, factor + std::to_string(k)).set_value(0, f);
    number_named(r.subject, "VALUE").set_value(0, 9); // what a missing channel sends
    number_named(r.subject, "VALUE.CONTROL").set_maximum(0, 255);
    for (const auto& [k, row] : c.in)
        r.listen("IN." + std::to_string(k));
    if (!c.control.empty())
        r.listen(control);
    menu_named(r.subject, "TYPE").select_by_name(c.type);
    const int width = int(c.in.begin()->second.size());
    set_size(r.subject, "SIZE", width, 1);
    r.begin("IN.1");
    // The control vector is as long as the connected inputs are many.
    EXPECT_EQ(number_named(r.subject, "SIZE.CONTROL").value(0), double(c.in.size()));
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
        {"equal weights", "UINT8", {{1, {100, 100}}, {2, {200, 200}}}, {}, {}, {{150, 150}}},
        {"no weight", "UINT8", {{1, {100, 7}}, {2, {200, 9}}}, {{1, 0}, {2, 0}}, {}, {{0, 0}}},
        // The division by the total weight cancels a single input's weight.
        {"one input", "UINT8", {{1, {255, 17}}}, {{1, 0.3}}, {}, {{255, 17}}},
        {"16 bits", "UINT16", {{1, {1000, 65535}}, {2, {3000, 65535}}}, {}, {}, {{2000, 65535}}},
        // 51 / 255 and 255 / 255: (100 * 0.2 + 200 * 1.0) / 1.2 = 183.3
        {"controlled weights", "UINT8", {{1, {100}}, {2, {200}}}, {}, {51, 255}, {{183}}},
        {"an input after a gap takes no part", "UINT8", {{1, {100}}, {3, {200}}}, {}, {}, {{100}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(run<SUM>(c, "WEIGHT.", "CONTROL.SUM", {"OUT.sum"}), c.expected) << c.name;
}

TEST(Multiply, ProductsStopAtTheTopAndControlScalesEachChannel) {
    const arithmetic_case cases[] = {
        {"8 bits", "UINT8", {{1, {200, 100}}}, {{1, 2}}, {}, {{255, 200}, {9, 9}, {9, 9}}},
        {"16 bits", "UINT16", {{1, {40000, 1234}}}, {{1, 2}}, {}, {{65535, 2468}, {9, 9}, {9, 9}}},
        // 100 * 2 * 0.2 and 100 * 1 * 1.0
        {"controlled", "UINT8", {{1, {100}}, {2, {100}}}, {{1, 2}}, {51, 255}, {{40}, {100}, {9}}},
        // A missing input leaves its channel to the fill value.
        {"gap", "UINT8", {{1, {10}}, {3, {20}}}, {{3, 3}}, {}, {{10}, {9}, {60}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(run<MULTIPLY>(c, "CONSTANT.", "CONTROL.MULTIPLY", {"OUT.1", "OUT.2", "OUT.3"}),
                  c.expected)
            << c.name;
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
        number_named(r.subject, "VALUE").set_maximum(0, c.hi);
        number_named(r.subject, "VALUE").set_minimum(0, c.lo);
        menu_named(r.subject, "TYPE").select_by_name(c.type);
        set_size(r.subject, "SIZE", double(c.in.size()), 1);
        r.begin("OUT");
        r.give("IN", plane(c.type, int(c.in.size()), 1, c.in));
        r.fire_once();
        EXPECT_EQ(r.values(1), c.out) << c.lo << ".." << c.hi;
    }
}

TEST(Decompose, VectorOfThreeFeedsThreeOutputsAndTheFourthSendsItsFill) {
    component_rig<DECOMPOSE> r;
    r.wire({"IN.decompose"},
           {"OUT.decompose.1", "OUT.decompose.2", "OUT.decompose.3", "OUT.decompose.4"});
    set_size(r.subject, "SIZE.IN", 3, 1);
    number_named(r.subject, "VALUE").set_value(0, 5);
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
    component_rig<RANDOM> r;
    r.program.random().seed(7);
    r.watch("OUT", 1);
    number_named(r.subject, "VALUE").set_minimum(0, 10);
    number_named(r.subject, "VALUE").set_maximum(0, 20);
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
    number_named(r.subject, "SOURCES").set_value(0, 2);
    r.begin("WHICH.alternator");
    r.give("CONTROL.alternator", plane("UINT8", 1, 1, {127})); // seg = 255, frac = 127
    r.fire_once();
    EXPECT_EQ(r.values(1), (list{0, 127}));
    EXPECT_EQ(r.values(2), (list{128, 127}));
}

struct clock_rig : component_rig<CPU> {
    clock_rig(const char* loop, int frames) {
        watch("CONTROL.CPU", 1);
        watch("INTERNAL", 2);
        menu_named(subject, "LOOP").select_by_name(loop);
        number_named(subject, "FRAMES.CONTROL").set_minimum(0, 0);
        number_named(subject, "FRAMES.CONTROL").set_value(0, frames);
    }
    // The control (output 1) or internal (output 2) values of `fires` fires.
    list outputs(int fires, int k = 1) {
        list out;
        for (int i = 0; i < fires; ++i) {
            fire_once();
            out.push_back(values(k).at(0));
        }
        return out;
    }
};

TEST(FrameClock, EightFramesInEachLoopThenTheNinthStartsAgain) {
    const std::pair<const char*, list> loops[] = {
        {"FORWARD", {0, 31, 63, 95, 127, 159, 191, 223}},
        {"BACKWARD", {223, 192, 160, 128, 96, 64, 32, 0}},
        {"FORWARD_AND_BACK", {0, 62, 126, 190, 254, 191, 127, 63}},
        {"BACK_AND_FORTH", {255, 193, 129, 65, 1, 64, 128, 192}}};
    for (auto [loop, expected] : loops) {
        clock_rig r(loop, 8);
        r.begin("CONTROL.CPU");
        expected.push_back(expected.front());
        EXPECT_EQ(r.outputs(9), expected) << loop;
        // The internal output is the plain position whatever the loop.
        EXPECT_EQ(r.outputs(8, 2), (list{31, 63, 95, 127, 159, 191, 223, 0})) << loop;
    }
}

TEST(FrameClock, SingleFrameStaysAtTheStart) {
    // A frame count that truncates to 0 must not divide by zero: it counts as 1.
    for (auto [loop, frames, value] :
         {std::tuple{"FORWARD_AND_BACK", 1, 0u}, std::tuple{"BACK_AND_FORTH", 1, 255u},
          std::tuple{"BACKWARD", 1, 0u}, std::tuple{"FORWARD", 0, 0u}}) {
        clock_rig r(loop, frames);
        r.begin("CONTROL.CPU");
        EXPECT_EQ(r.outputs(3), list(3, value)) << loop;
    }
}

TEST(FrameClock, ManualModeHoldsThePositionWhileTheCounterRuns) {
    clock_rig r("FORWARD", 4);
    menu_named(r.subject, "MODE").select_by_name("MANUAL");
    number_named(r.subject, "value.internal").set_value(0, 40);
    r.begin("CONTROL.CPU");
    EXPECT_EQ(r.outputs(3, 1), list(3, 40));
    EXPECT_EQ(r.values(2), list{40});
    // preprepare reads the mode again but, unlike prepare, keeps the counter.
    menu_named(r.subject, "MODE").select_by_name("AUTO");
    ASSERT_TRUE(r.subject.preprepare());
    EXPECT_EQ(r.outputs(1), list{191}); // frame 3 of 4
    ASSERT_TRUE(r.subject.prepare());
    EXPECT_EQ(r.outputs(1), list{0});
}

TEST(FrameClock, FrameSizeFollowsAndSetsTheOutputArea) {
    clock_rig alone("FORWARD", 8); // without a frame image the size is left alone
    set_size(alone.subject, "SIZE.BUFFER", 900, 700);
    alone.begin("CONTROL.CPU");
    EXPECT_EQ(number_named(alone.subject, "SIZE.BUFFER").value(1), 700);

    output_canvas canvas(600, 386, colour{}); // a work area of 600 x 386
    canvas.set_output_size(350, 250);
    const run_context network{nullptr, &canvas};
    CPU clock;
    clock.set_context(&network);
    auto size = [&] {
        return std::pair(number_named(clock, "SIZE.BUFFER").value(0),
                         number_named(clock, "SIZE.BUFFER").value(1));
    };
    ASSERT_TRUE(clock.preprepare());
    EXPECT_EQ(size(), std::pair(350.0, 250.0));
    set_size(clock, "SIZE.BUFFER", 1000, 1000); // clamped to the work area
    ASSERT_TRUE(clock.prepare());
    EXPECT_EQ(size(), std::pair(600.0, 386.0));
    EXPECT_EQ(canvas.output_area(), (rect{0, 0, 600, 386}));

    set_size(clock, "SIZE.BUFFER", 100, 50); // centred
    ASSERT_TRUE(clock.prepare());
    EXPECT_EQ(canvas.output_area(), (rect{250, 193 - 25, 100, 50}));
}

} // namespace
} // namespace zoetra::testing
