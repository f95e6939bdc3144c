// The whole daemon: scripted key events on its stdin, printed events on its stdout, and a client on its
// socket speaking the shared wire format (the socket folder comes from the environment variable).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kb/device/FilterWire.h"
#include "kb/keys/KeyRecordTable.h"

namespace fs = std::filesystem;
namespace fw = kb::filterwire;

namespace {

constexpr uint32_t A = 0x1E, B = 0x30, C = 0x2E, X = 0x2D, F1 = 0x3B, Shift = 0x2A;

kb::KeyRecord Remap(uint32_t from, uint32_t to) {
    kb::KeyRecord r;
    r.code = from;
    r.kind = r.mode = 1;
    r.parameter = static_cast<int32_t>(to);
    return r;
}

kb::KeyRecord Macro(uint32_t from) {
    kb::KeyRecord r;
    r.code = from;
    r.kind = kb::kKindMacro;
    r.mode = 2;
    r.parameter = 2;
    r.steps = {{X, 0, 5, u""}, {X, 1, 5, u""}};
    return r;
}

struct Reply {
    fw::Status status = fw::Status::Failed;
    std::vector<uint32_t> words;  // the output as u32 values
    bool closed = false;          // the server hung up instead of answering
};

// One client connection to the daemon.
class Client {
  public:
    explicit Client(const fs::path& socket) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socket.c_str());
        connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
        timeval tv{5, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~Client() { ::close(fd_); }
    bool Connected() const { return connected_; }

    void SendRaw(const void* data, std::size_t n) {
        ASSERT_EQ(::send(fd_, data, n, MSG_NOSIGNAL), static_cast<ssize_t>(n));
    }

    Reply Request(uint32_t code, std::vector<std::byte> input = {},
                  std::optional<uint32_t> claimedLength = {}) {
        const fw::Header h =
            fw::MakeHeader(code, claimedLength.value_or(static_cast<uint32_t>(input.size())));
        std::vector<std::byte> bytes(h.begin(), h.end());
        bytes.insert(bytes.end(), input.begin(), input.end());
        SendRaw(bytes.data(), bytes.size());
        return ReadReply();
    }

    Reply ReadReply() {
        Reply r;
        std::array<std::byte, fw::kHeaderBytes> header{};
        if (!ReadExactly(header.data(), header.size())) {
            r.closed = true;
            return r;
        }
        const fw::HeaderFields f = fw::ParseHeader(header);
        r.status = static_cast<fw::Status>(f.first);
        std::vector<std::byte> out(f.length);
        EXPECT_LE(f.length, fw::kMaxOutputBytes);
        EXPECT_TRUE(ReadExactly(out.data(), out.size()));
        for (std::size_t i = 0; i + 4 <= out.size(); i += 4) {
            r.words.push_back(fw::GetU32(out.data() + i));
        }
        return r;
    }

    fw::Status SetMode(uint32_t mode) {
        std::vector<std::byte> in(4);
        fw::PutU32(in.data(), mode);
        return Request(fw::kSetMode, in).status;
    }

    std::vector<uint32_t> HeldKeys() {
        const Reply r = Request(fw::kReadHeldKeys);
        EXPECT_EQ(r.status, fw::Status::Ok);
        EXPECT_EQ(r.words.size(), fw::kHeldKeySlots);
        std::vector<uint32_t> held;
        for (uint32_t w : r.words) {
            if (w != 0) {
                held.push_back(w);
            }
        }
        return held;
    }

  private:
    bool ReadExactly(std::byte* p, std::size_t n) {
        while (n > 0) {
            const ssize_t got = ::read(fd_, p, n);
            if (got <= 0) {
                return false;
            }
            p += got;
            n -= static_cast<std::size_t>(got);
        }
        return true;
    }

    int fd_ = -1;
    bool connected_ = false;
};

class DaemonEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kbfilterd_test_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        records_ = dir_ / "record.bin";
        socketDir_ = dir_ / "sock";
        WriteRecords({Remap(A, B), Macro(F1)});
        Start();
    }

    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(stdin_);
        ::close(stdout_);
        fs::remove_all(dir_);
    }

    void WriteRecords(const std::vector<kb::KeyRecord>& records) {
        WriteBytes(kb::EncodeRecordFile(records));
    }

    void WriteBytes(const std::string& bytes) {
        std::ofstream(records_, std::ios::binary | std::ios::trunc) << bytes;
        fs::permissions(records_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                      fs::perms::others_read);
    }

    void Start() {
        int in[2], out[2];
        ASSERT_EQ(::pipe2(in, O_CLOEXEC), 0);
        ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
        const std::string log = (dir_ / "stderr.log").string();
        pid_ = ::fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            const int err = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(err, 2);
            ::setenv(fw::kSocketDirEnv, socketDir_.c_str(), 1);
            ::execl(KBFILTERD_PATH, "kbfilterd", "--records", records_.c_str(), "--script", "-", "--print",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!Client(Socket()).Connected()) {
            ASSERT_LT(std::chrono::steady_clock::now(), until) << "the daemon never listened: " << Log();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    fs::path Socket() const { return socketDir_ / fw::kSocketName; }

    std::string Log() const {
        std::ifstream in(dir_ / "stderr.log");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Feeds script lines, then a mark, and returns the printed lines up to that mark.
    std::vector<std::string> Type(const std::string& lines) {
        const std::string mark = "m" + std::to_string(++marks_);
        const std::string text = lines + "mark " + mark + "\n";
        EXPECT_EQ(::write(stdin_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        return ReadUntil("mark " + mark);
    }

    std::vector<std::string> ReadUntil(const std::string& last) {
        std::vector<std::string> lines;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            std::size_t pos;
            while ((pos = pending_.find('\n')) != std::string::npos) {
                std::string line = pending_.substr(0, pos);
                pending_.erase(0, pos + 1);
                if (line == last) {
                    return lines;
                }
                lines.push_back(line);
            }
            pollfd p{stdout_, POLLIN, 0};
            if (std::chrono::steady_clock::now() > until || ::poll(&p, 1, 1000) < 0) {
                ADD_FAILURE() << "no \"" << last << "\" in the output; log: " << Log();
                return lines;
            }
            char buf[512];
            const ssize_t n = p.revents != 0 ? ::read(stdout_, buf, sizeof buf) : 0;
            if (n < 0 || (p.revents != 0 && n == 0)) {
                ADD_FAILURE() << "the output ended before \"" << last << "\"; log: " << Log();
                return lines;
            }
            pending_.append(buf, static_cast<std::size_t>(n));
        }
    }

    std::vector<std::string> ReadToEnd() {
        char buf[512];
        ssize_t n;
        while ((n = ::read(stdout_, buf, sizeof buf)) > 0) {
            pending_.append(buf, static_cast<std::size_t>(n));
        }
        std::vector<std::string> lines;
        std::istringstream in(pending_);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        pending_.clear();
        return lines;
    }

    using Lines = std::vector<std::string>;

    fs::path dir_, records_, socketDir_;
    pid_t pid_ = -1;
    int stdin_ = -1, stdout_ = -1;
    int marks_ = 0;
    std::string pending_;
};

TEST_F(DaemonEndToEnd, ModesHeldKeysAndReloadsOverTheSocket) {
    struct stat st {};
    ASSERT_EQ(::stat(Socket().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(socketDir_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    Client client(Socket());
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(Type("down A\nup A\ndown C\nup C\n"),
              (Lines{"down KEY_B", "up KEY_B", "down KEY_C", "up KEY_C"}));

    // Dialog open: nothing is reassigned.
    EXPECT_EQ(client.SetMode(fw::kModeNoRemap), fw::Status::Ok);
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_A", "up KEY_A"}));

    // Capture: held keys are reported in press order, nothing is delivered.
    EXPECT_EQ(client.SetMode(fw::kModeCapture), fw::Status::Ok);
    EXPECT_EQ(Type("down LEFTSHIFT\ndown A\ndown RIGHTCTRL\n"), Lines{});
    EXPECT_EQ(client.HeldKeys(), (std::vector<uint32_t>{Shift, A, 0x1001D}));
    EXPECT_EQ(Type("up A\nup LEFTSHIFT\nup RIGHTCTRL\n"), Lines{});
    EXPECT_TRUE(client.HeldKeys().empty());

    // Back to normal; a macro plays its steps; the new file applies after a reload.
    EXPECT_EQ(client.SetMode(fw::kModeNormal), fw::Status::Ok);
    EXPECT_EQ(Type("down F1\n"), (Lines{"down KEY_X"}));  // the first step plays at the press
    EXPECT_EQ(ReadUntil("up KEY_X"), Lines{});
    EXPECT_EQ(ReadUntil("up KEY_X"), (Lines{"down KEY_X"}));  // second round of two
    EXPECT_EQ(Type("up F1\n"), Lines{});

    WriteRecords({Remap(A, C)});
    EXPECT_EQ(client.Request(fw::kReloadAssignments).status, fw::Status::Ok);
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_C", "up KEY_C"}));

    // A broken file or one that others may write keeps the assignments in force.
    WriteBytes("not a record file");
    EXPECT_EQ(client.Request(fw::kReloadAssignments).status, fw::Status::Failed);
    WriteRecords({Remap(A, X)});
    fs::permissions(records_, fs::perms::others_write, fs::perm_options::add);
    EXPECT_EQ(client.Request(fw::kReloadAssignments).status, fw::Status::Failed);
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_C", "up KEY_C"}));
    EXPECT_NE(Log().find("is not a valid record file"), std::string::npos) << Log();
    EXPECT_NE(Log().find("writable by every user"), std::string::npos) << Log();
}

TEST_F(DaemonEndToEnd, BadRequestsAreRefusedAndChangeNothing) {
    {
        Client client(Socket());
        ASSERT_TRUE(client.Connected());
        const Reply unknown = client.Request(0xB6020);
        EXPECT_EQ(unknown.status, fw::Status::UnknownRequest);
        EXPECT_TRUE(unknown.words.empty());
        EXPECT_EQ(client.Request(fw::kSetMode).status, fw::Status::BadSize);
        EXPECT_EQ(client.Request(fw::kReadHeldKeys, std::vector<std::byte>(4)).status, fw::Status::BadSize);
        EXPECT_EQ(client.SetMode(7), fw::Status::BadValue);
        EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_B", "up KEY_B"}));  // still mode 1

        // An input length the server will not read: refused, then the connection ends.
        const Reply huge = client.Request(fw::kSetMode, {}, 1u << 30);
        EXPECT_EQ(huge.status, fw::Status::BadSize);
        EXPECT_TRUE(client.ReadReply().closed);
    }
    {
        // A client that goes away mid-request.
        Client client(Socket());
        const fw::Header h = fw::MakeHeader(fw::kSetMode, 4);
        client.SendRaw(h.data(), h.size());
        client.SendRaw("\0\0", 2);
    }
    Client client(Socket());
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(Type("down A\n"), (Lines{"down KEY_B"}));
    EXPECT_EQ(client.HeldKeys(), (std::vector<uint32_t>{A}));
}

TEST_F(DaemonEndToEnd, TerminationReleasesHeldKeysAndRemovesTheSocket) {
    EXPECT_EQ(Type("down A\ndown C\n"), (Lines{"down KEY_B", "down KEY_C"}));
    ASSERT_EQ(::kill(pid_, SIGTERM), 0);
    EXPECT_EQ(ReadToEnd(), (Lines{"up KEY_C", "up KEY_B"}));
    int status = 0;
    ASSERT_EQ(::waitpid(pid_, &status, 0), pid_);
    pid_ = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Log();
    EXPECT_FALSE(fs::exists(Socket()));
}

}  // namespace
