#include "kb/device/VirtualKeyboard.h"

#include "kb/common/Utf.h"
#include "kb/device/DeviceWatcher.h"
#include "kb/device/HidDevice.h"
#include "kb/device/HidDiscovery.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kb {
namespace {

using namespace std::chrono_literals;

class VirtualKeyboardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("KBSTUDIO_VIRTUAL_KEYBOARD", "1", 1);
        keyboard_.Configure({0x1209, 0xA1E5, 1, -1}, 0x105);
        keyboard_.SetClock([this] { return now_; });
        match_.vid = 0x1209;
        match_.pids = {0xA1E5};
        match_.interfaceNumber = 1;
    }
    void TearDown() override {
        keyboard_.SetClock(nullptr);
        unsetenv("KBSTUDIO_VIRTUAL_KEYBOARD");
    }

    // Only the simulated keyboard's events: the watcher also listens to the real system.
    std::vector<DeviceEvent> VirtualEvents(DeviceWatcher& watcher) {
        std::vector<DeviceEvent> events;
        for (DeviceEvent& event : watcher.ProcessPending()) {
            if (event.path.starts_with(VirtualKeyboard::kPathPrefix)) {
                events.push_back(std::move(event));
            }
        }
        return events;
    }

    VirtualKeyboard& keyboard_ = VirtualKeyboard::Instance();
    std::chrono::steady_clock::time_point now_{std::chrono::hours(1)};
    HidMatch match_;
};

TEST_F(VirtualKeyboardTest, IsListedFirstAndAnswersTheVersionRequest) {
    const std::vector<HidInterfaceInfo> found = EnumHidInterfaces(match_);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(Utf16ToUtf8(found[0].path), "virtual-keyboard#hid#vid_1209&pid_a1e5&mi_01");
    EXPECT_EQ(found[0].version, 0x105);

    HidDevice device;
    uint16_t version = 0;
    ASSERT_TRUE(device.OpenByIds(match_, &version));
    Report buffer{0x07, 0xF1};
    ASSERT_TRUE(device.SetFeature(buffer));
    ASSERT_TRUE(device.GetFeature(buffer));
    EXPECT_EQ(buffer, (Report{0x07, 0x01, 0x05, 0, 0, 0, 0, 0}));
    EXPECT_EQ(keyboard_.Reports(), (std::vector<VirtualReport>{
                                       {VirtualReport::Kind::SetFeature, {0x07, 0xF1}},
                                       {VirtualReport::Kind::GetFeature, {0x07, 0x01, 0x05}},
                                   }));

    keyboard_.Configure({0x1209, 0xA1E5, 1, -1}, 0x100);
    ASSERT_TRUE(device.OpenByIds(match_));
    ASSERT_TRUE(device.GetFeature(buffer));
    EXPECT_EQ(buffer[1], 0x01);
    EXPECT_EQ(buffer[2], 0x00);

    // Another identity: not listed for this request.
    keyboard_.Configure({0x1209, 0xA1E5, 2, -1}, 0x105);
    for (const HidInterfaceInfo& info : EnumHidInterfaces(match_)) {
        EXPECT_FALSE(info.path.starts_with(VirtualKeyboard::kPathPrefix));
    }
}

TEST_F(VirtualKeyboardTest, ResetMakesItLeaveAndComeBackThroughTheWatcher) {
    DeviceWatcher watcher;
    ASSERT_TRUE(watcher.Start());
    HidDevice device;
    ASSERT_TRUE(device.OpenByIds(match_));

    EXPECT_EQ(device.Write(Report{0x07, 0xF0, 0xAA}), 8);
    const std::u16string path = keyboard_.Path();
    EXPECT_EQ(VirtualEvents(watcher), (std::vector<DeviceEvent>{{DeviceEventKind::Removal, path}}));
    EXPECT_FALSE(keyboard_.Present());
    for (const HidInterfaceInfo& info : EnumHidInterfaces(match_)) {
        EXPECT_NE(info.path, path);
    }
    Report buffer{0x07, 0xF1};
    EXPECT_FALSE(device.SetFeature(buffer));  // like an unplugged device
    HidDevice other;
    EXPECT_FALSE(other.Open(path));

    now_ += VirtualKeyboard::kReappearDelay - 1ms;
    EXPECT_TRUE(VirtualEvents(watcher).empty());
    now_ += 1ms;
    EXPECT_EQ(VirtualEvents(watcher), (std::vector<DeviceEvent>{{DeviceEventKind::Arrival, path}}));
    EXPECT_TRUE(VirtualEvents(watcher).empty());

    EXPECT_FALSE(device.SetFeature(buffer));  // the old handle stays dead, as after a real replug
    ASSERT_TRUE(device.Open(path));
    EXPECT_TRUE(device.SetFeature(buffer));
    EXPECT_EQ(keyboard_.Reports().front(), (VirtualReport{VirtualReport::Kind::Write, {0x07, 0xF0, 0xAA}}));
}

TEST_F(VirtualKeyboardTest, StaysOutOfSightUnlessAskedFor) {
    const std::u16string path = keyboard_.Path();
    unsetenv("KBSTUDIO_VIRTUAL_KEYBOARD");
    for (const HidInterfaceInfo& info : EnumHidInterfaces(match_)) {
        EXPECT_NE(info.path, path);
    }
    HidDevice device;
    EXPECT_FALSE(device.Open(path));
    EXPECT_EQ(device.GetState(), HidDevice::State::Failed);
}

}  // namespace
}  // namespace kb
