#include "kb/common/NumberText.h"

#include "kb/common/Utf.h"

#include <cstdint>
#include <optional>

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
        {"a1e5", 16, 41445, 4},
        {"0xA1E5", 16, 41445, 6},
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

TEST(NumberText, DecimalOrHexToLong32ReadsLayoutIntegers) {
    const struct {
        const char16_t* text;
        int32_t value;
    } cases[] = {
        {u"16", 16},   {u"0x10", 16}, {u"0X1f", 31}, {u" -0x10", -16},           {u"010", 10},
        {u"12px", 12}, {u"0x", 0},    {u"abc", 0},   {u"0xFFFFFFFF", INT32_MAX},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kb::DecimalOrHexToLong32(c.text), c.value) << kb::Utf16ToUtf8(c.text);
    }
}

TEST(NumberText, ParseWholeIntegerTakesTheWholeTextOrNothing) {
    struct Case {
        const char* text;
        int base;
        std::optional<int64_t> value;
    };
    const Case cases[] = {
        {"42", 10, 42},
        {"-7", 10, -7},
        {"+7", 10, 7},
        {"010", 0, 10},  // never octal
        {"0x1A", 0, 0x1A},
        {"0X1a", 16, 0x1A},
        {"1a", 16, 0x1A},
        {"0x1A", 10, std::nullopt},
        {"9223372036854775807", 10, INT64_MAX},
        {"-9223372036854775808", 10, INT64_MIN},
        {"9223372036854775808", 10, std::nullopt},
        {"0x10000000000000000", 16, std::nullopt},
        {"", 10, std::nullopt},
        {"-", 10, std::nullopt},
        {"0x", 16, std::nullopt},
        {" 5", 10, std::nullopt},
        {"5 ", 10, std::nullopt},
        {"5ms", 10, std::nullopt},
        {"12", 8, std::nullopt},
        {"5", 1, std::nullopt},  // no such base
        {"-0x10", 0, -16},
        {"0xFFFFFFFF", 0, 0xFFFFFFFF},
        {"-9223372036854775809", 10, std::nullopt},
        {"--5", 0, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kb::ParseWholeInteger(c.text, c.base), c.value) << c.text << " base " << c.base;
    }
}

}  // namespace
