#include "kb/device/VirtualFilter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "kb/device/FilterChannel.h"

namespace w = kb::filterwire;
using kb::KbFiltrDevice::FilterChannel;
using kb::KbFiltrDevice::IMonitorProxy;
using kb::KbFiltrDevice::VirtualFilter;

namespace {

std::vector<std::byte> U32(uint32_t v) {
    std::vector<std::byte> out(4);
    w::PutU32(out.data(), v);
    return out;
}

TEST(VirtualFilterTest, AnswersLikeTheDaemon) {
    struct Case {
        uint32_t code;
        std::vector<std::byte> input;
        w::Status status;
        std::size_t outputBytes;
    };
    const Case cases[] = {
        {w::kReadHeldKeys, {}, w::Status::Ok, 1024},   {w::kReadHeldKeys, U32(0), w::Status::BadSize, 0},
        {w::kReloadAssignments, {}, w::Status::Ok, 0}, {w::kSetMode, U32(0xFFFFFFFFu), w::Status::Ok, 0},
        {w::kSetMode, U32(2), w::Status::BadValue, 0}, {w::kSetMode, {}, w::Status::BadSize, 0},
        {0xB6028, {}, w::Status::UnknownRequest, 0},
    };
    VirtualFilter filter;
    for (const Case& c : cases) {
        std::vector<std::byte> output(3, std::byte{9});
        EXPECT_EQ(filter.Handle(c.code, c.input, output), c.status) << std::hex << c.code;
        EXPECT_EQ(output.size(), c.outputBytes) << std::hex << c.code;
    }
    EXPECT_EQ(filter.Mode(), 0xFFFFFFFFu) << "a refused mode leaves the last good one";
    EXPECT_EQ(filter.ReloadCount(), 1);
    EXPECT_EQ(filter.Requests().size(), 6u) << "every request but the held-key reads is kept";
}

TEST(VirtualFilterTest, HeldKeysKeepPressOrderWithoutDuplicates) {
    VirtualFilter filter;
    filter.PressKey(0x1E);
    filter.PressKey(0x1001D);
    filter.PressKey(0x1E);
    filter.PressKey(0);  // 0 marks an empty slot: never a key
    filter.PressKey(0x30);
    filter.ReleaseKey(0x1001D);
    EXPECT_THAT(filter.HeldKeys(), ::testing::ElementsAre(0x1Eu, 0x30u));
    for (uint32_t code = 1; code <= 300; ++code) {
        filter.PressKey(code);
    }
    EXPECT_EQ(filter.HeldKeys().size(), 256u);
    filter.ReleaseAll();
    EXPECT_TRUE(filter.HeldKeys().empty());
}

class Collect final : public IMonitorProxy {
  public:
    void OnMonitorKey(uint32_t code, uint32_t pressed) override {
        const std::lock_guard guard(mutex);
        events.emplace_back(code, pressed);
        cv.notify_all();
    }
    bool WaitFor(std::size_t n) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(10), [&] { return events.size() >= n; });
    }
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::pair<uint32_t, uint32_t>> events;
};

TEST(VirtualFilterTest, ChannelOverTheVirtualFilter) {
    VirtualFilter filter;
    FilterChannel channel([&] { return filter.Open(); });
    ASSERT_TRUE(channel.OpenChannel());
    EXPECT_TRUE(channel.SetFilterMode(0));
    EXPECT_EQ(filter.Mode(), 0u);
    EXPECT_TRUE(channel.ReloadAssignments());
    EXPECT_EQ(filter.ReloadCount(), 1);

    auto collect = std::make_unique<Collect>();
    Collect* events = collect.get();
    channel.SetProxy(std::move(collect));
    ASSERT_TRUE(channel.StartMonitor());
    filter.PressKey(0x1D);
    ASSERT_TRUE(events->WaitFor(1));
    filter.ReleaseKey(0x1D);
    ASSERT_TRUE(events->WaitFor(2));
    channel.StopMonitor();
    const std::lock_guard guard(events->mutex);
    EXPECT_EQ(events->events, (std::vector<std::pair<uint32_t, uint32_t>>{{0x1D, 1}, {0x1D, 0}}));
}

TEST(VirtualFilterTest, EnvironmentSelectsTheProcessInstance) {
    ::setenv(VirtualFilter::kEnv, "1", 1);
    FilterChannel channel;
    ASSERT_TRUE(channel.OpenChannel());
    EXPECT_EQ(channel.LastOpenPath(), VirtualFilter::kPath);
    EXPECT_TRUE(channel.SetFilterMode(0xFFFFFFFFu));
    EXPECT_EQ(VirtualFilter::Instance().Mode(), 0xFFFFFFFFu);
    ::setenv(VirtualFilter::kEnv, "0", 1);
    EXPECT_FALSE(VirtualFilter::Enabled());
    ::unsetenv(VirtualFilter::kEnv);
}

}  // namespace
