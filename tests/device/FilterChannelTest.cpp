#include "kb/device/FilterChannel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <tuple>

#include "FilterTestServer.h"

namespace fs = std::filesystem;
using kb::KbFiltrDevice::FilterChannel;
using kb::KbFiltrDevice::FilterOpenError;
using kb::KbFiltrDevice::FilterReply;
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
    FilterReply refusal;
    EXPECT_FALSE(channel->SetFilterMode(7, &refusal)) << "a refused request reports failure";
    EXPECT_TRUE(refusal.refused);
    EXPECT_EQ(refusal.reason, "refused mode 0x7") << "the daemon's words, without its line end";

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

TEST_F(FilterChannelTest, MonitorReportsEachPushedPressAndReleaseOnceWithoutPolling) {
    kbtest::FilterTestServer server(dir_ / "kbfilterd.sock");
    auto channel = MakeChannel();
    ASSERT_TRUE(channel->OpenChannel());
    EventLog log;
    bool deleted = false;
    Listener listener{&log, 1, &deleted};
    channel->SetProxy(std::make_unique<TrackedProxy>(listener));
    server.Hold({0x1E});  // held before the monitor starts: reported as pressed at its start
    ASSERT_TRUE(channel->StartMonitor());
    EXPECT_TRUE(channel->IsMonitoring());
    EXPECT_EQ(server.Subscribers(), 1u) << "subscribed before StartMonitor returns: no early key is lost";
    ASSERT_TRUE(log.WaitFor(1));

    // A tap far shorter than any poll, both frames in one write, then repeats and releases of keys not
    // held (which change nothing); bit 31 is no part of a key code.
    EXPECT_EQ(server.PushAll({{0x30, true},
                              {0x30, false},
                              {0x1001D, true},
                              {0x1001D, true},
                              {0x80000030u, true},
                              {0x2C, false},
                              {0x1E, false},
                              {0x1001D, false},
                              {0x30, false}}),
              1);
    ASSERT_TRUE(log.WaitFor(8));
    EXPECT_THAT(log.Events(),
                ElementsAre(Event{1, 0x1E, 1}, Event{1, 0x30, 1}, Event{1, 0x30, 0}, Event{1, 0x1001D, 1},
                            Event{1, 0x30, 1}, Event{1, 0x1E, 0}, Event{1, 0x1001D, 0}, Event{1, 0x30, 0}));
    EXPECT_EQ(server.ReadRequests().size(), 1u) << "one held-key read at the start, then no polling";

    channel->StopMonitor();
    EXPECT_FALSE(channel->IsMonitoring());
    EXPECT_TRUE(server.WaitNoSubscribers()) << "the subscription ends with the monitor";
    channel.reset();
    EXPECT_TRUE(deleted) << "the teardown deletes the listener";
}

TEST_F(FilterChannelTest, ReplacingTheListenerWhileRunningNeitherReplaysNorCallsTheOldOne) {
    kbtest::FilterTestServer server(dir_ / "kbfilterd.sock");
    auto channel = MakeChannel();
    ASSERT_TRUE(channel->OpenChannel());
    EventLog log;
    bool deleted[3] = {false, false, false};
    Listener listeners[3] = {{&log, 0, &deleted[0]}, {&log, 1, &deleted[1]}, {&log, 2, &deleted[2]}};
    channel->SetProxy(std::make_unique<TrackedProxy>(listeners[0]));
    ASSERT_TRUE(channel->StartMonitor());
    server.Push(0x1E, true);
    ASSERT_TRUE(log.WaitFor(1));
    // A later listener hears what happens from then on, never an earlier event again.
    channel->SetProxy(std::make_unique<TrackedProxy>(listeners[1]));
    EXPECT_TRUE(deleted[0]);
    server.Push(0x2C, true);
    ASSERT_TRUE(log.WaitFor(2));
    channel->SetProxy(std::make_unique<TrackedProxy>(listeners[2]));
    EXPECT_TRUE(deleted[1]);
    server.PushAll({{0x1E, false}, {0x2C, false}});
    ASSERT_TRUE(log.WaitFor(4));
    // A second start stops the first monitor; what is held carries over, so nothing is reported anew.
    server.Hold({0x2C});
    server.Push(0x2C, true);
    ASSERT_TRUE(log.WaitFor(5));
    ASSERT_TRUE(channel->StartMonitor());
    server.Push(0x2C, false);
    ASSERT_TRUE(log.WaitFor(6));
    EXPECT_THAT(log.Events(), ElementsAre(Event{0, 0x1E, 1}, Event{1, 0x2C, 1}, Event{2, 0x1E, 0},
                                          Event{2, 0x2C, 0}, Event{2, 0x2C, 1}, Event{2, 0x2C, 0}));
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
    EXPECT_TRUE(server.WaitNoSubscribers());
}

