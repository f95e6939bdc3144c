#include "kb/device/HidPath.h"

#include <gtest/gtest.h>

#include <string>

namespace kb {

// Found by argument-dependent lookup, so it lives in the type's own namespace.
static void PrintTo(const HidPathIds& ids, std::ostream* os) {
    *os << "{vid " << ids.vid << ", pid " << ids.pid << ", mi " << ids.interfaceNumber << ", col "
        << ids.collection << "}";
}

namespace {

struct ParseCase {
    std::string path;
    bool parses;
    HidPathIds ids;
};

std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

TEST(HidPathTest, ParsesWindowsAndLinuxPaths) {
    const ParseCase cases[] = {
        {R"(\\?\hid#vid_1209&pid_a1e5&mi_01&col02#7&1a2b3c&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030})",
         true,
         {0x1209, 0xA1E5, 1, 2}},
        {R"(\\?\HID#VID_1209&PID_A1E5&MI_01&COL02#7&1A2B3C&0&0001#{4D1E55B2-F16F-11CF-88CB-001111000030})",
         true,
         {0x1209, 0xA1E5, 1, 2}},
        {"/dev/hidraw3#hid#vid_1209&pid_a1e5&mi_01&col02", true, {0x1209, 0xA1E5, 1, 2}},
        {"/dev/hidraw0#hid#vid_1209&pid_a1e5&mi_00", true, {0x1209, 0xA1E5, 0, -1}},
        {"/dev/hidraw0#hid#vid_1209&pid_a1e5", true, {0x1209, 0xA1E5, -1, -1}},
        {R"(\\?\hid#vid_ffff&pid_0c5b&rev_1201&mi_02&col01#x)", true, {0xFFFF, 0x0C5B, 2, 1}},
        {"hid#vid_1209&pid_a1e5&col03", true, {0x1209, 0xA1E5, -1, 3}},
        // Whole two-digit fields, read as hexadecimal.
        {"hid#vid_1209&pid_a1e5&mi_10&col1a", true, {0x1209, 0xA1E5, 0x10, 0x1A}},
        {"hid#vid_1209&pid_a1e5&mi_0A&colFF", true, {0x1209, 0xA1E5, 10, 255}},
        // Letters that are not hex digits match the pattern; the number stops at them, as strtol does.
        {"hid#vid_12g9&pid_zzzz&mi_0z", true, {0x12, 0, 0, -1}},
        // An incomplete optional part is not taken, and nothing after it is either.
        {"hid#vid_1209&pid_a1e5&mi_1&col02", true, {0x1209, 0xA1E5, -1, -1}},
        {"hid#vid_1209&pid_a1e5&rev_12&mi_01", true, {0x1209, 0xA1E5, -1, -1}},
        {"hid#vid_1209&pid_a1e5&col02&mi_01", true, {0x1209, 0xA1E5, -1, 2}},  // fixed order
        // The leftmost complete identity wins.
        {"hid#vid_12&hid#vid_1209&pid_a1e5#hid#vid_0001&pid_0002", true, {0x1209, 0xA1E5, -1, -1}},
        // Not HID identities.
        {R"(\\?\usb#vid_1209&pid_a1e5&mi_01#6&2c&0&0001)", false, {}},
        {"hid#vid_120&pid_a1e5", false, {}},
        {"hid#vid_1209pid_a1e5", false, {}},
        {"hid#vid_1209&pid_a1e", false, {}},
        {"hid#vid_1209&pid_a1-5", false, {}},
        {"hid#vid_", false, {}},
        {"hid", false, {}},
        {"", false, {}},
    };
    for (const ParseCase& c : cases) {
        HidPathIds narrow{7, 7, 7, 7};
        HidPathIds wide{7, 7, 7, 7};
        EXPECT_EQ(ParseHidPath(c.path, narrow), c.parses) << c.path;
        EXPECT_EQ(ParseHidPath(Wide(c.path), wide), c.parses) << c.path;
        const HidPathIds expected = c.parses ? c.ids : HidPathIds{7, 7, 7, 7};  // untouched on failure
        EXPECT_EQ(narrow, expected) << c.path;
        EXPECT_EQ(wide, expected) << c.path;
    }
}

TEST(HidPathTest, NonAsciiAndBinaryInputIsHandled) {
    HidPathIds ids;
    // A UTF-16 character whose low byte looks like an ASCII letter is not that letter.
    std::u16string path = u"hid#vid_1209&pid_a1e5";
    path[0] = static_cast<char16_t>(0x0168);  // low byte 'h'
    EXPECT_FALSE(ParseHidPath(path, ids));
    path[0] = u'h';
    path[9] = static_cast<char16_t>(0x0132);  // low byte '2'
    EXPECT_FALSE(ParseHidPath(path, ids));

    const std::string bytes("\xff\x00hid#vid_1209&pid_a1e5&mi_\xc3\xa9", 29);
    ASSERT_TRUE(ParseHidPath(bytes, ids));
    EXPECT_EQ(ids, (HidPathIds{0x1209, 0xA1E5, -1, -1}));
}

TEST(HidPathTest, MatchingRules) {
    const HidPathIds withBoth{0x1209, 0xA1E5, 1, 2};
    const HidPathIds bare{0x1209, 0xA1E5, -1, -1};
    const HidPathIds otherVendor{0xFFFF, 0xA1E5, 1, 2};
    struct Case {
        const char* name;
        HidMatch match;
        HidPathIds ids;
        bool matches;
    };
    const Case cases[] = {
        {"exact", {0x1209, {0xA1E5}, 1, 2}, withBoth, true},
        {"wrong vid", {0x1209, {0xA1E5}, 1, 2}, otherVendor, false},
        {"any vendor with product list", {0, {0xA1E5}, -1, -1}, otherVendor, true},
        {"negative vid is any vendor", {-5, {0xA1E5}, -1, -1}, otherVendor, true},
        {"pid not in list", {0x1209, {0x0001, 0x0002}, -1, -1}, withBoth, false},
        {"pid second in list", {0x1209, {0x0001, 0xA1E5}, -1, -1}, withBoth, true},
        {"empty list accepts any product", {0x1209, {}, -1, -1}, withBoth, true},
        {"wrong interface", {0x1209, {}, 0, -1}, withBoth, false},
        {"wrong collection", {0x1209, {}, -1, 1}, withBoth, false},
        {"interface 0 needs an mi field", {0x1209, {}, 0, -1}, bare, false},
        {"collection 0 needs a col field", {0x1209, {}, -1, 0}, bare, false},
        {"-1 accepts a path without fields", {0x1209, {}, -1, -1}, bare, true},
        {"other negative interface accepts nothing", {0x1209, {}, -2, -1}, bare, false},
        {"other negative collection accepts nothing", {0x1209, {}, -1, -7}, withBoth, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesHidIds(c.match, c.ids), c.matches) << c.name;
    }
}

TEST(HidPathTest, MatchingAPathParsesFirst) {
    const HidMatch match{0x1209, {0xA1E5}, 1, -1};
    HidPathIds ids;
    EXPECT_TRUE(MatchesHidPath(match, std::string("/dev/hidraw3#hid#vid_1209&pid_a1e5&mi_01&col02"), &ids));
    EXPECT_EQ(ids, (HidPathIds{0x1209, 0xA1E5, 1, 2}));
    EXPECT_TRUE(MatchesHidPath(match, std::u16string(u"\\\\?\\HID#VID_1209&PID_A1E5&MI_01&COL01#x")));
    EXPECT_FALSE(MatchesHidPath(match, std::string("usb#vid_1209&pid_a1e5&mi_01")));
    EXPECT_FALSE(MatchesHidPath(match, std::u16string(u"hid#vid_1209&pid_a1e5&mi_02")));
}

TEST(HidPathTest, ASearchNeedsAVendorOrAProduct) {
    EXPECT_FALSE(HasDeviceFilter(HidMatch{0, {}, -1, -1}));
    EXPECT_FALSE(HasDeviceFilter(HidMatch{-1, {}, 0, 0}));
    EXPECT_TRUE(HasDeviceFilter(HidMatch{0x1209, {}, -1, -1}));
    EXPECT_TRUE(HasDeviceFilter(HidMatch{0, {0xA1E5}, -1, -1}));
}

}  // namespace
}  // namespace kb
