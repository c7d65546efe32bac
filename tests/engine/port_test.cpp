#include "components/basic/constant.hpp"
#include "components/basic/test_component.hpp"
#include "engine/port.hpp"

#include <gtest/gtest.h>

namespace zoetra {
namespace {

using basic::constant;
using basic::test_component;

matrix_ptr make_matrix(std::uint16_t x, std::uint16_t y, bool wide, unsigned value) {
    const std::uint16_t sizes[3] = {x, y, 1};
    auto m = std::make_unique<matrix>(3, sizes, wide ? 2 : 1, wide ? "UINT16" : "UINT8");
    for (std::uint16_t i = 0; i < x; ++i)
        for (std::uint16_t j = 0; j < y; ++j) {
            if (wide)
                m->u16(i, j) = static_cast<std::uint16_t>(value);
            else
                m->u8(i, j) = static_cast<std::uint8_t>(value);
        }
    return m;
}

TEST(Connect, ChecksInOrderAndReportsTheFirstFailure) {
    test_component a(test_component::good), b(test_component::good);
    std::string error;
    EXPECT_FALSE(port::connect(a.find_port("OUT.small"), a.find_port("IN.small"), &error));
    EXPECT_EQ(error, "same component");
    EXPECT_FALSE(port::connect(a.find_port("OUT.small"), b.find_port("OUT.big"), &error));
    EXPECT_EQ(error, "same direction");
    EXPECT_TRUE(port::connect(b.find_port("IN.small"), a.find_port("OUT.small"), &error));
    test_component c(test_component::good);
    EXPECT_FALSE(port::connect(b.find_port("IN.small"), c.find_port("OUT.small"), &error));
    EXPECT_EQ(error, "source port already connected");
    EXPECT_FALSE(port::connect(c.find_port("OUT.small"), b.find_port("IN.small"), &error));
    EXPECT_EQ(error, "destination port already connected");
    EXPECT_FALSE(port::connect(a.find_port("OUT.small"), a.find_port("OUT.small"), nullptr));
}

std::string description_dump(const description& d) {
    testing::internal::CaptureStdout();
    d.dump();
    return testing::internal::GetCapturedStdout();
}

TEST(Audit, WritesTheExactReportForAWrongType) {
    test_component owner(test_component::good);
    port& in = owner.find_port("IN.small");
    auto wide = make_matrix(2, 1, true, 5);
    std::string error;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(in.hold(wide, error));
    std::string report = testing::internal::GetCapturedStdout();
    EXPECT_EQ(error, "matrix fails type");
    ASSERT_TRUE(wide); // a refused matrix stays with the party that offered it
    std::string expected =
        "***** \"TEST\" ****** FAILED AUDIT:matrix fails type ******** \"IN.small\" *********\n"
        "------PORT------\n" +
        description_dump(in.desc()) + "Current Matrix Type:UINT8\n" +
        description_dump(owner.find_config("VALUE").desc()) +
        description_dump(owner.find_config("SIZE.small").desc()) +
        "Connected Port:none\nLoaded Matrix:none\nDIRECTION:in\n"
        "------MATRIX------\n"
        "Dimension0 = 2\nDimension1 = 1\nDimension2 = 1\n"
        "U32_size:2\nU32_mem_size:4\nU8_element_size:2\n" +
        std::string(69, '*') + "\n";
    EXPECT_EQ(report, expected);
}

TEST(Audit, SizeAndValueFailuresWriteTheirLines) {
    test_component owner(test_component::good);
    port& in = owner.find_port("IN.small");
    std::string error;

    auto wrong_size = make_matrix(3, 1, false, 1);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(in.audit(*wrong_size, error));
    std::string report = testing::internal::GetCapturedStdout();
    EXPECT_EQ(error, "matrix fails size");
    EXPECT_EQ(report.rfind("3 x 1 x 1 != 2 x 1 x 1\n***** \"TEST\"", 0), 0u);

    // A maximum of 65535 on a "UINT8" port audits against its low 8 bits: 255.
    owner.number("VALUE").set_maximum(0, 65535);
    auto full = make_matrix(2, 1, false, 255);
    EXPECT_TRUE(in.audit(*full, error));
    // A maximum of 256 truncates to 0 and refuses every non-zero element.
    owner.number("VALUE").set_maximum(0, 256);
    auto one = make_matrix(2, 1, false, 1);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(in.audit(*one, error));
    report = testing::internal::GetCapturedStdout();
    EXPECT_EQ(error, "matrix fails value");
    EXPECT_EQ(report.rfind("offending U8_value:1\n", 0), 0u);

    owner.menu("TYPE").select(1);
    owner.number("VALUE").set_maximum(0, 1000);
    auto big = make_matrix(2, 1, true, 1001);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(in.audit(*big, error));
    report = testing::internal::GetCapturedStdout();
    EXPECT_EQ(report.rfind("offending U16_value:1001(0-1000)\n", 0), 0u);
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
    EXPECT_EQ(in.get_matrix().value_at(0), 10u);
    EXPECT_EQ(in.get_matrix().value_at(1), 10u);
}

TEST(Port, FillValuesAreTruncatedToTheElementWidth) {
    constant big(300);
    matrix_ptr m = big.find_port("OUT.integer").make_matrix(true);
    EXPECT_EQ(m->value_at(0), 300u & 0xFF);
    big.menu("TYPE").select(1);
    m = big.find_port("OUT.integer").make_matrix(true);
    EXPECT_EQ(m->value_at(0), 300u);
    EXPECT_EQ(m->dimension_count(), 3);
}

TEST(Port, ReadsItsAttributesFromTheComponentElement) {
    test_component owner(test_component::good);
    element_tree tree = read_element_tree(
        "<TEST><in name=in.small id=check.in idref=ten.out title=Small></in>"
        "<out name=OUT.SMALL id=check.out idref=ignored type=SPECIAL></out></TEST>");
    ASSERT_TRUE(tree.root);
    owner.store_element(tree.root.get());
    owner.read_element();
    port& in = owner.find_port("IN.small");
    EXPECT_EQ(in.desc().id, "check.in");
    EXPECT_EQ(in.desc().idref, "ten.out");
    EXPECT_EQ(in.desc().title, "Small");
    port& out = owner.find_port("OUT.small");
    EXPECT_EQ(out.desc().class_name, "SPECIAL");
    EXPECT_FALSE(out.desc().has_idref()); // outputs do not read an idref
}

} // namespace
} // namespace zoetra
