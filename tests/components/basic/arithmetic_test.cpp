// The weighted sum, the product and the inverse.
#include "components/basic/arithmetic.hpp"
#include "network.hpp"

#include <gtest/gtest.h>

namespace zoetra::testing {
namespace {

using basic::INVERSE;
using basic::MULTIPLY;
using basic::SUM;
using list = std::vector<unsigned>;

// A component with some numbered inputs connected to a feeder and every
// listed output to a probe.
template <class C> struct rig {
    C subject;
    feeder source;
    probe tap;
    void inputs(std::initializer_list<int> ks) {
        for (int k : ks)
            connect(source.out(k), subject.find_port("IN." + std::to_string(k)));
    }
    void control(const char* name) { connect(source.out(8), subject.find_port(name)); }
    void outputs(std::initializer_list<const char*> names) {
        int k = 1;
        for (const char* name : names)
            connect(subject.find_port(name), tap.in(k++));
    }
    void start_as(const char* type, std::uint16_t w, std::uint16_t h) {
        subject.menu("TYPE").select_by_name(type);
        set_size(subject, "SIZE", w, h);
        start(subject);
        tap.adopt_shape(subject.find_port("IN.1"));
    }
    void give(int k, const char* type, std::uint16_t w, std::uint16_t h, list values) {
        feed(subject.find_port("IN." + std::to_string(k)), plane(type, w, h, values));
    }
    list got(int k = 1) {
        const matrix* m = tap.received(k);
        return m != nullptr ? values_of(*m) : list{};
    }
};

TEST(Sum, MeanOfTwoInputsWithEqualWeights) {
    rig<SUM> r;
    r.inputs({1, 2});
    r.outputs({"OUT.sum"});
    r.start_as("UINT8", 3, 2);
    r.give(1, "UINT8", 3, 2, list(6, 100));
    r.give(2, "UINT8", 3, 2, list(6, 200));
    fire(r.subject);
    EXPECT_EQ(r.got(), list(6, 150));
}

TEST(Sum, ZeroTotalWeightGivesZero) {
    rig<SUM> r;
    r.inputs({1, 2});
    r.outputs({"OUT.sum"});
    r.subject.number("WEIGHT.1").set_value(0, 0);
    r.subject.number("WEIGHT.2").set_value(0, 0);
    r.start_as("UINT8", 2, 1);
    r.give(1, "UINT8", 2, 1, {100, 7});
    r.give(2, "UINT8", 2, 1, {200, 9});
    fire(r.subject);
    EXPECT_EQ(r.got(), (list{0, 0}));
}

TEST(Sum, SingleInputKeepsItsValueWhateverItsWeight) {
    rig<SUM> r;
    r.inputs({1});
    r.outputs({"OUT.sum"});
    r.subject.number("WEIGHT.1").set_value(0, 0.3);
    r.start_as("UINT8", 2, 1);
    r.give(1, "UINT8", 2, 1, {255, 17});
    fire(r.subject);
    EXPECT_EQ(r.got(), (list{255, 17}));
}

TEST(Sum, ControlVectorScaledByItsMaximumGivesTheWeights) {
    rig<SUM> r;
    r.inputs({1, 2});
    r.control("CONTROL.SUM");
    r.outputs({"OUT.sum"});
    r.subject.number("VALUE.CONTROL").set_maximum(0, 255);
    r.start_as("UINT8", 1, 1);
    // preprepare sized the control vector after the connected inputs.
    EXPECT_EQ(r.subject.number("SIZE.CONTROL").value(0), 2);
    feed(r.subject.find_port("CONTROL.SUM"), plane("UINT8", 2, 1, {51, 255}));
    r.give(1, "UINT8", 1, 1, {100});
    r.give(2, "UINT8", 1, 1, {200});
    fire(r.subject);
    // (100 * 0.2 + 200 * 1.0) / 1.2 = 183.3
    EXPECT_EQ(r.got(), list{183});
}

TEST(Sum, InputAfterAGapTakesNoPart) {
    rig<SUM> r;
    r.inputs({1, 3});
    r.outputs({"OUT.sum"});
    r.start_as("UINT8", 1, 1);
    EXPECT_EQ(r.subject.number("SIZE.CONTROL").value(0), 2);
    r.give(1, "UINT8", 1, 1, {100});
    r.give(3, "UINT8", 1, 1, {200});
    fire(r.subject);
    EXPECT_EQ(r.got(), list{100});
}

TEST(Sum, SixteenBitPlanesAreAveragedToo) {
    rig<SUM> r;
    r.inputs({1, 2});
    r.outputs({"OUT.sum"});
    r.start_as("UINT16", 2, 1);
    r.give(1, "UINT16", 2, 1, {1000, 65535});
    r.give(2, "UINT16", 2, 1, {3000, 65535});
    fire(r.subject);
    EXPECT_EQ(r.got(), (list{2000, 65535}));
}

TEST(Multiply, ProductsStopAtTheTopOfTheElementRange) {
    rig<MULTIPLY> r8;
    r8.inputs({1});
    r8.outputs({"OUT.1"});
    r8.subject.number("CONSTANT.1").set_value(0, 2);
    r8.start_as("UINT8", 2, 1);
    r8.give(1, "UINT8", 2, 1, {200, 100});
    fire(r8.subject);
    EXPECT_EQ(r8.got(), (list{255, 200}));

    rig<MULTIPLY> r16;
    r16.inputs({1});
    r16.outputs({"OUT.1"});
    r16.subject.number("CONSTANT.1").set_value(0, 2);
    r16.start_as("UINT16", 2, 1);
    r16.give(1, "UINT16", 2, 1, {40000, 1234});
    fire(r16.subject);
    EXPECT_EQ(r16.got(), (list{65535, 2468}));
}

TEST(Multiply, ControlScalesEachChannelByItsOwnElement) {
    rig<MULTIPLY> r;
    r.inputs({1, 2});
    r.control("CONTROL.MULTIPLY");
    r.outputs({"OUT.1", "OUT.2"});
    r.subject.number("CONSTANT.1").set_value(0, 2);
    r.subject.number("VALUE.CONTROL").set_maximum(0, 255);
    r.start_as("UINT8", 1, 1);
    feed(r.subject.find_port("CONTROL.MULTIPLY"), plane("UINT8", 2, 1, {51, 255}));
    r.give(1, "UINT8", 1, 1, {100});
    r.give(2, "UINT8", 1, 1, {100});
    fire(r.subject);
    EXPECT_EQ(r.got(1), list{40});  // 100 * 2 * 0.2
    EXPECT_EQ(r.got(2), list{100}); // 100 * 1 * 1.0
}

TEST(Multiply, MissingInputLeavesItsChannelAbsent) {
    rig<MULTIPLY> r;
    r.inputs({1, 3});
    r.outputs({"OUT.1", "OUT.2", "OUT.3"});
    r.subject.number("CONSTANT.3").set_value(0, 3);
    r.subject.number("VALUE").set_value(0, 9); // the fill value
    r.start_as("UINT8", 1, 1);
    r.give(1, "UINT8", 1, 1, {10});
    r.give(3, "UINT8", 1, 1, {20});
    fire(r.subject);
    EXPECT_EQ(r.got(1), list{10});
    EXPECT_EQ(r.got(2), list{9}); // no product: the port sends its fill value
    EXPECT_EQ(r.got(3), list{60});
}

TEST(Inverse, MirrorsWithinTheInputRange) {
    rig<INVERSE> full;
    connect(full.source.out(1), full.subject.find_port("IN"));
    full.outputs({"OUT"});
    full.subject.number("VALUE").set_maximum(0, 255);
    full.subject.menu("TYPE").select_by_name("UINT8");
    set_size(full.subject, "SIZE", 3, 1);
    start(full.subject);
    full.tap.adopt_shape(full.subject.find_port("OUT"));
    feed(full.subject.find_port("IN"), plane("UINT8", 3, 1, {0, 200, 255}));
    fire(full.subject);
    EXPECT_EQ(full.got(), (list{255, 55, 0}));

    rig<INVERSE> narrow;
    connect(narrow.source.out(1), narrow.subject.find_port("IN"));
    narrow.outputs({"OUT"});
    narrow.subject.number("VALUE").set_maximum(0, 100);
    narrow.subject.number("VALUE").set_minimum(0, 10);
    narrow.subject.menu("TYPE").select_by_name("UINT8");
    set_size(narrow.subject, "SIZE", 3, 1);
    start(narrow.subject);
    narrow.tap.adopt_shape(narrow.subject.find_port("OUT"));
    feed(narrow.subject.find_port("IN"), plane("UINT8", 3, 1, {10, 100, 50}));
    fire(narrow.subject);
    EXPECT_EQ(narrow.got(), (list{100, 10, 60}));
}

TEST(Inverse, SixteenBitElementsUseTheWholeRange) {
    rig<INVERSE> r;
    connect(r.source.out(1), r.subject.find_port("IN"));
    r.outputs({"OUT"});
    start(r.subject);
    r.tap.adopt_shape(r.subject.find_port("OUT"));
    feed(r.subject.find_port("IN"), plane("UINT16", 1, 1, {1000}));
    fire(r.subject);
    EXPECT_EQ(r.got(), list{64535});
}

// Inputs that listen need ids of their own: "IN.1" alone would name the
// first such port of the network, the sum's.
TEST(SumNetwork, ConstantsSummedFromAnEffectFile) {
    network net(R"(<effect>
  <INTEGER100 id="a">
    <out name="OUT.integer" id="a.out"></out>
  </INTEGER100>
  <INTEGER10 id="b">
    <out name="OUT.integer" id="b.out"></out>
  </INTEGER10>
  <SUM id="sum">
    <menu name="TYPE"><i value="UINT8" selected="true">UINT8</i></menu>
    <valuelist name="WEIGHT.2"><v>0.5</v></valuelist>
    <in name="IN.1" id="sum.in.1" idref="a.out"></in>
    <in name="IN.2" id="sum.in.2" idref="b.out"></in>
    <out name="OUT.sum" id="sum.out"></out>
  </SUM>
  <TEST id="tap">
    <menu name="TYPE"><i value="UINT8" selected="true">UINT8</i></menu>
    <in name="IN.1" id="tap.in" idref="sum.out"></in>
  </TEST>
</effect>)");
    std::string error;
    ASSERT_TRUE(net.start(error)) << error;
    net.run();
    // (100 + 10 * 0.5) / 1.5 = 70
    EXPECT_EQ(net.seen("tap"), std::vector<list>{list{70}});
}

} // namespace
} // namespace zoetra::testing
