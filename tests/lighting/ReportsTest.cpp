#include "kb/lighting/Reports.h"

#include <gtest/gtest.h>

namespace kb {
namespace {

TEST(ReportsTest, EffectReportClampsBrightnessAndMapsSelection) {
    struct Case {
        uint8_t effect, brightness, speed, selection;
        Report expected;
    };
    const Case cases[] = {
        {3, 4, 2, 0, {0x07, 0xFF, 0xFF, 0x03, 0x04, 0x02, 0x00, 0x00}},
        {1, 9, 1, 3, {0x07, 0xFF, 0xFF, 0x01, 0x05, 0x01, 0x02, 0x00}},     // clamped, 3 -> 2
        {0, 5, 0, 1, {0x07, 0xFF, 0xFF, 0x00, 0x05, 0x00, 0x00, 0x00}},     // 1 -> 0
        {19, 255, 7, 2, {0x07, 0xFF, 0xFF, 0x13, 0x05, 0x07, 0x01, 0x00}},  // 2 -> 1, speed as stored
        {4, 0, 0, 5, {0x07, 0xFF, 0xFF, 0x04, 0x00, 0x00, 0x05, 0x00}},     // other selections pass through
        {4, 6, 0, 255, {0x07, 0xFF, 0xFF, 0x04, 0x05, 0x00, 0xFF, 0x00}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildEffectReport(c.effect, c.brightness, c.speed, c.selection), c.expected)
            << "effect " << int{c.effect} << " brightness " << int{c.brightness} << " selection "
            << int{c.selection};
    }
}

TEST(ReportsTest, StartupFormCopiesTheStoredBytesUnchanged) {
    EXPECT_EQ(BuildEffectReportRaw(2, 5, 1, 1, 2), (Report{0x07, 0xFF, 0xFF, 0x02, 0x05, 0x01, 0x01, 0x02}));
    // No clamping and no direction mapping in this form.
    EXPECT_EQ(BuildEffectReportRaw(1, 9, 7, 3, 3), (Report{0x07, 0xFF, 0xFF, 0x01, 0x09, 0x07, 0x03, 0x03}));
}

TEST(ReportsTest, SideLightPacksLevelAndModeIntoOneByte) {
    EXPECT_EQ(BuildSideLightReport(4, 7), (Report{0x07, 0xFF, 0xFF, 0x20, 0x00, 0x00, 0x74, 0x00}));
    EXPECT_EQ(BuildSideLightReport(0, 4), (Report{0x07, 0xFF, 0xFF, 0x20, 0x00, 0x00, 0x40, 0x00}));
    EXPECT_EQ(BuildSideLightReport(11, 0)[6], 0x0B);
    // Each field keeps its own nibble: a wide mode never spills into the level.
    EXPECT_EQ(BuildSideLightReport(0xFF, 1)[6], 0x1F);
    EXPECT_EQ(BuildSideLightReport(0x13, 0x12)[6], 0x23);
}

TEST(ReportsTest, VersionRequestAndResetCommandBytes) {
    EXPECT_EQ(BuildVersionRequest(), (Report{0x07, 0xF1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(BuildResetCommand(), (Report{0x07, 0xF0, 0xAA, 0, 0, 0, 0, 0}));
}

TEST(ReportsTest, VersionReadBackIsUnsigned) {
    EXPECT_EQ(VersionFromReport(Report{0x07, 0x01, 0x05, 0, 0, 0, 0, 0}), 0x105);
    EXPECT_EQ(VersionFromReport(Report{0x07, 0x01, 0xC8, 0, 0, 0, 0, 0}), 0x1C8);
    EXPECT_EQ(VersionFromReport(Report{0x07, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), 0xFFFF);
    EXPECT_EQ(VersionFromReport(Report{}), 0);
}

}  // namespace
}  // namespace kb
