// The daemon as a pair with the program it serves: modes that end with the connection that chose them,
// key events pushed to subscribers, record files handed over as descriptors and kept in the state folder,
// and who may talk to it at all, tried as another local user would.
#include <grp.h>
#include <pwd.h>
#include <sys/syscall.h>

#include <algorithm>
#include <memory>

#include "DaemonProcess.h"

namespace {

using namespace kb::filterd::testing;

// The number of lines of `text` that contain `part`.
std::size_t CountLines(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        count += line.find(part) != std::string::npos ? 1 : 0;
    }
    return count;
}

// A record file written with `mode`, opened for reading.
int OpenRecords(const fs::path& path, const std::vector<kb::KeyRecord>& records, fs::perms mode) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << kb::EncodeRecordFile(records);
    fs::permissions(path, mode);
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

constexpr fs::perms kOwnerOnly = fs::perms::owner_read | fs::perms::owner_write;

class ModeOwner : public DaemonEndToEnd, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(ModeOwner, TheModeEndsWithItsConnectionAndEveryKeyIsReleased) {
    Client observer(Socket());
    {
        Client dialog(Socket());
        ASSERT_EQ(dialog.SetMode(GetParam()), fw::Status::Ok);
        const Lines held = Type("down C\n");  // held through the end of the mode
        EXPECT_EQ(held, GetParam() == fw::kModeNoRemap ? Lines{"down KEY_C"} : Lines{});
        // Another connection going back and forth leaves the mode to the one that set it.
        Client other(Socket());
        EXPECT_TRUE(other.HeldKeys() == std::vector<uint32_t>{C});
    }
    // The next request is answered after the closed connection has been seen.
    EXPECT_EQ(observer.HeldKeys(), (std::vector<uint32_t>{C}));
    const Lines after = Type("up C\ndown A\nup A\n");
    Lines expected = {"down KEY_B", "up KEY_B"};
    if (GetParam() == fw::kModeNoRemap) {
        expected.insert(expected.begin(), "up KEY_C");  // released when the mode ended, not by "up C"
    }
    EXPECT_EQ(after, expected);
    EXPECT_NE(Log().find("back to mode 1"), std::string::npos) << Log();
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeOwner, ::testing::Values(fw::kModeNoRemap, fw::kModeCapture),
                         [](const ::testing::TestParamInfo<uint32_t>& p) {
                             return std::string(p.param == 0 ? "NoRemap" : "Capture");
                         });

TEST_F(DaemonEndToEnd, ModeOneFromAnyConnectionEndsTheOwnershipAndTheLastSetterOwns) {
    Client first(Socket());
    auto second = std::make_unique<Client>(Socket());
    ASSERT_EQ(first.SetMode(fw::kModeCapture), fw::Status::Ok);
    ASSERT_EQ(second->SetMode(fw::kModeNoRemap), fw::Status::Ok);
    second.reset();
    EXPECT_TRUE(first.HeldKeys().empty());
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_B", "up KEY_B"}));
}

