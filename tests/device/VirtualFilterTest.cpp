#include "kb/device/VirtualFilter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "kb/device/FilterChannel.h"
#include "kb/keys/KeyRecordTable.h"

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
        std::string reason;  // a refusal's text
    };
    const Case cases[] = {
        {w::kReadHeldKeys, {}, w::Status::Ok, 1024, ""},
        {w::kReadHeldKeys, U32(0), w::Status::BadSize, 0, "takes 0 input bytes, not 4"},
        {w::kReloadAssignments, {}, w::Status::Ok, 0, ""},
        {w::kSetMode, U32(0xFFFFFFFFu), w::Status::Ok, 0, ""},
        {w::kSetMode, U32(5), w::Status::BadValue, 0, "refused mode 0x5"},
        {w::kSetMode, {}, w::Status::BadSize, 0, "takes 4 input bytes, not 0"},
        {w::kSubscribeKeys, U32(w::kSubscribeOn), w::Status::Ok, 0, ""},
        {0xB6028, {}, w::Status::UnknownRequest, 0, "unknown request 0xB6028"},
    };
    VirtualFilter filter;
    for (const Case& c : cases) {
        std::vector<std::byte> output(3, std::byte{9});
        EXPECT_EQ(filter.Handle(c.code, c.input, output), c.status) << std::hex << c.code;
        const std::string text(reinterpret_cast<const char*>(output.data()), output.size());
        if (c.reason.empty()) {
            EXPECT_EQ(output.size(), c.outputBytes) << std::hex << c.code;
        } else {
            EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        }
    }
    EXPECT_EQ(filter.Mode(), 0xFFFFFFFFu) << "a refused mode leaves the last good one";
    EXPECT_EQ(filter.ReloadCount(), 1);
    EXPECT_EQ(filter.Requests().size(), 7u) << "every request but the held-key reads is kept";
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
    filter.PressKey(0x2A);  // held at the start: reported first
    ASSERT_TRUE(channel.StartMonitor());
    // A tap with no time between press and release is pushed, so it is seen whole.
    filter.PressKey(0x1D);
    filter.ReleaseKey(0x1D);
    filter.ReleaseAll();
    ASSERT_TRUE(events->WaitFor(4));
    channel.StopMonitor();
    const std::lock_guard guard(events->mutex);
    EXPECT_EQ(events->events,
              (std::vector<std::pair<uint32_t, uint32_t>>{{0x2A, 1}, {0x1D, 1}, {0x1D, 0}, {0x2A, 0}}));
}

TEST(VirtualFilterTest, ModesOfAConnectionEndWithIt) {
    VirtualFilter filter;
    auto owner = std::make_unique<FilterChannel>([&] { return filter.Open(); });
    FilterChannel other([&] { return filter.Open(); });
    ASSERT_TRUE(owner->OpenChannel());
    ASSERT_TRUE(other.OpenChannel());
    kb::KbFiltrDevice::FilterReply reply;
    EXPECT_FALSE(owner->SetFilterMode(5, &reply));
    EXPECT_TRUE(reply.refused);
    EXPECT_EQ(reply.reason, "refused mode 0x5");
    ASSERT_TRUE(owner->SetFilterMode(w::kModeCapture));
    other.CloseChannel();
    EXPECT_EQ(filter.Mode(), w::kModeCapture) << "another connection's end changes nothing";
    owner.reset();  // the program that captured is gone
    EXPECT_EQ(filter.Mode(), w::kModeNormal);
}

TEST(VirtualFilterTest, ReloadReadsTheHandedOverFileLikeTheDaemon) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kb_vfilter_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    kb::KeyRecord record;
    record.code = 0x1E;
    record.kind = record.mode = 1;
    record.parameter = 0x30;
    std::ofstream(dir / "record.bin", std::ios::binary) << kb::EncodeRecordFile({record, record});
    std::ofstream(dir / "broken.bin", std::ios::binary) << "not records";
    VirtualFilter filter;
    FilterChannel channel([&] { return filter.Open(); });
    ASSERT_TRUE(channel.OpenChannel());
    channel.SetRecordFile(dir / "record.bin");
    EXPECT_TRUE(channel.ReloadAssignments());
    EXPECT_EQ(filter.LoadedRecords(), 2);
    channel.SetRecordFile(dir / "broken.bin");
    kb::KbFiltrDevice::FilterReply reply;
    EXPECT_FALSE(channel.ReloadAssignments(&reply));
    EXPECT_TRUE(reply.refused);
    EXPECT_NE(reply.reason.find("broken.bin"), std::string::npos) << reply.reason;
    EXPECT_EQ(filter.LoadedRecords(), 2) << "the previous assignments stay";
    EXPECT_EQ(filter.ReloadCount(), 1);
    fs::remove_all(dir);
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
