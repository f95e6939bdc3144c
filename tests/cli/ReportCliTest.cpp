#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KbctlRunner.h"

namespace {

using ::testing::HasSubstr;

TEST(ReportCliTest, PrintsTheReportBytes) {
    struct Case {
        std::vector<std::string> args;
        std::string out;
    };
    const Case cases[] = {
        {{"report", "effect", "3", "--brightness", "4", "--speed", "2", "--selection", "0"},
         "07 ff ff 03 04 02 00 00\n"},
        {{"report", "effect", "1", "--selection", "3", "--brightness", "9", "--speed", "1"},
         "07 ff ff 01 05 01 02 00\n"},
        {{"report", "effect", "19"}, "07 ff ff 13 05 00 00 00\n"},  // factory record
        {{"report", "effect-raw", "2", "--brightness", "5", "--speed", "1", "--direction", "1", "--selection",
          "2"},
         "07 ff ff 02 05 01 01 02\n"},
        {{"report", "effect-raw", "0x0a", "--brightness", "0xff"}, "07 ff ff 0a ff 00 00 00\n"},
        {{"report", "effect-raw", "2", "--deriction=3"}, "07 ff ff 02 05 00 03 00\n"},  // the old spelling
        {{"report", "side", "4", "--level", "7"}, "07 ff ff 20 00 00 74 00\n"},
        {{"report", "side", "0"}, "07 ff ff 20 00 00 40 00\n"},  // factory level of the speed modes
        {{"report", "side", "11"}, "07 ff ff 20 00 00 7b 00\n"},
        {{"report", "version"}, "07 f1 00 00 00 00 00 00\n"},
        {{"report", "reset"}, "07 f0 aa 00 00 00 00 00\n"},
    };
    for (const Case& c : cases) {
        const kbtest::KbctlResult r = kbtest::RunKbctl(c.args);
        EXPECT_EQ(r.exitCode, 0) << c.args[1] << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.args[1];
    }
}

TEST(ReportCliTest, RefusesWhatWouldSendNothingOrCannotBeEncoded) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
        int status;  // 1 for a value out of range, 2 for a wrong call
    };
    const Case cases[] = {
        {{"report", "effect", "20"}, "effect must be 0-19", 1},
        {{"report", "effect", "-1"}, "effect must be 0-19", 1},
        {{"report", "effect-raw", "99"}, "effect must be 0-19", 1},
        {{"report", "side", "12"}, "side mode must be 0-11", 1},
        {{"report", "side", "3", "--level", "8"}, "--level must be 0-7", 1},
        {{"report", "effect", "3", "--brightness", "256"}, "--brightness must be 0-255", 1},
        {{"report", "effect", "3", "--speed", "fast"}, "must be a number", 1},
        {{"report", "effect", "3", "--speed"}, "--speed needs a value", 2},
        {{"report", "effect", "3", "--direction", "1"}, "unknown option --direction for report effect", 2},
        {{"report", "effect"}, "missing effect", 2},
        {{"report", "effect", "1", "2"}, "unexpected argument 2", 2},
        {{"report", "version", "now"}, "unexpected argument now", 2},
        {{"report", "rgb"}, "unknown report rgb", 2},
        {{"report"}, "missing KIND", 2},
    };
    for (const Case& c : cases) {
        const kbtest::KbctlResult r = kbtest::RunKbctl(c.args);
        EXPECT_EQ(r.exitCode, c.status) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        EXPECT_THAT(r.err, HasSubstr(c.message));
    }
}

}  // namespace
