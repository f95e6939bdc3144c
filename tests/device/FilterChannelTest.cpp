#include "kb/device/FilterChannel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <tuple>

#include "FilterTestServer.h"

namespace fs = std::filesystem;
using kb::KbFiltrDevice::FilterChannel;
using kb::KbFiltrDevice::FilterOpenError;
using kb::KbFiltrDevice::IMonitorProxy;
using kb::KbFiltrDevice::MonitorProxy;
using ::testing::ElementsAre;

namespace {

// (listener tag, key code, pressed)
using Event = std::tuple<int, uint32_t, uint32_t>;

class EventLog {
  public:
    void Add(Event e) {
        const std::lock_guard guard(mutex_);
        events_.push_back(e);
        cv_.notify_all();
    }
    bool WaitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return events_.size() >= count; });
    }
    std::vector<Event> Events() {
        const std::lock_guard guard(mutex_);
        return events_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Event> events_;
};

// Stands in for the window the proxy forwards to.
struct Listener {
    EventLog* log;
    int tag;
    bool* deleted;
    void OnKey(uint32_t code, uint32_t pressed) {
        EXPECT_FALSE(*deleted) << "listener called after its proxy was deleted";
        log->Add({tag, code, pressed});
    }
};

class TrackedProxy final : public IMonitorProxy {
  public:
    explicit TrackedProxy(Listener& l) : listener_(l), forward_(&l, &Listener::OnKey) {}
    ~TrackedProxy() override { *listener_.deleted = true; }
    void OnMonitorKey(uint32_t code, uint32_t pressed) override { forward_.OnMonitorKey(code, pressed); }

  private:
    Listener& listener_;
    MonitorProxy<Listener> forward_;
};

class FilterChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kb_filter_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ::setenv("KBFILTERD_SOCKET_DIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("KBFILTERD_SOCKET_DIR");
        fs::remove_all(dir_);
    }
    // The platform opener, never the virtual filter, whatever the environment says.
    static std::unique_ptr<FilterChannel> MakeChannel() {
        return std::make_unique<FilterChannel>(kb::KbFiltrDevice::OpenFilterInterface);
    }

    fs::path dir_;
};

std::vector<std::byte> Bytes(std::initializer_list<int> values) {
    std::vector<std::byte> out;
    for (int v : values) {
        out.push_back(static_cast<std::byte>(v));
    }
    return out;
}

