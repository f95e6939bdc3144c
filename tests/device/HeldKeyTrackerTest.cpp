#include "kb/device/HeldKeyTracker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace kb {

// Found by argument-dependent lookup, so it lives in the type's own namespace.
static void PrintTo(const HeldKeyEvent& e, std::ostream* os) {
    *os << (e.pressed ? "press " : "release ") << std::hex << e.code;
}

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr uint32_t kA = 0x1E;
constexpr uint32_t kS = 0x1F;
constexpr uint32_t kD = 0x20;
constexpr uint32_t kRightCtrl = 0x1001D;

HeldKeyEvent Press(uint32_t code) {
    return {code, true};
}
HeldKeyEvent Release(uint32_t code) {
    return {code, false};
}

std::vector<HeldKeyEvent> Poll(HeldKeyTracker& t, std::vector<uint32_t> keys) {
    const auto events = t.Update(keys.data(), keys.size());
    return {events.begin(), events.end()};
}

TEST(HeldKeyTrackerTest, AKeyHeldAcrossPollsIsReportedOnceEachWay) {
    HeldKeyTracker t;
    EXPECT_THAT(Poll(t, {}), IsEmpty());
    EXPECT_THAT(Poll(t, {kA}), ElementsAre(Press(kA)));
    for (int i = 0; i < 50; ++i) {
        EXPECT_THAT(Poll(t, {kA}), IsEmpty());
    }
    // The driver may list a held key in another slot; it is still the same key.
    EXPECT_THAT(Poll(t, {0, 0, kA}), IsEmpty());
    EXPECT_THAT(Poll(t, {}), ElementsAre(Release(kA)));
    EXPECT_THAT(Poll(t, {}), IsEmpty());
}

TEST(HeldKeyTrackerTest, PressesComeInPollOrderBeforeReleasesInPreviousOrder) {
    HeldKeyTracker t;
    EXPECT_THAT(Poll(t, {kS, 0, kA}), ElementsAre(Press(kS), Press(kA)));
    // kS and kA let go, kD and kRightCtrl pressed in the same poll: presses first.
    EXPECT_THAT(Poll(t, {kRightCtrl, kD}),
                ElementsAre(Press(kRightCtrl), Press(kD), Release(kS), Release(kA)));
    // One kept, one released, one pressed.
    EXPECT_THAT(Poll(t, {kA, kD}), ElementsAre(Press(kA), Release(kRightCtrl)));
}

TEST(HeldKeyTrackerTest, BitThirtyOneIsNotPartOfTheKey) {
    HeldKeyTracker t;
    EXPECT_THAT(Poll(t, {kA | 0x80000000u}), ElementsAre(Press(kA)));
    EXPECT_THAT(Poll(t, {kA}), IsEmpty());
    EXPECT_THAT(Poll(t, {0x80000000u}), ElementsAre(Release(kA)));  // only the mark: an empty slot
}

TEST(HeldKeyTrackerTest, FullPollsAndOversizedInput) {
    HeldKeyTracker t;
    std::vector<uint32_t> all(HeldKeyTracker::kMaxKeys);
    for (uint32_t i = 0; i < all.size(); ++i) {
        all[i] = i + 1;
    }
    auto events = Poll(t, all);
    ASSERT_EQ(events.size(), HeldKeyTracker::kMaxKeys);
    EXPECT_EQ(events.front(), Press(1));
    EXPECT_EQ(events.back(), Press(256));

    // All 256 released and 256 others pressed in one poll: the largest possible answer.
    std::vector<uint32_t> others(HeldKeyTracker::kMaxKeys + 10);  // entries past 256 are not read
    for (uint32_t i = 0; i < others.size(); ++i) {
        others[i] = 1000 + i;
    }
    events = Poll(t, others);
    ASSERT_EQ(events.size(), HeldKeyTracker::kMaxEvents);
    EXPECT_EQ(events[0], Press(1000));
    EXPECT_EQ(events[255], Press(1255));
    EXPECT_EQ(events[256], Release(1));
    EXPECT_EQ(events[511], Release(256));
    EXPECT_EQ(t.Held().back(), 1255u);

    EXPECT_THAT(Poll(t, {1100}), testing::SizeIs(255));  // 255 releases, 1100 kept
    EXPECT_THAT(t.Update(nullptr, 5), testing::SizeIs(1));
}

TEST(HeldKeyTrackerTest, ResetAndCallbackForm) {
    HeldKeyTracker t;
    Poll(t, {kA, kS});
    t.Reset();
    std::vector<HeldKeyEvent> seen;
    const std::vector<uint32_t> keys{kS, kA};
    t.Update(keys, [&](uint32_t code, bool pressed) { seen.push_back({code, pressed}); });
    EXPECT_THAT(seen, ElementsAre(Press(kS), Press(kA)));
}

}  // namespace
}  // namespace kb