TEST_F(FilterChannelTest, TheMonitorSubscribesAgainAfterADaemonRestart) {
    auto server = std::make_unique<kbtest::FilterTestServer>(dir_ / "kbfilterd.sock");
    auto channel = MakeChannel();
    ASSERT_TRUE(channel->OpenChannel());
    EventLog log;
    bool deleted = false;
    Listener listener{&log, 1, &deleted};
    channel->SetProxy(std::make_unique<TrackedProxy>(listener));
    ASSERT_TRUE(channel->StartMonitor());
    server->Push(0x1E, true);
    ASSERT_TRUE(log.WaitFor(1));
    server.reset();  // the daemon ends: the key can no longer be known to be down
    ASSERT_TRUE(log.WaitFor(2));
    kbtest::FilterTestServer restarted(dir_ / "kbfilterd.sock");
    ASSERT_TRUE(restarted.WaitSubscribers(1));
    restarted.PushAll({{0x30, true}, {0x30, false}});
    ASSERT_TRUE(log.WaitFor(4));
    EXPECT_THAT(log.Events(),
                ElementsAre(Event{1, 0x1E, 1}, Event{1, 0x1E, 0}, Event{1, 0x30, 1}, Event{1, 0x30, 0}));
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
    // The monitor still runs (and stops at once) without an interface.
    EXPECT_TRUE(channel->StartMonitor());
    channel->StopMonitor();
    EXPECT_FALSE(channel->IsMonitoring());

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

TEST_F(FilterChannelTest, AnUnansweredRequestTimesOutAndTheNextOneConnectsAnew) {
    auto server = std::make_unique<kbtest::FilterTestServer>(dir_ / "kbfilterd.sock");
    auto channel = MakeChannel();
    ASSERT_TRUE(channel->OpenChannel());
    server->StopAnswering();
    FilterReply reply;
    EXPECT_FALSE(channel->SetFilterMode(0, &reply));
    EXPECT_FALSE(reply.refused);
    EXPECT_NE(reply.reason.find("did not answer"), std::string::npos) << reply.reason;
    // The daemon answering again (restarted): the channel talks to it on a new connection.
    server.reset();
    server = std::make_unique<kbtest::FilterTestServer>(dir_ / "kbfilterd.sock");
    EXPECT_TRUE(channel->SetFilterMode(1, &reply)) << reply.reason;
    EXPECT_TRUE(channel->ReloadAssignments(&reply)) << reply.reason;
    EXPECT_EQ(server->Requests().size(), 2u);
}

TEST_F(FilterChannelTest, ConnectingToADaemonThatDoesNotAcceptIsBounded) {
    // A listener that never accepts, its backlog full.
    const fs::path path = dir_ / "kbfilterd.sock";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    std::vector<int> waiting;
    for (int i = 0; i < 64; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        const int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        waiting.push_back(fd);
        if (rc != 0) {
            break;  // the backlog is full
        }
    }
    auto channel = MakeChannel();
    auto opened = std::async(std::launch::async, [&] { return channel->OpenChannel(); });
    const bool returned = opened.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    ::close(listener);  // frees a connect that is still waiting, so that a failure ends too
    EXPECT_TRUE(returned) << "connect waited for a daemon that does not accept";
    EXPECT_FALSE(opened.get());
    EXPECT_EQ(channel->LastOpenError(), FilterOpenError::Failed);
    EXPECT_NE(channel->LastOpenProblem().find("does not accept"), std::string::npos)
        << channel->LastOpenProblem();
    for (const int fd : waiting) {
        ::close(fd);
    }
}

TEST_F(FilterChannelTest, ReloadHandsOverTheRecordFileItself) {
    kbtest::FilterTestServer server(dir_ / "kbfilterd.sock");
    auto channel = MakeChannel();
    ASSERT_TRUE(channel->OpenChannel());
    // No record file known: the daemon reloads its own copy.
    ASSERT_TRUE(channel->ReloadAssignments());
    std::ofstream(dir_ / "record.bin", std::ios::binary) << "records";
    std::ofstream(dir_ / "other.bin", std::ios::binary) << "planted";
    fs::create_symlink(dir_ / "other.bin", dir_ / "linked.bin");
    ASSERT_EQ(::mkfifo((dir_ / "fifo.bin").c_str(), 0600), 0);
    struct Case {
        const char* file;
        bool ok;
        const char* reason;
    };
    const Case cases[] = {
        {"record.bin", true, ""},
        {"linked.bin", false, "symbolic link"},
        {"fifo.bin", false, "not a regular file"},  // and no wait for a writer
        {"missing.bin", false, "No such file"},
        {"record.bin", true, ""},  // the first failure leaves the channel usable
    };
    for (const Case& c : cases) {
        channel->SetRecordFile(dir_ / c.file);
        FilterReply reply;
        EXPECT_EQ(channel->ReloadAssignments(&reply), c.ok) << c.file;
        EXPECT_FALSE(reply.refused) << c.file;
        EXPECT_NE(reply.reason.find(c.reason), std::string::npos) << c.file << ": " << reply.reason;
    }
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u) << "nothing is sent for a file that cannot be handed over";
    for (const auto& r : requests) {
        EXPECT_EQ(r.bytes, Bytes({0x1C, 0x60, 0x0B, 0, 0, 0, 0, 0})) << "the request itself is unchanged";
    }
    EXPECT_FALSE(requests[0].file.has_value());
    for (const std::size_t i : {1u, 2u}) {
        ASSERT_TRUE(requests[i].file.has_value());
        EXPECT_EQ(*requests[i].file, "records");
        EXPECT_TRUE(requests[i].fileReadOnly);
    }
}

}  // namespace
