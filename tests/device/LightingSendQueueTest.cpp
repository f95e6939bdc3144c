#include "kb/device/LightingSendQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "FakePacingClock.h"
#include "kb/device/LightingSender.h"

namespace {

using kb::LightingSendQueue;
using kb::Report;

class RecordingHid final : public kb::IHidTransport {
  public:
    explicit RecordingHid(kbtest::FakePacingClock& clock) : clock_(clock) {}
    bool IsOpen() const override { return true; }
    bool SetFeature(const Report& report) override {
        sent.push_back({clock_.now, report});
        clock_.now += duration;  // the report's own time on the wire
        return true;
    }
    bool GetFeature(Report&, std::size_t&) override { return false; }
    int32_t Write(const Report&) override { return 0; }

    struct Sent {
        int64_t at;
        Report bytes;
    };
    std::vector<Sent> sent;
    int64_t duration = 3;

  private:
    kbtest::FakePacingClock& clock_;
};

// Remembers the one armed wake-up; the test moves the clock to it and fires it.
class ManualTimer final : public kb::ISendTimer {
  public:
    void Arm(int64_t delayMs) override { armed = delayMs; }
    void Disarm() override { armed.reset(); }
    std::optional<int64_t> armed;
};

Report Value(uint8_t control, uint8_t value) {
    return Report{0x07, 0xFF, 0xFF, control, value, 0, 0, 0};
}

class LightingSendQueueTest : public ::testing::Test {
  protected:
    // The queue's stamp starts at its construction; the tests begin long after it.
    LightingSendQueueTest() : hid(clock), queue(hid, clock, timer) { clock.now += 1000; }

    // Moves the clock to `until`, firing every wake-up that falls before it on the way.
    void RunUntil(int64_t until) {
        while (timer.armed && clock.now + *timer.armed <= until) {
            clock.now += *timer.armed;
            timer.armed.reset();
            queue.OnTimer();
        }
        clock.now = std::max(clock.now, until);
    }
    void PostValue(int control, uint8_t value, int64_t delay = 0) {
        queue.Post(
            control, [control, value] { return Value(static_cast<uint8_t>(control), value); }, delay);
    }

    kbtest::FakePacingClock clock;
    RecordingHid hid;
    ManualTimer timer;
    LightingSendQueue queue;
};

TEST_F(LightingSendQueueTest, ReportsKeepTheirBytesOrderAndSpacing) {
    const int64_t start = clock.now;
    PostValue(LightingSendQueue::kEffect, 4);  // idle for long: goes out at once
    ASSERT_EQ(hid.sent.size(), 1u);
    EXPECT_EQ(hid.sent[0].at, start);
    PostValue(LightingSendQueue::kSideLight, 6);
    EXPECT_EQ(hid.sent.size(), 1u) << "the second waits its turn; nothing slept";
    ASSERT_TRUE(timer.armed);
    EXPECT_EQ(*timer.armed, 100) << "100 ms after the end of the first (now)";
    RunUntil(start + 1000);
    ASSERT_EQ(hid.sent.size(), 2u);
    EXPECT_EQ(hid.sent[1].bytes, Value(LightingSendQueue::kSideLight, 6));
    EXPECT_EQ(hid.sent[1].at, start + 103);
    EXPECT_FALSE(timer.armed) << "an empty queue wakes nobody";
    EXPECT_EQ(queue.LastSend(), start + 106);
}

// A slider dragged for a second: every change posts, a few reports go out at least 100 ms apart, each
// with the value of its moment, and the last one is the final value.
TEST_F(LightingSendQueueTest, ADragSendsFewReportsEndingWithTheFinalValue) {
    const int64_t start = clock.now;
    for (int step = 0; step <= 100; ++step) {
        RunUntil(start + step * 10);
        PostValue(LightingSendQueue::kEffect, static_cast<uint8_t>(step));
    }
    RunUntil(start + 2000);
    ASSERT_GE(hid.sent.size(), 5u);
    EXPECT_LE(hid.sent.size(), 11u);
    for (std::size_t i = 1; i < hid.sent.size(); ++i) {
        EXPECT_GE(hid.sent[i].at - (hid.sent[i - 1].at + hid.duration), 100) << i;
        EXPECT_EQ(hid.sent[i].bytes[4], std::min<int64_t>((hid.sent[i].at - start) / 10, 100))
            << "the value of its moment";
    }
    EXPECT_EQ(hid.sent.back().bytes, Value(LightingSendQueue::kEffect, 100));
}

// A report is built when it is due: a start-up report posted for later carries what is stored then, and
// does not hold back the paced reports posted after it.
TEST_F(LightingSendQueueTest, ReportsAreBuiltWhenDueAndALaterOneDoesNotBlockOthers) {
    const int64_t start = clock.now;
    int stored = 3;
    queue.Post(
        LightingSendQueue::kStartupEffect, [&stored] { return Value(9, static_cast<uint8_t>(stored)); },
        2000);
    EXPECT_TRUE(hid.sent.empty());
    RunUntil(start + 500);
    PostValue(LightingSendQueue::kEffect, 1);
    stored = 7;  // the user's choice meanwhile
    RunUntil(start + 3000);
    ASSERT_EQ(hid.sent.size(), 2u);
    EXPECT_EQ(hid.sent[0].bytes, Value(LightingSendQueue::kEffect, 1));
    EXPECT_EQ(hid.sent[1].bytes, Value(9, 7));
    EXPECT_EQ(hid.sent[1].at, start + 2000);
}

TEST_F(LightingSendQueueTest, NothingBuiltSendsNothingAndAStampHoldsTheNextBack) {
    const int64_t start = clock.now;
    queue.Post(LightingSendQueue::kEffect, [] { return std::optional<Report>(); });
    EXPECT_TRUE(hid.sent.empty());
    EXPECT_EQ(queue.Pending(), 0u);
    PostValue(LightingSendQueue::kSideLight, 2);
    ASSERT_EQ(hid.sent.size(), 1u) << "an empty report does not count for the spacing";

    RunUntil(start + 500);
    queue.MarkSend();  // the keyboard arrived
    PostValue(LightingSendQueue::kEffect, 5);
    EXPECT_EQ(hid.sent.size(), 1u);
    RunUntil(start + 700);
    ASSERT_EQ(hid.sent.size(), 2u);
    EXPECT_EQ(hid.sent[1].at, start + 600);

    // A flush sends what waits at once, in turn, sleeping out the spacing.
    PostValue(LightingSendQueue::kEffect, 7);
    PostValue(LightingSendQueue::kSideLight, 8);
    queue.Flush();
    ASSERT_EQ(hid.sent.size(), 4u);
    EXPECT_EQ(hid.sent[2].at, start + 703);
    EXPECT_EQ(hid.sent[3].at, start + 806);
    EXPECT_EQ(hid.sent[3].bytes, Value(LightingSendQueue::kSideLight, 8));

    PostValue(LightingSendQueue::kEffect, 6);
    queue.Clear();
    EXPECT_FALSE(timer.armed);
    RunUntil(start + 2000);
    EXPECT_EQ(hid.sent.size(), 4u);
}

}  // namespace
