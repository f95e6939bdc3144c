#include "kb/macros/MacroRecorder.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using kb::MacroGroup;
using kb::MacroLibrary;
using kb::MacroRecorder;
using kb::MacroStep;

constexpr uint32_t A = 0x1E, S = 0x1F, CtrlRight = 0x1001D;

struct Event {
    uint32_t code;
    bool pressed;
    int64_t at;
};

std::vector<MacroStep> Record(int32_t mode, int32_t fixedDelay, const std::vector<Event>& events,
                              MacroGroup group = {}) {
    MacroLibrary lib;
    lib.mode = mode;
    lib.delay = fixedDelay;
    MacroRecorder recorder;
    for (const Event& e : events) {
        recorder.OnKey(lib, &group, e.code, e.pressed, e.at);
    }
    return group.steps;
}

TEST(MacroRecorderTest, DelaysByModeForATapAndAnOverlap) {
    const std::vector<Event> tap = {{A, true, 1000}, {A, false, 1120}};
    EXPECT_EQ(Record(kb::kDelayReal, 50, tap), (std::vector<MacroStep>{{A, 0, 120, u"A"}, {A, 1, 0, u"A"}}));
    EXPECT_EQ(Record(kb::kDelayFixed, 50, tap), (std::vector<MacroStep>{{A, 0, 50, u"A"}, {A, 1, 0, u"A"}}));
    EXPECT_EQ(Record(kb::kDelayNone, 50, tap), (std::vector<MacroStep>{{A, 0, 0, u"A"}, {A, 1, 0, u"A"}}));
    // Any other mode records no delay either.
    EXPECT_EQ(Record(7, 50, tap)[0].delay, 0);

    // A down, S down, A up, S up: each gap goes to the step before it; the last keeps 0.
    const auto steps =
        Record(kb::kDelayReal, 0, {{A, true, 0}, {S, true, 30}, {A, false, 45}, {S, false, 100}});
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ((std::vector<int32_t>{steps[0].delay, steps[1].delay, steps[2].delay, steps[3].delay}),
              (std::vector<int32_t>{30, 15, 55, 0}));
    EXPECT_EQ((std::vector<int32_t>{steps[0].state, steps[1].state, steps[2].state, steps[3].state}),
              (std::vector<int32_t>{0, 0, 1, 1}));
}

TEST(MacroRecorderTest, ReleaseIntoAnEmptyGroupIsDroppedAndExtendedKeysKeepBit16) {
    MacroLibrary lib;
    MacroGroup group;
    MacroRecorder recorder;
    EXPECT_FALSE(recorder.OnKey(lib, &group, A, false, 5));
    EXPECT_EQ(recorder.LastEventTime(), MacroRecorder::kNoEvent);  // stays: nothing was recorded
    EXPECT_TRUE(recorder.OnKey(lib, &group, CtrlRight, true, 10));
    ASSERT_EQ(group.steps.size(), 1u);
    EXPECT_EQ(group.steps[0], (MacroStep{CtrlRight, 0, 0, u"CtrlRight"}));
    // A key the table does not know is recorded without a name; code 0 appends nothing.
    EXPECT_TRUE(recorder.OnKey(lib, &group, 0x74, true, 20));
    EXPECT_EQ(group.steps.back().name, u"");
    EXPECT_FALSE(recorder.OnKey(lib, &group, 0, true, 30));
    EXPECT_EQ(group.steps.size(), 2u);
    EXPECT_EQ(recorder.LastEventTime(), 30);
    // No group shown: nothing appended, the time still moves on.
    EXPECT_FALSE(recorder.OnKey(lib, nullptr, A, true, 40));
    EXPECT_EQ(recorder.LastEventTime(), 40);
}

// The first event of a dialog has no previous event to measure a real delay from: the group's existing
// last step keeps its delay instead of receiving the time since the program started. A fixed or no delay
// needs no measurement and is given as usual.
TEST(MacroRecorderTest, FirstEventAfterOpeningLeavesTheOldLastDelayAlone) {
    MacroGroup group;
    group.AppendStep(S, 1, 75, u"S");
    for (int32_t mode : {kb::kDelayReal, kb::kDelayFixed, kb::kDelayNone}) {
        const auto steps = Record(mode, 50, {{A, true, 3'600'000}, {A, false, 3'600'020}}, group);
        ASSERT_EQ(steps.size(), 3u);
        const int32_t gap = mode == kb::kDelayReal ? 20 : mode == kb::kDelayFixed ? 50 : 0;
        EXPECT_EQ(steps[0].delay, mode == kb::kDelayReal ? 75 : gap) << "mode " << mode;
        EXPECT_EQ(steps[1].delay, gap);
    }
    // After a pause within the same opening the whole pause counts, as measured.
    const auto paused = Record(kb::kDelayReal, 0, {{A, true, 0}, {A, false, 10}, {A, true, 5010}});
    EXPECT_EQ(paused[1].delay, 5000);
}

// A program left in the tray for weeks has a clock past 2^31 ms: the gaps stay what was measured.
TEST(MacroRecorderTest, GapsHoldAcrossTwoToThe31Milliseconds) {
    constexpr int64_t k2p31 = int64_t{1} << 31;
    for (int64_t start : {k2p31 - 50, k2p31 + 5, int64_t{1} << 40}) {
        const auto steps =
            Record(kb::kDelayReal, 0, {{A, true, start}, {A, false, start + 120}, {S, true, start + 150}});
        ASSERT_EQ(steps.size(), 3u);
        EXPECT_EQ(steps[0].delay, 120) << start;
        EXPECT_EQ(steps[1].delay, 30) << start;
    }
}

TEST(MacroRecorderTest, DelayTextRules) {
    struct Case {
        std::u16string text;
        std::optional<int32_t> value;
    };
    for (const Case& c : std::vector<Case>{{u"25", 25},
                                           {u"-20", -20},
                                           {u"12ms", 12},
                                           {u"  7", 7},
                                           {u"", 0},
                                           {u"   ", 0},
                                           {u"abc", std::nullopt},
                                           {u"-", std::nullopt},
                                           {u"99999999999", 2147483647}}) {
        EXPECT_EQ(kb::ParseDelayText(c.text), c.value) << std::string(c.text.begin(), c.text.end());
    }
    EXPECT_EQ(kb::ParseCountText(u" -3x"), -3);
    EXPECT_EQ(kb::ParseCountText(u"x"), 0);
    EXPECT_STREQ(kb::StepStateCaption(0), "key down");
    EXPECT_STREQ(kb::StepStateCaption(1), "key up");
    EXPECT_STREQ(kb::StepStateCaption(2), "replace");
}

TEST(MacroRecorderTest, HeaderClicksCycleOneMark) {
    int marks[4] = {0, 0, 0, 0};
    std::vector<int> seen;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(kb::ApplySortClick(1, marks, 4));
        seen.push_back(marks[1]);
    }
    EXPECT_EQ(seen, (std::vector<int>{kb::kSortUp, kb::kSortDown, kb::kSortUp}));
    ASSERT_TRUE(kb::ApplySortClick(3, marks, 4));
    EXPECT_EQ((std::vector<int>(marks, marks + 4)), (std::vector<int>{0, 0, 0, kb::kSortUp}));
    int six[6] = {0, 1, 0, 0, 0, 0};
    EXPECT_FALSE(kb::ApplySortClick(5, six, 6));
    EXPECT_EQ(six[1], 1);
}

}  // namespace
