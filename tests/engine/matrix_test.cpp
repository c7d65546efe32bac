#include "engine/description.hpp"
#include "engine/matrix.hpp"
#include "engine_test_support.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace zoetra {
namespace {

using testing_support::printed;

matrix make(int dims, std::uint16_t x, std::uint16_t y, std::uint16_t z, bool wide) {
    const std::uint16_t sizes[3] = {x, y, z};
    return matrix(dims, sizes, wide ? 2 : 1, wide ? "UINT16" : "UINT8");
}

TEST(Matrix, LayoutPutsXFastestThenYThenZ) {
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
}

TEST(Matrix, FillCopiesTheValueIntoEveryElementAndClonesAreIndependent) {
    const std::uint16_t sizes[3] = {3, 3, 1};
    std::uint16_t fill = 500;
    matrix m(3, sizes, 2, "UINT16", &fill);
    for (std::uint32_t i = 0; i < m.element_count(); ++i)
        EXPECT_EQ(m.value_at(std::uint16_t(i % 3), std::uint16_t(i / 3)), 500u);
    auto copy = m.clone();
    copy->u16(1, 1) = 7;
    EXPECT_EQ(m.value_at(1, 1), 500u);
    EXPECT_EQ(copy->type_name(), "UINT16");
    EXPECT_EQ(copy->dimension_count(), 3);
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
