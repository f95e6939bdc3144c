#include "kb/device/LightingSender.h"

#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakePacingClock.h"

using kb::Report;

namespace {

using FakeClock = kbtest::FakePacingClock;

// Records what is sent and when; each feature report takes `duration` ms of the fake clock.
class FakeHid final : public kb::IHidTransport {
  public:
    explicit FakeHid(FakeClock& clock) : clock_(clock) {}
    bool IsOpen() const override { return open; }
    bool SetFeature(const Report& report) override {
        sent.push_back({clock_.now, report});
        clock_.now += duration;
        return open && setOk;
    }
    // Like the kernel: the reply fills `replyLength` bytes, the rest of the buffer keeps the request.
    bool GetFeature(Report& report, std::size_t& received) override {
        EXPECT_EQ(report[0], 0x07) << "the read-back buffer still holds the report ID";
        if (!getOk) {
            return false;
        }
        std::copy_n(reply.begin(), replyLength, report.begin());
        received = replyLength;
        return true;
    }
    int32_t Write(const Report&) override { return 0; }

    struct Sent {
        int64_t at;
        Report bytes;
    };
    bool open = true;
    bool setOk = true;
    bool getOk = true;
    int64_t duration = 0;
    Report reply{};
    std::size_t replyLength = kb::kReportSize;
    std::vector<Sent> sent;