TEST_F(DaemonEndToEnd, SubscribersGetEveryPressAndReleaseInOrder) {
    Client listener(Socket());
    Client bystander(Socket());
    ASSERT_EQ(listener.Subscribe(), fw::Status::Ok);
    ASSERT_EQ(listener.SetMode(fw::kModeCapture), fw::Status::Ok);
    // Taps shorter than any poll, an E0 key, and a key held across others.
    EXPECT_EQ(
        Type("down A\nup A\ndown A\nup A\ndown RIGHTCTRL\ndown LEFTSHIFT\nup RIGHTCTRL\nup LEFTSHIFT\n"),
        Lines{});
    const std::vector<std::pair<uint32_t, bool>> expected = {{A, true},        {A, false},      {A, true},
                                                             {A, false},       {0x1001D, true}, {Shift, true},
                                                             {0x1001D, false}, {Shift, false}};
    uint64_t lastTime = 0;
    for (const auto& [code, pressed] : expected) {
        const std::optional<fw::KeyEvent> e = listener.NextEvent();
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->code, code);
        EXPECT_EQ(e->pressed, pressed);
        EXPECT_GE(e->timeUs, lastTime);
        lastTime = e->timeUs;
    }
    // Events reach only subscribers; replies still arrive among them.
    EXPECT_TRUE(bystander.HeldKeys().empty());
    EXPECT_FALSE(bystander.Readable());
    EXPECT_EQ(Type("down C\n"), Lines{});
    EXPECT_EQ(listener.HeldKeys(), (std::vector<uint32_t>{C}));
    EXPECT_EQ(listener.NextEvent()->code, C);

    // After unsubscribing, nothing more comes.
    ASSERT_EQ(listener.Subscribe(fw::kSubscribeOff), fw::Status::Ok);
    EXPECT_EQ(Type("up C\n"), Lines{});
    EXPECT_TRUE(listener.HeldKeys().empty());
    EXPECT_FALSE(listener.Readable());
    const Reply bad = listener.Request(fw::kSubscribeKeys, {std::byte{2}, {}, {}, {}});
    EXPECT_EQ(bad.status, fw::Status::BadValue);
    EXPECT_EQ(bad.text, "refused subscription value 0x2");
}

