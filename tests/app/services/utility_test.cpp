#include "app/services/string_list.hpp"
#include "app/services/utility.hpp"

#include <gtest/gtest.h>

namespace zoetra {
namespace {

TEST(SameName, IgnoresCaseButNotLength) {
    EXPECT_TRUE(same_name("value.control", "VALUE.CONTROL"));
    EXPECT_TRUE(same_name("", ""));
    EXPECT_FALSE(same_name("A", "AB"));
    EXPECT_FALSE(same_name("SIZE.X", "SIZE.Y"));
}

TEST(ReadNumber, TakesTheLongestLeadingDecimalNumber) {
    EXPECT_DOUBLE_EQ(read_number("12abc"), 12);
    EXPECT_DOUBLE_EQ(read_number("  -3.5e2x"), -350);
    EXPECT_DOUBLE_EQ(read_number("abc"), 0);
    EXPECT_DOUBLE_EQ(read_number(""), 0);
    EXPECT_DOUBLE_EQ(read_number(".5"), 0.5);
    EXPECT_DOUBLE_EQ(read_number("7e"), 7);
    // Hexadecimal, infinities and NaN are not decimal numbers.
    EXPECT_DOUBLE_EQ(read_number("0x10"), 0);
    EXPECT_DOUBLE_EQ(read_number("inf"), 0);
    EXPECT_DOUBLE_EQ(read_number("nan"), 0);
}

TEST(RandomReal, CoversBothEndsOfItsRange) {
    seed_random(7);
    double lowest = 1e9, highest = -1e9;
    for (int i = 0; i < 200000; ++i) {
        int n = random_draw();
        ASSERT_GE(n, 0);
        ASSERT_LE(n, 32767);
        double v = random_real(0, 65535);
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(highest, 65535);
}

TEST(StringList, InsertsRemovesFindsAndResizes) {
    string_list list;
    list.append("b");
    list.insert_before(0, "a");
    list.insert_before(9, "c");
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.get(0), "a");
    EXPECT_EQ(list.get(2), "c");
    EXPECT_EQ(list.get(3), "");
    EXPECT_EQ(list.get(-1), "");
    EXPECT_EQ(list.find("c"), 2);
    EXPECT_EQ(list.find("z"), -1);
    list.remove(1);
    EXPECT_EQ(list.get(1), "c");
    list.resize(4);
    EXPECT_EQ(list.count(), 4);
    EXPECT_EQ(list.get(3), "");
    list.resize(1);
    EXPECT_EQ(list.count(), 1);
}

} // namespace
} // namespace zoetra
