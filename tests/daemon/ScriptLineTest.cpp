// Script lines as the scripted input reads them.
#include "src/ScriptLine.h"

#include <linux/input-event-codes.h>

#include <gtest/gtest.h>

namespace kb::filterd {
namespace {

using std::chrono::milliseconds;

TEST(ScriptLine, ReadsEventsMarksAndTimes) {
    std::string problem;
    std::optional<ScriptLine> line = ParseScriptLine("t=250  down KEY_LEFTSHIFT", problem);
    ASSERT_TRUE(line) << problem;
    EXPECT_EQ(line->at, milliseconds(250));
    EXPECT_EQ(line->kind, ScriptLine::Kind::Down);
    EXPECT_EQ(line->key, KEY_LEFTSHIFT);

    line = ParseScriptLine("up 0x1e", problem);
    ASSERT_TRUE(line) << problem;
    EXPECT_FALSE(line->at.has_value());
    EXPECT_EQ(line->key, KEY_A);

    line = ParseScriptLine("t=1000000000 mark  the end ", problem);
    ASSERT_TRUE(line) << problem;
    EXPECT_EQ(line->kind, ScriptLine::Kind::Mark);
    EXPECT_EQ(line->text, "the end ");

    for (const char* quiet : {"", "   ", "# down a"}) {
        EXPECT_FALSE(ParseScriptLine(quiet, problem));
        EXPECT_EQ(problem, "") << quiet;
    }
}

TEST(ScriptLine, BadLinesSayWhy) {
    struct Case {
        const char* text;
        const char* problem;
    };
    const Case cases[] = {
        {"t=10228806888068 down a", "beyond the latest allowed, t=1000000000"},
        {"t=1000000001 down a", "beyond the latest allowed"},
        {"t=99999999999999999999999 down a", "bad time"},
        {"t=-5 down a", "bad time"},
        {"t=5ms down a", "bad time"},
        {"t=5", "nothing after the time"},
        {"press a", "expected"},
        {"down", "expected"},
        {"down NOT_A_KEY", "unknown key \"NOT_A_KEY\""},
        {"down 0x300", "unknown key"},
    };
    for (const Case& c : cases) {
        std::string problem;
        EXPECT_FALSE(ParseScriptLine(c.text, problem)) << c.text;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.text << ": " << problem;
    }
}

}  // namespace
}  // namespace kb::filterd