TEST_F(DaemonEndToEnd, AHandedOverRecordFileIsCheckedCopiedAndLoadedAtTheNextStart) {
    Stop();
    StartWith({});  // no --records: the state folder's copy, none yet
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_A", "up KEY_A"}));
    Client client(Socket());
    const Reply none = client.Request(fw::kReloadAssignments);
    EXPECT_EQ(none.status, fw::Status::Failed);
    EXPECT_EQ(none.text, "no record file handed over yet");

    const fs::path mine = dir_ / "mine.bin";
    const int fd = OpenRecords(mine, {Remap(A, C)}, kOwnerOnly);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::lseek(fd, 0, SEEK_END), static_cast<off_t>(fs::file_size(mine)));  // read from the start
    EXPECT_EQ(client.Reload(fd).status, fw::Status::Ok) << Log();
    ::close(fd);
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_C", "up KEY_C"}));

    // The copy is the daemon's own; the handed file may change or go without effect.
    const fs::path copy = stateDir_ / "record.bin";
    struct stat st {};
    ASSERT_EQ(::lstat(copy.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_uid, ::geteuid());
    ASSERT_EQ(::stat(stateDir_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    fs::remove(mine);
    EXPECT_EQ(client.Request(fw::kReloadAssignments).status, fw::Status::Ok) << Log();

    // Refused files change nothing, and say why.
    struct Refused {
        const char* what;
        std::function<int()> open;
        std::string reason;
    };
    const std::vector<Refused> refusals = {
        {"group-writable",
         [&] { return OpenRecords(mine, {Remap(A, X)}, kOwnerOnly | fs::perms::group_write); },
         "cannot use record file: writable by its group or others (mode 620)"},
        {"another user's",
         [&] {
             const int f = OpenRecords(mine, {Remap(A, X)}, kOwnerOnly);
             EXPECT_EQ(::fchown(f, 4242, 4242), 0);
             return f;
         },
         ::geteuid() == 0 ? "cannot use record file: owned by uid 4242" : ""},
        {"a folder", [&] { return ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); },
         "cannot use record file: not a regular file"},
        {"not a record file",
         [&] {
             std::ofstream(mine, std::ios::trunc) << "not a record file";
             return ::open(mine.c_str(), O_RDONLY | O_CLOEXEC);
         },
         "cannot use record file: not a valid record file"},
        {"write-only",
         [&] {
             OpenRecords(mine, {Remap(A, X)}, kOwnerOnly);
             return ::open(mine.c_str(), O_WRONLY | O_CLOEXEC);
         },
         "cannot use record file: the descriptor is not open for reading"},
    };
    for (const Refused& r : refusals) {
        if (r.reason.empty()) {
            continue;  // needs root to give a file away
        }
        SCOPED_TRACE(r.what);
        fs::remove(mine);
        const int refusedFd = r.open();
        ASSERT_GE(refusedFd, 0);
        const Reply reply = client.Reload(refusedFd);
        ::close(refusedFd);
        EXPECT_EQ(reply.status, fw::Status::Failed);
        EXPECT_EQ(reply.text.rfind(r.reason, 0), 0u) << reply.text;
    }
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_C", "up KEY_C"}));

    // The copy holds from the next start on.
    Stop();
    StartWith({});
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_C", "up KEY_C"}));
}

TEST_F(DaemonEndToEnd, AMillionDuplicateRecordsGiveOneLogLine) {
    std::vector<kb::KeyRecord> records(1000000, Remap(A, C));
    WriteRecords(records);
    Client client(Socket());
    ASSERT_EQ(client.Request(fw::kReloadAssignments).status, fw::Status::Ok) << Log();
    EXPECT_EQ(CountLines(Log(), "earlier record"), 1u) << Log().substr(0, 2000);
    EXPECT_NE(Log().find("999999 records: the key has an earlier record"), std::string::npos)
        << Log().substr(0, 2000);
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_C", "up KEY_C"}));
}

class IgnoredSignal : public DaemonEndToEnd, public ::testing::WithParamInterface<int> {};

TEST_P(IgnoredSignal, LeavesTheDaemonRunningWithItsKeys) {
    EXPECT_EQ(Type("down A\n"), (Lines{"down KEY_B"}));
    ASSERT_EQ(::kill(pid_, GetParam()), 0);
    EXPECT_EQ(Type("up A\ndown A\nup A\n"), (Lines{"up KEY_B", "down KEY_B", "up KEY_B"}));
    EXPECT_NE(Log().find(std::string("(SIG") + sigabbrev_np(GetParam()) + ") from pid"), std::string::npos)
        << Log();
}

INSTANTIATE_TEST_SUITE_P(Signals, IgnoredSignal, ::testing::Values(SIGUSR1, SIGUSR2, SIGALRM),
                         [](const ::testing::TestParamInfo<int>& p) {
                             return std::string(sigabbrev_np(p.param));
                         });

// A hang-up that arrives while the daemon is still setting up (here: opening its script, a FIFO no one
// writes yet) waits for the loop and reloads, instead of ending the process.
TEST(DaemonStartUp, AHangUpBeforeTheLoopDoesNotEndTheDaemon) {
    char pattern[] = "/tmp/kbfilterd_hup_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const fs::path fifo = dir / "script";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execl(KBFILTERD_PATH, "kbfilterd", "--records", (dir / "record.bin").c_str(), "--socket-dir",
                (dir / "sock").c_str(), "--state-dir", (dir / "state").c_str(), "--print", "--script",
                fifo.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Blocked in opening the FIFO: main runs, the loop does not yet.
    const std::string syscallFile = "/proc/" + std::to_string(pid) + "/syscall";
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        std::string number;
        std::ifstream(syscallFile) >> number;
        if (number == std::to_string(SYS_openat)) {
            break;
        }
        ASSERT_LT(std::chrono::steady_clock::now(), until) << "the daemon never opened its script";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(::kill(pid, SIGHUP), 0);
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    // It lives on and listens; a stop signal ends it as usual.
    while (!Client(dir / "sock" / fw::kSocketName).Connected()) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the daemon ended, status " << status;
        ASSERT_LT(std::chrono::steady_clock::now(), until);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ::close(writer);
    fs::remove_all(dir);
}

// What a process running as `uid` (primary group `gid`, supplementary `groups`) gets from the daemon: -1
// when it cannot connect or is hung up on, else the status of a reload handing over `fd` (or of a
// held-keys request when fd < 0).
int AsAnotherUser(const fs::path& socket, uid_t uid, gid_t gid, const std::vector<gid_t>& groups, int fd) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) {
            ::_exit(100);
        }
        Client client(socket);
        if (!client.Connected()) {
            ::_exit(101);
        }
        const Reply r = fd >= 0 ? client.Reload(fd) : client.Request(fw::kReadHeldKeys);
        ::_exit(r.closed ? 101 : static_cast<int>(r.status));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 99;
    EXPECT_NE(code, 100) << "could not take on uid " << uid;
    return code == 101 ? -1 : code;
}