  private:
    FakeClock& clock_;
};

class LightingSenderTest : public ::testing::Test {
  protected:
    LightingSenderTest() : hid(*clock), sender(hid, effects, sides, clock) {}
    void SetUp() override { clock->now += 1000; }  // well past the start-up stamp

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    FakeHid hid;
    kb::LedEffectConfig effects;
    kb::SideLightConfig sides;
    kb::LightingSender sender;
};

Report R(std::initializer_list<int> bytes) {
    Report r{};
    std::size_t i = 0;
    for (int b : bytes) {
        r[i++] = static_cast<uint8_t>(b);
    }
    return r;
}

TEST_F(LightingSenderTest, ReportBytesFromTheStoredRecords) {
    *effects.GetItem(3) = {4, 2, 1, 0};
    *effects.GetItem(1) = {9, 1, 0, 3};
    *effects.GetItem(6) = {2, 0, 0, 5};
    *effects.GetItem(2) = {5, 1, 1, 2};
    sides.GetItem(4)->level = 7;
    sides.GetItem(0)->level = 4;

    sender.SendLedEffect(3);
    sender.SendLedEffect(1);
    sender.SendLedEffect(6);
    sender.SendSideLight(4);
    sender.SendSideLight(0);
    sender.SendLedEffectRaw(2);
    std::vector<Report> bytes;
    for (const auto& s : hid.sent) {
        bytes.push_back(s.bytes);
    }
    EXPECT_THAT(bytes, ::testing::ElementsAre(R({7, 0xFF, 0xFF, 3, 4, 2, 0, 0}),  // selection 0 stays 0
                                              R({7, 0xFF, 0xFF, 1, 5, 1, 2, 0}),  // clamped, 3 -> 2
                                              R({7, 0xFF, 0xFF, 6, 2, 0, 5, 0}),  // 5 passes unchanged
                                              R({7, 0xFF, 0xFF, 0x20, 0, 0, 0x74, 0}),
                                              R({7, 0xFF, 0xFF, 0x20, 0, 0, 0x40, 0}),
                                              R({7, 0xFF, 0xFF, 2, 5, 1, 1, 2})));
}

TEST_F(LightingSenderTest, MinusOneSendsTheCurrentEntryAndOutOfRangeSendsNothing) {
    // The settings have no file here: only the choice in memory matters, not the save.
    static_cast<void>(effects.SetSel(7));
    *effects.GetItem(7) = {3, 1, 0, 1};
    static_cast<void>(sides.SetSel(9));
    sides.GetItem(9)->level = 6;
    sender.SendLedEffect(-1);
    sender.SendSideLight(-1);
    sender.SendLedEffectRaw(-1);
    ASSERT_EQ(hid.sent.size(), 3u);
    EXPECT_EQ(hid.sent[0].bytes, R({7, 0xFF, 0xFF, 7, 3, 1, 0, 0}));
    EXPECT_EQ(hid.sent[1].bytes, R({7, 0xFF, 0xFF, 0x20, 0, 0, 0x69, 0}));
    EXPECT_EQ(hid.sent[2].bytes, R({7, 0xFF, 0xFF, 7, 3, 1, 0, 1}));

    const int64_t stamp = sender.LastLightingSend();
    const int64_t now = clock->now;
    static_cast<void>(effects.SetSel(kb::LedEffectConfig::kFactorySel));  // 20: a selection without a record
    for (int effect : {20, -1, -2, 100}) {
        sender.SendLedEffect(effect);
        sender.SendLedEffectRaw(effect);
    }
    for (int mode : {12, -2}) {
        sender.SendSideLight(mode);
    }
    EXPECT_EQ(hid.sent.size(), 3u);
    EXPECT_EQ(clock->now, now) << "no wait";
    EXPECT_EQ(sender.LastLightingSend(), stamp);
}

TEST_F(LightingSenderTest, PacedReportsStartAHundredMillisecondsAfterThePreviousOneEnded) {
    hid.duration = 8;
    sender.SendLedEffect(0);
    EXPECT_TRUE(clock->sleeps.empty());
    const int64_t firstEnd = clock->now;
    EXPECT_EQ(sender.LastLightingSend(), firstEnd);

    clock->now += 30;
    sender.SendSideLight(2);  // the stamp is shared by both kinds
    EXPECT_EQ(hid.sent.back().at, firstEnd + 100);
    EXPECT_THAT(clock->sleeps, ::testing::ElementsAre(70));

    clock->now += 150;
    sender.SendLedEffect(4);
    EXPECT_EQ(clock->sleeps.size(), 1u) << "150 ms later: no wait";

    // The start-up form neither waits nor moves the stamp.
    const int64_t stamp = sender.LastLightingSend();
    sender.SendLedEffectRaw(4);
    EXPECT_EQ(sender.LastLightingSend(), stamp);
    EXPECT_EQ(clock->sleeps.size(), 1u);

    // A report that fails (device gone) still waits and still moves the stamp.
    hid.open = false;
    sender.SendLedEffect(5);
    EXPECT_EQ(clock->sleeps.size(), 2u);
    EXPECT_EQ(sender.LastLightingSend(), clock->now);

    // Window start-up and keyboard arrival stamp too.
    clock->now += 500;
    sender.MarkLightingSend();
    clock->now += 40;
    sender.SendSideLight(3);
    EXPECT_EQ(clock->sleeps.back(), 60);
}

TEST_F(LightingSenderTest, FirmwareVersion) {
    EXPECT_EQ(sender.FirmwareVersion(), -1);
    hid.reply = R({7, 1, 5});
    sender.ReadFirmwareVersion();
    EXPECT_EQ(hid.sent.back().bytes, R({7, 0xF1}));
    EXPECT_EQ(sender.FirmwareVersion(), 0x105);
    hid.reply = R({7, 1, 0xC8});
    sender.ReadFirmwareVersion();
    EXPECT_EQ(sender.FirmwareVersion(), 0x1C8) << "bytes are unsigned";

    // Failures keep the value; a closed device gets no request at all.
    hid.getOk = false;
    sender.ReadFirmwareVersion();
    EXPECT_EQ(sender.FirmwareVersion(), 0x1C8);
    hid.getOk = true;
    hid.setOk = false;
    sender.ReadFirmwareVersion();
    EXPECT_EQ(sender.FirmwareVersion(), 0x1C8);
    hid.setOk = true;

    // A reply too short to hold both version bytes, or of another report, is a failed read: the
    // request's own bytes must not read as "v241.0".
    struct Bad {
        Report reply;
        std::size_t length;
    };
    for (const Bad& bad : {Bad{R({7, 2, 3}), 2}, Bad{R({7}), 1}, Bad{R({0}), 0}, Bad{R({8, 2, 3}), 8}}) {
        hid.reply = bad.reply;
        hid.replyLength = bad.length;
        sender.ReadFirmwareVersion();
        EXPECT_EQ(sender.FirmwareVersion(), 0x1C8) << bad.length << " bytes of report " << int{bad.reply[0]};
    }
    hid.reply = R({7, 2, 3});
    hid.replyLength = 3;
    sender.ReadFirmwareVersion();
    EXPECT_EQ(sender.FirmwareVersion(), 0x203);

    hid.open = false;
    const std::size_t sent = hid.sent.size();
    sender.ReadFirmwareVersion();
    EXPECT_EQ(hid.sent.size(), sent);

    EXPECT_EQ(kb::FirmwareVersionText(0x105), "v1.5");
    EXPECT_EQ(kb::FirmwareVersionText(0x20A), "v2.10");
    EXPECT_EQ(kb::FirmwareVersionText(0x2C8), "v2.200");
    EXPECT_EQ(kb::FirmwareVersionText(0), "Early version");
    EXPECT_EQ(kb::FirmwareVersionText(-1), "");
}

}  // namespace
