#include "kb/common/NumberText.h"

#include <gtest/gtest.h>

namespace {

struct LongCase {
    const char* text;
    int base;
    int32_t value;
    std::size_t consumed;
};

TEST(NumberText, StrToLong32FollowsTheCLibraryWith32BitLong) {
    const LongCase cases[] = {
        {"258a", 16, 9610, 4},
        {"0x258A", 16, 9610, 6},
        {"  \t-1", 16, -1, 5},
        {"+7f", 16, 127, 3},
        {"0x", 16, 0, 1},  // the "0" is the number, "x" stops it
        {"0xg", 16, 0, 1},
        {"", 16, 0, 0},
        {"zz", 16, 0, 0},
        {"-", 10, 0, 0},
        {"12ab", 10, 12, 2},
        {"7fffffff", 16, 0x7fffffff, 8},
        {"80000000", 16, 0x7fffffff, 8},  // clamped, not wrapped
        {"-80000000", 16, INT32_MIN, 9},
        {"-80000001", 16, INT32_MIN, 9},
        {"ffffffffffffffffffff", 16, 0x7fffffff, 20},
        {"2147483648", 10, 0x7fffffff, 10},
        {"010", 0, 8, 3},
        {"0x10", 0, 16, 4},
    };
    for (const LongCase& c : cases) {
        std::size_t used = 99;
        EXPECT_EQ(kb::StrToLong32(std::string_view(c.text), c.base, &used), c.value) << c.text;
        EXPECT_EQ(used, c.consumed) << c.text;
        std::u16string wide(c.text, c.text + std::char_traits<char>::length(c.text));
        EXPECT_EQ(kb::StrToLong32(std::u16string_view(wide), c.base), c.value) << c.text;
    }
}

TEST(NumberText, StrToULong32WrapsNegativesAndSaturates) {
    const struct {
        const char* text;
        uint32_t value;
    } cases[] = {
        {"65584", 65584u},
        {" 42abc", 42u},
        {"-1", 0xFFFFFFFFu},
        {"-2", 0xFFFFFFFEu},
        {"4294967295", 0xFFFFFFFFu},
        {"4294967296", 0xFFFFFFFFu},
        {"-4294967296", 0xFFFFFFFFu},  // overflow wins over the sign
        {"abc", 0u},
        {"", 0u},
        {" + 1", 0u},  // no blank allowed after the sign
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kb::StrToULong32(std::string_view(c.text), 10), c.value) << c.text;
    }
}

TEST(NumberText, ScanDecimalIntMatchesPercentD) {
    EXPECT_EQ(kb::ScanDecimalInt(std::string_view("  25ms")), 25);
    EXPECT_EQ(kb::ScanDecimalInt(std::string_view("-3")), -3);
    EXPECT_EQ(kb::ScanDecimalInt(std::string_view("99999999999")), INT32_MAX);
    EXPECT_FALSE(kb::ScanDecimalInt(std::string_view("")).has_value());
    EXPECT_FALSE(kb::ScanDecimalInt(std::string_view("ms")).has_value());
    EXPECT_FALSE(kb::ScanDecimalInt(std::u16string_view(u"+")).has_value());
}

}  // namespace