TEST_F(FilterChannelTest, RequestsCarryCodeLengthAndInputLittleEndian) {
    kbtest::FilterTestServer server(dir_ / "kbfilterd.sock");
    ASSERT_TRUE(server.Listening());
    auto channel = MakeChannel();
    ASSERT_TRUE(channel->OpenChannel());
    EXPECT_EQ(channel->LastOpenError(), FilterOpenError::None);
    EXPECT_EQ(channel->LastOpenPath(), (dir_ / "kbfilterd.sock").string());

    EXPECT_TRUE(channel->SetFilterMode(0xFFFFFFFFu));
    EXPECT_TRUE(channel->SetFilterMode(1));
    EXPECT_TRUE(channel->ReloadAssignments());
    EXPECT_FALSE(channel->SetFilterMode(7)) << "a refused request reports failure";

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].bytes, Bytes({0x24, 0x60, 0x0B, 0, 4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(requests[1].bytes, Bytes({0x24, 0x60, 0x0B, 0, 4, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(requests[2].bytes, Bytes({0x1C, 0x60, 0x0B, 0, 0, 0, 0, 0}));

    server.Hold({0x1E, 0x1001D, 0x80000030u});
    FilterChannel::HeldKeys keys{};
    EXPECT_EQ(channel->ReadHeldKeys(keys), 1024u);
    EXPECT_EQ(keys[0], 0x1Eu);
    EXPECT_EQ(keys[1], 0x1001Du);
    EXPECT_EQ(keys[2], 0x80000030u);
    EXPECT_EQ(keys[3], 0u);
    EXPECT_EQ(server.ReadRequests().back().bytes, Bytes({0x0C, 0x60, 0x0B, 0, 0, 0, 0, 0}));
}

TEST_F(FilterChannelTest, MonitorReportsEachPressAndReleaseOnce) {
    kbtest::FilterTestServer server(dir_ / "kbfilterd.sock");
    auto channel = MakeChannel();
    ASSERT_TRUE(channel->OpenChannel());
    EventLog log;
    bool deleted = false;
    Listener listener{&log, 1, &deleted};
    channel->SetProxy(std::make_unique<TrackedProxy>(listener));
    ASSERT_TRUE(channel->StartMonitor());
    EXPECT_TRUE(channel->IsMonitoring());

    server.Hold({0x1E});
    ASSERT_TRUE(server.WaitReadsSinceHold(20));  // held across many polls
    // Two keys appear in one poll while the first goes: presses in array order, then the release.
    server.Hold({0x30, 0x1001D});
    ASSERT_TRUE(server.WaitReadsSinceHold(20));
    server.Hold({0x1001D, 0x80000030u});  // bit 31 is no part of a key code: 0x30 stays held
    ASSERT_TRUE(server.WaitReadsSinceHold(20));
    server.Hold({});
    ASSERT_TRUE(log.WaitFor(6));
    ASSERT_TRUE(server.WaitReadsSinceHold(20));
    EXPECT_THAT(log.Events(), ElementsAre(Event{1, 0x1E, 1}, Event{1, 0x30, 1}, Event{1, 0x1001D, 1},
                                          Event{1, 0x1E, 0}, Event{1, 0x1001D, 0}, Event{1, 0x30, 0}));
    channel->StopMonitor();
    EXPECT_FALSE(channel->IsMonitoring());
    channel.reset();
    EXPECT_TRUE(deleted) << "the teardown deletes the listener";
}

TEST_F(FilterChannelTest, ReplacingTheListenerWhileRunningNeitherReplaysNorCallsTheOldOne) {
    kbtest::FilterTestServer server(dir_ / "kbfilterd.sock");
    auto channel = MakeChannel();
    ASSERT_TRUE(channel->OpenChannel());
    ASSERT_TRUE(channel->StartMonitor());
    // Held while nobody listens: followed, not reported, and not replayed to a later listener.
    server.Hold({0x1E});
    ASSERT_TRUE(server.WaitReadsSinceHold(5));

    EventLog log;
    bool firstDeleted = false;
    bool secondDeleted = false;
    Listener first{&log, 1, &firstDeleted};
    Listener second{&log, 2, &secondDeleted};
    channel->SetProxy(std::make_unique<TrackedProxy>(first));
    server.Hold({0x1E, 0x2C});
    ASSERT_TRUE(log.WaitFor(1));
    channel->SetProxy(std::make_unique<TrackedProxy>(second));
    EXPECT_TRUE(firstDeleted);
    server.Hold({});
    ASSERT_TRUE(log.WaitFor(3));
    // A second start stops the first thread; the held keys carry over, so nothing is reported anew.
    ASSERT_TRUE(channel->StartMonitor());
    ASSERT_TRUE(server.WaitReadsSinceHold(20));
    EXPECT_THAT(log.Events(), ElementsAre(Event{1, 0x2C, 1}, Event{2, 0x1E, 0}, Event{2, 0x2C, 0}));
}

TEST_F(FilterChannelTest, ClosingTheChannelReleasesWhatWasHeld) {
    kbtest::FilterTestServer server(dir_ / "kbfilterd.sock");
    auto channel = MakeChannel();
    ASSERT_TRUE(channel->OpenChannel());
    EventLog log;
    bool deleted = false;
    Listener listener{&log, 1, &deleted};
    channel->SetProxy(std::make_unique<TrackedProxy>(listener));
    server.Hold({0x1E});
    ASSERT_TRUE(channel->StartMonitor());
    ASSERT_TRUE(log.WaitFor(1));
    channel->CloseChannel();
    ASSERT_TRUE(log.WaitFor(2));
    EXPECT_THAT(log.Events(), ElementsAre(Event{1, 0x1E, 1}, Event{1, 0x1E, 0}));
    EXPECT_FALSE(channel->IsOpen());
}

TEST_F(FilterChannelTest, WithoutASocketEveryRequestIsSkipped) {
    fs::create_directories(dir_ / "not-a-socket");
    std::ofstream(dir_ / "plain-file") << "x";
    auto channel = MakeChannel();
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(channel->OpenChannel());
    const std::string trace = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(trace,
              "\nList of KBFILTER Device Interfaces\n---------------------------------\n"
              "No device interfaces present\n");
    EXPECT_EQ(channel->LastOpenError(), FilterOpenError::NoInterface);
    EXPECT_NE(channel->LastOpenProblem().find(dir_.string()), std::string::npos);
    EXPECT_FALSE(channel->IsOpen());
    EXPECT_FALSE(channel->SetFilterMode(1));
    EXPECT_FALSE(channel->ReloadAssignments());
    FilterChannel::HeldKeys keys{};
    keys[0] = 0x1E;
    EXPECT_EQ(channel->ReadHeldKeys(keys), 0u);
    EXPECT_EQ(keys[0], 0x1Eu);
    // The monitor still runs (and stops) without an interface.
    EXPECT_TRUE(channel->StartMonitor());
    channel->StopMonitor();

    ::unsetenv("KBFILTERD_SOCKET_DIR");
    ::setenv("KBFILTERD_SOCKET_DIR", (dir_ / "missing").c_str(), 1);
    EXPECT_FALSE(channel->OpenChannel());
    EXPECT_EQ(channel->LastOpenError(), FilterOpenError::NoInterface);
}

TEST_F(FilterChannelTest, OfSeveralSocketsTheLastInNameOrderIsUsed) {
    kbtest::FilterTestServer b(dir_ / "b.sock");
    kbtest::FilterTestServer a(dir_ / "a.sock");
    auto channel = MakeChannel();
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(channel->OpenChannel());
    const std::string trace = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(trace.find("1 " + (dir_ / "a.sock").string() + "\n2 " + (dir_ / "b.sock").string() + "\n"),
              std::string::npos)
        << trace;
    EXPECT_TRUE(channel->SetFilterMode(0));
    EXPECT_EQ(a.Requests().size(), 0u);
    EXPECT_EQ(b.Requests().size(), 1u);
}

TEST_F(FilterChannelTest, ARestartedDaemonIsReachedAgainWithoutReopening) {
    auto server = std::make_unique<kbtest::FilterTestServer>(dir_ / "kbfilterd.sock");
    auto channel = MakeChannel();
    ASSERT_TRUE(channel->OpenChannel());
    ASSERT_TRUE(channel->SetFilterMode(1));
    server.reset();  // the daemon goes away (a restart, or it made room for another client)
    EXPECT_FALSE(channel->ReloadAssignments());
    kbtest::FilterTestServer restarted(dir_ / "kbfilterd.sock");
    EXPECT_TRUE(channel->SetFilterMode(1));
    EXPECT_EQ(restarted.Requests().size(), 1u);
}

TEST_F(FilterChannelTest, ADeadDaemonFailsRequestsInsteadOfHanging) {
    auto server = std::make_unique<kbtest::FilterTestServer>(dir_ / "kbfilterd.sock");
    auto channel = MakeChannel();
    ASSERT_TRUE(channel->OpenChannel());
    ASSERT_TRUE(channel->SetFilterMode(1));
    server.reset();
    EXPECT_FALSE(channel->SetFilterMode(1));
    EXPECT_FALSE(channel->ReloadAssignments());

    // A socket file that nobody listens on any more.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, (dir_ / "stale.sock").c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    EXPECT_FALSE(channel->OpenChannel());
    EXPECT_EQ(channel->LastOpenError(), FilterOpenError::Failed);
    EXPECT_NE(channel->LastOpenProblem().find("not listening"), std::string::npos);
}

}  // namespace