class DaemonAccess : public DaemonEndToEnd {
  protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "needs root to act as other users";
        }
        DaemonEndToEnd::SetUp();
        Stop();
        // The test's folders are root's; let the other users reach the files the test hands them.
        fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    }
    static mode_t Mode(const fs::path& p) {
        struct stat st {};
        EXPECT_EQ(::lstat(p.c_str(), &st), 0);
        return st.st_mode & 07777;
    }
    static gid_t Group(const fs::path& p) {
        struct stat st {};
        EXPECT_EQ(::lstat(p.c_str(), &st), 0);
        return st.st_gid;
    }
};

TEST_F(DaemonAccess, AServedUserAloneIsServedNotTheUsersPrimaryGroup) {
    const passwd* pw = ::getpwnam("daemon");
    ASSERT_NE(pw, nullptr) << "the test uses the system account 'daemon'";
    const uid_t user = pw->pw_uid;
    const gid_t userGroup = pw->pw_gid;
    StartWith({"--records", records_.string(), "--user", "daemon"});

    EXPECT_EQ(Mode(socketDir_), 0750u);
    EXPECT_EQ(Group(socketDir_), userGroup);
    EXPECT_EQ(Mode(Socket()), 0600u);
    EXPECT_EQ(AsAnotherUser(Socket(), user, userGroup, {}, -1), 0);
    EXPECT_EQ(AsAnotherUser(Socket(), 4242, userGroup, {}, -1), -1);      // same primary group
    EXPECT_EQ(AsAnotherUser(Socket(), 4242, 4242, {userGroup}, -1), -1);  // ... as a supplementary one
    EXPECT_EQ(AsAnotherUser(Socket(), 4243, 4243, {}, -1), -1);
}

TEST_F(DaemonAccess, AServedGroupsMembersAreServedAndTheirOwnFilesTrusted) {
    constexpr gid_t kGroup = 4343;
    constexpr uid_t kMember = 4545, kStranger = 4646;
    StartWith({"--group", std::to_string(kGroup)});

    EXPECT_EQ(Mode(socketDir_), 0750u);
    EXPECT_EQ(Group(socketDir_), kGroup);
    EXPECT_EQ(Mode(Socket()), 0660u);
    EXPECT_EQ(Group(Socket()), kGroup);
    EXPECT_EQ(Mode(stateDir_), 0700u);

    const fs::path file = dir_ / "member.bin";
    const int fd = OpenRecords(file, {Remap(A, C)}, kOwnerOnly);
    ASSERT_EQ(::fchown(fd, kMember, 4444), 0);
    // A supplementary member (primary group elsewhere): served, its own file trusted and played.
    EXPECT_EQ(AsAnotherUser(Socket(), kMember, 4444, {kGroup}, fd), 0) << Log();
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_C", "up KEY_C"}));
    // Another member handing over the first one's file: refused.
    EXPECT_EQ(AsAnotherUser(Socket(), 4747, kGroup, {}, fd), static_cast<int>(fw::Status::Failed));
    EXPECT_NE(Log().find("cannot use record file: owned by uid 4545"), std::string::npos) << Log();
    // No member: not even the folder opens.
    EXPECT_EQ(AsAnotherUser(Socket(), kStranger, kStranger, {}, -1), -1);
    ::close(fd);
}

}  // namespace
