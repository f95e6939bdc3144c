// The filter channel against the real kbfilterd, as two processes (three, with a client that is killed):
// the daemon plays scripted key events and prints what it would emit; the channel subscribes, captures,
// hands over its record file, and finds the daemon again after a restart.
#ifdef KBFILTERD_PATH

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kb/device/FilterChannel.h"
#include "kb/device/FilterWire.h"
#include "kb/keys/KeyRecordTable.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
namespace w = kb::filterwire;
using kb::KbFiltrDevice::FilterChannel;
using kb::KbFiltrDevice::FilterReply;
using Lines = std::vector<std::string>;
using ::testing::ElementsAre;

constexpr uint32_t kA = 0x1E, kB = 0x30;
constexpr const char* kHelperEnv = "KB_FILTER_CHAIN_HELPER";

// The client that is killed: this test program started again with kHelperEnv set. It opens its own
// channel, sets capture, says so on descriptor 3 and waits to be killed, before any test runs.
[[maybe_unused]] const bool kHelperRan = [] {
    const char* role = std::getenv(kHelperEnv);
    if (role == nullptr || std::strcmp(role, "capture") != 0) {
        return false;
    }
    FilterChannel channel(kb::KbFiltrDevice::OpenFilterInterface);
    const bool captured = channel.OpenChannel() && channel.SetFilterMode(w::kModeCapture);
    const char* said = captured ? "captured\n" : "failed\n";
    [[maybe_unused]] const ssize_t n = ::write(3, said, std::strlen(said));
    for (;;) {
        ::pause();
    }
}();

class EventLog final : public kb::KbFiltrDevice::IMonitorProxy {
  public:
    void OnMonitorKey(uint32_t code, uint32_t pressed) override {
        const std::lock_guard guard(mutex_);
        events_.emplace_back(code, pressed);
        cv_.notify_all();
    }
    std::vector<std::pair<uint32_t, uint32_t>> WaitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::seconds(10), [&] { return events_.size() >= count; });
        return events_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::pair<uint32_t, uint32_t>> events_;
};

class FilterChainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kb_filter_chain_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "data");
        records_ = dir_ / "data" / "record.bin";
        ::setenv(w::kSocketDirEnv, (dir_ / "sock").c_str(), 1);
        StartDaemon();
    }

    void TearDown() override {
        StopDaemon();
        ::unsetenv(w::kSocketDirEnv);
        fs::remove_all(dir_);
    }

    // The daemon with its own state folder, the script on its stdin, printing; no record file named, so
    // it plays the state folder's copy.
    void StartDaemon() {
        int in[2], out[2];
        ASSERT_EQ(::pipe2(in, O_CLOEXEC), 0);
        ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
        const std::string state = (dir_ / "state").string();
        const std::string log = (dir_ / "stderr.log").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        const char* argv[] = {"kbfilterd", "--state-dir", state.c_str(), "--script", "-", "--print", nullptr};
        const int rc =
            ::posix_spawn(&daemon_, KBFILTERD_PATH, &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        ASSERT_EQ(rc, 0);
        script_ = in[1];
        printed_ = out[0];
        // Ready once the socket takes a connection.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!Listening()) {
            ASSERT_LT(std::chrono::steady_clock::now(), until) << "the daemon never listened: " << Log();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    void StopDaemon() {
        if (daemon_ > 0) {
            ::kill(daemon_, SIGTERM);
            ::waitpid(daemon_, nullptr, 0);
            daemon_ = -1;
        }
        ::close(script_);
        ::close(printed_);
        script_ = printed_ = -1;
        pending_.clear();
    }

    bool Listening() const {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s",
                      (dir_ / "sock" / w::kSocketName).c_str());
        const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return ok;
    }

    std::string Log() const {
        std::ifstream in(dir_ / "stderr.log");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Feeds script lines and a mark; the printed lines up to the mark.
    Lines Type(const std::string& lines) {
        const std::string mark = "m" + std::to_string(++marks_);
        const std::string text = lines + "mark " + mark + "\n";
        EXPECT_EQ(::write(script_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        Lines got;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                if (line == "mark " + mark) {
                    return got;
                }
                got.push_back(line);
            }
            pollfd p{printed_, POLLIN, 0};
            char buf[512];
            if (std::chrono::steady_clock::now() > until || ::poll(&p, 1, 1000) < 0) {
                ADD_FAILURE() << "no mark " << mark << "; log: " << Log();
                return got;
            }
            const ssize_t n = p.revents != 0 ? ::read(printed_, buf, sizeof buf) : 0;
            if (p.revents != 0 && n <= 0) {
                ADD_FAILURE() << "the daemon's output ended; log: " << Log();
                return got;
            }
            pending_.append(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        }
    }

    void WriteRecords(const fs::path& file, uint32_t from, uint32_t to) {
        kb::KeyRecord r;
        r.code = from;
        r.kind = r.mode = 1;
        r.parameter = static_cast<int32_t>(to);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << kb::EncodeRecordFile({r});
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    }

    fs::path dir_, records_;
    pid_t daemon_ = -1;
    int script_ = -1, printed_ = -1;
    int marks_ = 0;
    std::string pending_;
};

TEST_F(FilterChainTest, SubscribeCaptureKillTheClientAndKeysFlowAgain) {
    FilterChannel channel(kb::KbFiltrDevice::OpenFilterInterface);
    ASSERT_TRUE(channel.OpenChannel()) << channel.LastOpenProblem();
    auto log = std::make_unique<EventLog>();
    EventLog* events = log.get();
    channel.SetProxy(std::move(log));
    ASSERT_TRUE(channel.StartMonitor());

    // A tap with no time between press and release is pushed whole, and passes through.
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_A", "up KEY_A"}));
    EXPECT_THAT(events->WaitFor(2), ElementsAre(std::pair{kA, 1u}, std::pair{kA, 0u}));

    // Another program captures: keys still reach the subscriber, the system gets nothing.
    int ready[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    env.push_back(std::string(kHelperEnv) + "=capture");
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    char* argv[] = {const_cast<char*>(self.c_str()), nullptr};
    pid_t client = -1;
    ASSERT_EQ(::posix_spawn(&client, self.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    char said[16] = {};
    const ssize_t n = ::read(ready[0], said, sizeof said - 1);
    ::close(ready[0]);
    ASSERT_GT(n, 0);
    ASSERT_STREQ(said, "captured\n");
    EXPECT_EQ(Type("down B\nup B\n"), Lines{});
    EXPECT_THAT(events->WaitFor(4),
                ElementsAre(std::pair{kA, 1u}, std::pair{kA, 0u}, std::pair{kB, 1u}, std::pair{kB, 0u}));

    // Killed, it cannot set mode 1 again: the daemon does, when its connection closes.
    ASSERT_EQ(::kill(client, SIGKILL), 0);
    ASSERT_EQ(::waitpid(client, nullptr, 0), client);
    Lines typed;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((typed = Type("down B\nup B\n")).empty() && std::chrono::steady_clock::now() < until) {
        // The daemon may read the script before it sees the closed connection: type again.
    }
    EXPECT_EQ(typed, (Lines{"down KEY_B", "up KEY_B"}));

    channel.StopMonitor();
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_A", "up KEY_A"}));
}

TEST_F(FilterChainTest, ReloadHandsOverTheRecordFileAndItsCopyOutlivesARestart) {
    FilterChannel channel(kb::KbFiltrDevice::OpenFilterInterface);
    ASSERT_TRUE(channel.OpenChannel()) << channel.LastOpenProblem();
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_A", "up KEY_A"})) << "nothing handed over yet";

    WriteRecords(records_, kA, kB);
    channel.SetRecordFile(records_);
    FilterReply reply;
    ASSERT_TRUE(channel.ReloadAssignments(&reply)) << reply.reason << "; log: " << Log();
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_B", "up KEY_B"}));

    // A file the daemon will not take: it says why, and the previous assignments stay.
    std::ofstream(dir_ / "data" / "broken.bin", std::ios::binary) << "not a record file";
    fs::permissions(dir_ / "data" / "broken.bin", fs::perms::owner_read | fs::perms::owner_write);
    channel.SetRecordFile(dir_ / "data" / "broken.bin");
    EXPECT_FALSE(channel.ReloadAssignments(&reply));
    EXPECT_TRUE(reply.refused);
    EXPECT_FALSE(reply.reason.empty());
    // A link is not followed, not even to a good file: nothing is sent.
    fs::create_symlink(records_, dir_ / "data" / "linked.bin");
    channel.SetRecordFile(dir_ / "data" / "linked.bin");
    EXPECT_FALSE(channel.ReloadAssignments(&reply));
    EXPECT_FALSE(reply.refused);
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_B", "up KEY_B"}));

    // Restarted, the daemon plays its own copy at once; the channel finds it again by itself.
    StopDaemon();
    fs::remove(records_);
    StartDaemon();
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_B", "up KEY_B"})) << Log();
    EXPECT_TRUE(channel.SetFilterMode(w::kModeNormal, &reply)) << reply.reason;
}

}  // namespace

#endif  // KBFILTERD_PATH
