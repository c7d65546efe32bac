#include "../components/basic/network.hpp"
#include "components/basic/constant.hpp"
#include "components/basic/test_component.hpp"
#include "engine/port.hpp"
#include "engine_test_support.hpp"

#include <gtest/gtest.h>

namespace zoetra {
namespace {

using basic::constant;
using basic::test_component;
using testing_support::printed;

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
    auto root = testing_support::parse(
        "<TEST><in name=in.small id=check.in idref=ten.out title=Small></in>"
        "<out name=OUT.SMALL id=check.out idref=ignored type=SPECIAL></out></TEST>");
    owner.store_element(root.get());
    owner.read_element();
    const description& in = owner.find_port("IN.small").desc();
    EXPECT_EQ(std::tuple(in.id, in.idref, in.title), std::tuple("check.in", "ten.out", "Small"));
    const description& out = owner.find_port("OUT.small").desc();
    EXPECT_EQ(out.class_name, "SPECIAL");
    EXPECT_FALSE(out.has_idref()); // outputs do not read an idref
}

} // namespace
} // namespace zoetra
