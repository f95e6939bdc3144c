#include "kb/common/Trace.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

TEST(TraceTest, GoesToTheSinkTheCallerSetsAndBackToStandardOutput) {
    std::vector<std::string> seen;
    const kb::TraceSink before = kb::SetTraceSink([&](std::string_view text) { seen.emplace_back(text); });
    EXPECT_FALSE(before);  // standard output by default

    const std::string longName(300, 'k');  // beyond the formatter's small buffer
    kb::Trace("open %s: %d\n", longName.c_str(), -5);
    kb::Trace("%s", "");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "open " + longName + ": -5\n");
    EXPECT_EQ(seen[1], "");

    const kb::TraceSink mine = kb::SetTraceSink(before);
    EXPECT_TRUE(mine);
    ::testing::internal::CaptureStdout();
    kb::Trace("to stdout %x\n", 0xAB);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "to stdout ab\n");
    EXPECT_EQ(seen.size(), 2u);
}

TEST(TraceTest, TracesOfSeveralThreadsArriveWhole) {
    std::vector<std::string> seen;  // the sink runs under the trace lock
    const kb::TraceSink before = kb::SetTraceSink([&](std::string_view text) { seen.emplace_back(text); });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                kb::Trace("thread %d line %d\n", t, i);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    kb::SetTraceSink(before);
    ASSERT_EQ(seen.size(), 800u);
    for (const std::string& text : seen) {
        EXPECT_EQ(text.rfind("thread ", 0), 0u) << text;
        EXPECT_EQ(text.back(), '\n') << text;
    }
}

}  // namespace
