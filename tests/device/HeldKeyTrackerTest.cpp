#include "kb/device/HeldKeyTracker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <random>
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

// The comparison written out over all 256 slots: bit 31 marks keys held in both polls, then unmarked new
// entries are presses and unmarked old entries are releases.
class FullSlotReference {
  public:
    std::vector<HeldKeyEvent> Update(std::array<uint32_t, HeldKeyTracker::kMaxKeys> now) {
        for (std::size_t i = 0; i < now.size(); ++i) {
            now[i] &= 0x7FFFFFFFu;
            held_[i] &= 0x7FFFFFFFu;
        }
        for (uint32_t& o : held_) {
            for (uint32_t& n : now) {
                if (o != 0 && (o & 0x7FFFFFFFu) == (n & 0x7FFFFFFFu)) {
                    o |= 0x80000000u;
                    n |= 0x80000000u;
                }
            }
        }
        std::vector<HeldKeyEvent> events;
        for (uint32_t n : now) {
            if (n != 0 && (n & 0x80000000u) == 0) {
                events.push_back(Press(n));
            }
        }
        for (uint32_t o : held_) {
            if (o != 0 && (o & 0x80000000u) == 0) {
                events.push_back(Release(o));
            }
        }
        held_ = now;
        return events;
    }

  private:
    std::array<uint32_t, HeldKeyTracker::kMaxKeys> held_{};
};

TEST(HeldKeyTrackerTest, EventsEqualTheFullSlotComparisonWithDuplicatesAndMarkedEntries) {
    std::mt19937 rng(12345);
    // A few codes, so that polls repeat keys, list one key twice and carry bit 31 on some entries.
    const uint32_t codes[] = {0, 0, 0, kA, kS, kD, kRightCtrl, 0x80000000u, kA | 0x80000000u, 0x7FFFFFFFu};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(codes) - 1);
    std::uniform_int_distribution<std::size_t> filled(0, 12);
    HeldKeyTracker tracker;
    FullSlotReference reference;
    for (int poll = 0; poll < 5000; ++poll) {
        std::array<uint32_t, HeldKeyTracker::kMaxKeys> keys{};
        const std::size_t count = filled(rng);
        for (std::size_t i = 0; i < count; ++i) {
            keys[i * 7 % keys.size()] = codes[pick(rng)];  // spread over the slots, not only the first
        }
        const auto got = tracker.Update(keys);
        ASSERT_EQ(std::vector<HeldKeyEvent>(got.begin(), got.end()), reference.Update(keys))
            << "poll " << poll;
    }
}

TEST(HeldKeyTrackerTest, AKeyListedTwiceIsPressedAndReleasedTwice) {
    HeldKeyTracker t;
    EXPECT_THAT(Poll(t, {kA, kS, kA}), ElementsAre(Press(kA), Press(kS), Press(kA)));
    EXPECT_THAT(Poll(t, {kA}), ElementsAre(Release(kS)));  // one kA left holds both old entries
    EXPECT_THAT(Poll(t, {kA, kA}), IsEmpty());
    EXPECT_THAT(Poll(t, {}), ElementsAre(Release(kA), Release(kA)));
}

TEST(HeldKeyTrackerTest, PushedPressesAndReleasesAgreeWithLaterPolls) {
    HeldKeyTracker t;
    EXPECT_TRUE(t.Press(kA));
    EXPECT_FALSE(t.Press(kA | 0x80000000u)) << "bit 31 is no part of the key";
    EXPECT_FALSE(t.Press(0));
    EXPECT_TRUE(t.Press(kS));
    EXPECT_TRUE(t.Press(kD));
    EXPECT_FALSE(t.Release(kRightCtrl)) << "not held";
    EXPECT_TRUE(t.Release(kS));
    EXPECT_THAT(t.Held(), ElementsAre(kA, kD));  // the others keep their order
    EXPECT_THAT(Poll(t, {kD, kS}), ElementsAre(Press(kS), Release(kA)));
    for (uint32_t code = 1; code <= HeldKeyTracker::kMaxKeys + 10; ++code) {
        t.Press(code);
    }
    EXPECT_EQ(t.Held().size(), HeldKeyTracker::kMaxKeys);
}

}  // namespace
}  // namespace kb
