// Components, ports and matrices: look-ups, readiness, firing and sending,
// connections, audits and their reports, fill values, layout and dumps.
#include "../components/basic/network.hpp"
#include "components/basic/constant.hpp"
#include "components/basic/test_component.hpp"
#include "engine/component.hpp"
#include "engine/description.hpp"
#include "engine/element.hpp"
#include "engine/matrix.hpp"
#include "engine/port.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace zoetra {
namespace {

using basic::constant;
using basic::test_component;

// What body prints on standard output.
template <class F> std::string printed(F body) {
    ::testing::internal::CaptureStdout();
    body();
    return ::testing::internal::GetCapturedStdout();
}

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

matrix_ptr filled(std::uint16_t x, std::uint16_t y, bool wide, unsigned value) {
    return testing::plane(wide ? "UINT16" : "UINT8", x, y, [=](int, int) { return value; });
}

TEST(Connect, ChecksInOrderAndReportsTheFirstFailure) {
    test_component a(test_component::good), b(test_component::good), c(test_component::good);
    std::string error;
    auto refused = [&](port& from, port& to, const char* why) {
        EXPECT_FALSE(port::connect(from, to, &error)) << why;
        EXPECT_EQ(error, why);
    };
    refused(a.find_port("OUT.small"), a.find_port("IN.small"), "same component");
    refused(a.find_port("OUT.small"), b.find_port("OUT.big"), "same direction");
    EXPECT_TRUE(port::connect(b.find_port("IN.small"), a.find_port("OUT.small"), &error));
    refused(b.find_port("IN.small"), c.find_port("OUT.small"), "source port already connected");
    refused(c.find_port("OUT.small"), b.find_port("IN.small"),
            "destination port already connected");
    EXPECT_FALSE(port::connect(a.find_port("OUT.small"), a.find_port("OUT.small"), nullptr));
}

TEST(Audit, WritesTheExactReportForAWrongType) {
    test_component owner(test_component::good);
    port& in = owner.find_port("IN.small");
    auto wide = filled(2, 1, true, 5);
    std::string error;
    const std::string report = printed([&] { EXPECT_FALSE(in.hold(wide, error)); });
    EXPECT_EQ(error, "matrix fails type");
    ASSERT_TRUE(wide); // a refused matrix stays with the party that offered it
    auto dump = [](const description& d) { return printed([&] { d.dump(); }); };
    EXPECT_EQ(
        report,
        "***** \"TEST\" ****** FAILED AUDIT:matrix fails type ******** \"IN.small\" *********\n"
        "------PORT------\n" +
            dump(in.desc()) + "Current Matrix Type:UINT8\n" +
            dump(owner.find_config("VALUE").desc()) + dump(owner.find_config("SIZE.small").desc()) +
            "Connected Port:none\nLoaded Matrix:none\nDIRECTION:in\n"
            "------MATRIX------\n"
            "Dimension0 = 2\nDimension1 = 1\nDimension2 = 1\n"
            "U32_size:2\nU32_mem_size:4\nU8_element_size:2\n" +
            std::string(69, '*') + "\n");
}

TEST(Audit, SizeAndValueFailuresWriteTheirLines) {
    test_component owner(test_component::good);
    port& in = owner.find_port("IN.small");
    std::string error;
    // The report's first line, after the audit of a matrix that fails.
    auto first_line = [&](const matrix_ptr& m) {
        const std::string report = printed([&] { EXPECT_FALSE(in.audit(*m, error)); });
        return report.substr(0, report.find('\n') + 1);
    };
    EXPECT_EQ(first_line(filled(3, 1, false, 1)), "3 x 1 x 1 != 2 x 1 x 1\n");
    EXPECT_EQ(error, "matrix fails size");

    // A maximum of 65535 on a "UINT8" port audits against its low 8 bits: 255.
    owner.number("VALUE").set_maximum(0, 65535);
    EXPECT_TRUE(in.audit(*filled(2, 1, false, 255), error));
    // A maximum of 256 truncates to 0 and refuses every non-zero element.
    owner.number("VALUE").set_maximum(0, 256);
    EXPECT_EQ(first_line(filled(2, 1, false, 1)), "offending U8_value:1\n");
    EXPECT_EQ(error, "matrix fails value");

    owner.menu("TYPE").select(1);
    owner.number("VALUE").set_maximum(0, 1000);
    EXPECT_EQ(first_line(filled(2, 1, true, 1001)), "offending U16_value:1001(0-1000)\n");
}

TEST(Port, MakesFillValueMatricesAndHandsThemOver) {
    constant ten(10);
    test_component sink(test_component::good);
    port& out = ten.find_port("OUT.integer");
    port& in = sink.find_port("IN.small");
    ten.number("SIZE").set_value(0, 2);

    // An input that received nothing answers with a fill-value matrix.
    EXPECT_EQ(in.get_matrix().value_at(1), 127u);
    in.release();

    // An unconnected output keeps its matrix and succeeds.
    std::string error;
    auto held = out.make_matrix(true);
    ASSERT_TRUE(out.hold(held, error));
    EXPECT_TRUE(out.send(error));
    EXPECT_TRUE(out.holds_matrix());
    out.release();
    EXPECT_FALSE(out.holds_matrix());

    // A connected output with nothing held sends its fill value.
    ASSERT_TRUE(port::connect(out, in, &error));
    EXPECT_TRUE(out.send(error));
    EXPECT_FALSE(out.holds_matrix());
    ASSERT_TRUE(in.holds_matrix());
    EXPECT_EQ(testing::values_of(in.get_matrix()), (testing::list{10, 10}));

    // Fill values are truncated to the element width.
    constant big(300);
    EXPECT_EQ(big.find_port("OUT.integer").make_matrix(true)->value_at(0), 300u & 0xFF);
    big.menu("TYPE").select(1);
    EXPECT_EQ(big.find_port("OUT.integer").make_matrix(true)->value_at(0), 300u);
}

TEST(Port, ReadsItsAttributesFromTheComponentElement) {
    test_component owner(test_component::good);
    const element_tree tree = read_element_tree(
        "<TEST><in name=in.small id=check.in idref=ten.out title=Small></in>"
        "<out name=OUT.SMALL id=check.out idref=ignored type=SPECIAL></out></TEST>");
    owner.store_element(tree.root.get());
    owner.read_element();
    const description& in = owner.find_port("IN.small").desc();
    EXPECT_EQ(std::tuple(in.id, in.idref, in.title), std::tuple("check.in", "ten.out", "Small"));
    const description& out = owner.find_port("OUT.small").desc();
    EXPECT_EQ(out.class_name, "SPECIAL");
    EXPECT_FALSE(out.has_idref()); // outputs do not read an idref
}

matrix make(int dims, std::uint16_t x, std::uint16_t y, std::uint16_t z, bool wide) {
    const std::uint16_t sizes[3] = {x, y, z};
    return matrix(dims, sizes, wide ? 2 : 1, wide ? "UINT16" : "UINT8");
}

TEST(Matrix, LayoutPutsXFastestThenYThenZAndFillsEveryElement) {
    matrix two = make(2, 5, 4, 9, false);
    EXPECT_EQ(two.size(2), 1); // sizes beyond the dimension count are 1
    EXPECT_EQ(two.element_count(), 20u);

    matrix m = make(3, 3, 2, 2, true);
    EXPECT_EQ(m.byte_size(), 24u);
    EXPECT_EQ(m.element_address(2, 1, 1) - m.data(), 22);
    std::uint16_t v = 0xBEEF;
    m.set_element(&v, 2, 1, 1);
    EXPECT_EQ(m.value_at(2, 1, 1), 0xBEEFu);
    EXPECT_EQ(m.data()[22], 0xEF); // native little-endian order

    // A fill value goes into every element; clones are independent.
    const std::uint16_t sizes[3] = {3, 3, 1};
    std::uint16_t fill = 500;
    const matrix filled(3, sizes, 2, "UINT16", &fill);
    EXPECT_EQ(testing::values_of(filled), testing::list(9, 500));
    auto copy = filled.clone();
    copy->u16(1, 1) = 7;
    EXPECT_EQ(filled.value_at(1, 1), 500u);
    EXPECT_EQ(std::tuple(copy->type_name(), copy->dimension_count()), std::tuple("UINT16", 3));
}

TEST(Matrix, DumpsSizesAndValues) {
    matrix m = make(3, 2, 2, 1, false);
    const std::uint8_t values[] = {1, 2, 3, 4};
    std::memcpy(m.data(), values, 4);
    EXPECT_EQ(printed([&] {
                  m.dump(0);
                  m.dump(1);
              }),
              "Dimension0 = 2\nDimension1 = 2\nDimension2 = 1\n"
              "U32_size:4\nU32_mem_size:4\nU8_element_size:1\n"
              "  1   2 \n  3   4 \n");

    matrix planes = make(3, 1, 1, 2, true);
    planes.u16(0, 0, 0) = 65535;
    planes.u16(0, 0, 1) = 3;
    EXPECT_EQ(printed([&] { planes.dump(1); }), "65535 \n\n    3 \n\n");

    const std::uint16_t sizes[3] = {1, 1, 1};
    matrix odd(3, sizes, 1, "FLOAT");
    EXPECT_EQ(printed([&] { odd.dump(1); }), "");
}

TEST(Description, DumpsDefaultsAndColourBytesInTheirOrder) {
    description d;
    EXPECT_EQ(printed([&] { d.dump(); }),
              "title:no_title\nname:no_name\ntype:no_type\nclass:no_class\nid:no_id\n"
              "description:no_description\nimage_file_name:no_image_file\n"
              "color:(0,0,0,0)\nversion:1.0000\n");
    d.color = 0x11223344; // bytes from the lowest: 68, 51, 34, 17
    d.idref = "hidden";
    d.version = 2.5;
    const std::string text = printed([&] { d.dump(); });
    EXPECT_NE(text.find("color:(51,34,17,68)\n"), std::string::npos);
    EXPECT_NE(text.find("version:2.5000\n"), std::string::npos);
    EXPECT_EQ(text.find("hidden"), std::string::npos); // the idref is not written
}

} // namespace
} // namespace zoetra
