#include "components/basic/constant.hpp"
#include "components/basic/test_component.hpp"
#include "engine/component.hpp"
#include "engine_test_support.hpp"

#include <gtest/gtest.h>

namespace zoetra {
namespace {

using basic::constant;
using basic::test_component;
using testing_support::printed;

class portless : public component {
  public:
    portless() : component(kind_output, "EMPTY", 1.0) {}
    bool fire(std::string& error) override { return finish_fire(error, true); }
};

TEST(Component, LooksUpNamesIgnoringCaseFirstRegisteredWins) {
    test_component t(test_component::good);
    EXPECT_EQ(&t.find_config("size.SMALL"), &t.config_at(1));
    EXPECT_EQ(&t.find_port("in.BIG"), &t.port_at(3));
    EXPECT_EQ(t.desc().class_name, "INPUT");
    EXPECT_EQ(t.desc().type, "COMPONENT");
    EXPECT_EQ(portless().desc().class_name, "OUTPUT");
}

TEST(Component, ReadinessFollowsConnectedInputsAndTheFiredFlag) {
    test_component t(test_component::good);
    EXPECT_TRUE(t.ready()); // unconnected inputs never block
    constant c(1);
    std::string error;
    ASSERT_TRUE(port::connect(c.find_port("OUT.integer"), t.find_port("IN.small"), &error));
    EXPECT_FALSE(t.ready());
    printed([&] { EXPECT_TRUE(t.fire(error)); });
    EXPECT_FALSE(t.ready());
    EXPECT_TRUE(t.fired());

    portless p;
    EXPECT_TRUE(p.fire(error));
    EXPECT_TRUE(p.fired());
}

TEST(Component, FinishFireReleasesEveryPortAndResetStartsAfresh) {
    test_component t(test_component::good);
    std::string error;
    printed([&] { EXPECT_TRUE(t.fire(error)); });
    for (int i = 0; i < t.port_count(); ++i)
        EXPECT_FALSE(t.port_at(i).holds_matrix());

    port& in = t.find_port("IN.small");
    in.get_matrix().u8(0) = 99;
    t.reset();
    EXPECT_FALSE(t.fired());
    EXPECT_EQ(in.get_matrix().value_at(0), 127u); // a fresh fill-value matrix
}

TEST(Component, AFailedSendStopsTheRemainingOutputsButReleasesAll) {
    test_component source(test_component::good), narrow(test_component::good),
        wide(test_component::good);
    std::string error;
    // OUT.small (2 x 1) goes to an input that wants 7 x 4: refused.
    ASSERT_TRUE(port::connect(source.find_port("OUT.small"), narrow.find_port("IN.big"), &error));
    ASSERT_TRUE(port::connect(source.find_port("OUT.big"), wide.find_port("IN.big"), &error));
    printed([&] { EXPECT_FALSE(source.fire(error)); });
    EXPECT_EQ(error, "matrix fails size");
    EXPECT_FALSE(source.fired());
    EXPECT_FALSE(wide.find_port("IN.big").holds_matrix()); // not sent after the failure
    for (int i = 0; i < source.port_count(); ++i)
        EXPECT_FALSE(source.port_at(i).holds_matrix());
}

TEST(Component, CopiesConfigsPositionally) {
    constant a(10), b(20);
    a.number("SIZE").set_maximum(1, 100);
    a.number("SIZE").set_value(1, 50);
    a.menu("TYPE").select(1);
    b.copy_configs_from(a);
    EXPECT_EQ(b.number("VALUE").value(0), 10);
    EXPECT_EQ(b.number("SIZE").value(1), 50);
    EXPECT_EQ(b.number("SIZE").maximum(1), 100);
    EXPECT_EQ(b.menu("TYPE").selected_name(), "UINT16");
}

} // namespace
} // namespace zoetra
