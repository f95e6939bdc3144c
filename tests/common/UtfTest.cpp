#include "kb/common/Utf.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf, RoundTripsTextOutsideTheBasicPlane) {
    const std::string text = "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x8E\xB9";  // A é 中 🎹
    const std::u16string wide = kb::Utf8ToUtf16(text);
    EXPECT_EQ(wide, std::u16string(u"A\u00e9\u4e2d\U0001F3B9"));
    EXPECT_EQ(kb::Utf16ToUtf8(wide), text);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(kb::Utf8ToUtf16("a\xFF"
                              "b"),
              u"a\uFFFDb");
    EXPECT_EQ(kb::Utf8ToUtf16("\xE4\xB8"), u"\uFFFD");      // cut short at the end
    EXPECT_EQ(kb::Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");      // overlong form
    EXPECT_EQ(kb::Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");  // encoded surrogate
    EXPECT_EQ(kb::Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(kb::Utf16ToUtf8(std::u16string{char16_t(0xDC00), u'x'}), "\xEF\xBF\xBDx");
}

}  // namespace
