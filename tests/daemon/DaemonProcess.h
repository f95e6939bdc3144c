// The whole daemon as a process: scripted key events on its stdin, printed events on its stdout, and
// clients on its socket speaking the shared wire format (the socket folder comes from the environment
// variable). Shared by the end-to-end suites.
#pragma once

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
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kb/device/FilterWire.h"
#include "kb/keys/KeyRecordTable.h"

namespace kb::filterd::testing {

namespace fs = std::filesystem;
namespace fw = kb::filterwire;

inline constexpr uint32_t A = 0x1E, B = 0x30, C = 0x2E, X = 0x2D, F1 = 0x3B, F2 = 0x3C, Shift = 0x2A,
                          Ctrl = 0x1D, Esc = 0x01;

inline kb::KeyRecord Remap(uint32_t from, uint32_t to) {
    kb::KeyRecord r;
    r.code = from;
    r.kind = r.mode = 1;
    r.parameter = static_cast<int32_t>(to);
    return r;
}

inline kb::KeyRecord Macro(uint32_t from) {
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
    std::string text;             // the output as text (a refusal's reason)
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

    // The next reply; pushed key events before it are kept for NextEvent.
    Reply ReadReply() {
        Reply r;
        for (;;) {
            std::array<std::byte, fw::kHeaderBytes> header{};
            if (!ReadExactly(header.data(), header.size())) {
                r.closed = true;
                return r;
            }
            const fw::HeaderFields f = fw::ParseHeader(header);
            std::vector<std::byte> out(f.length);
            EXPECT_LE(f.length, fw::kMaxOutputBytes);
            EXPECT_TRUE(ReadExactly(out.data(), out.size()));
            if (f.first == fw::kKeyEventTag) {
                EXPECT_EQ(out.size(), fw::kKeyEventBytes);
                events_.push_back(fw::ParseKeyEvent(
                    std::span<const std::byte, fw::kKeyEventBytes>(out.data(), fw::kKeyEventBytes)));
                continue;
            }
            r.status = static_cast<fw::Status>(f.first);
            for (std::size_t i = 0; i + 4 <= out.size(); i += 4) {
                r.words.push_back(fw::GetU32(out.data() + i));
            }
            r.text.assign(reinterpret_cast<const char*>(out.data()), out.size());
            return r;
        }
    }

    // The next pushed key event (waiting up to the receive time-out), or nothing.
    std::optional<fw::KeyEvent> NextEvent() {
        if (events_.empty()) {
            std::array<std::byte, fw::kHeaderBytes + fw::kKeyEventBytes> frame{};
            if (!ReadExactly(frame.data(), frame.size())) {
                return std::nullopt;
            }
            const fw::HeaderFields f = fw::ParseHeader(std::span(frame).first<fw::kHeaderBytes>());
            EXPECT_EQ(f.first, fw::kKeyEventTag);
            return fw::ParseKeyEvent(std::span(frame).subspan<fw::kHeaderBytes, fw::kKeyEventBytes>());
        }
        const fw::KeyEvent e = events_.front();
        events_.erase(events_.begin());
        return e;
    }

    // Whether a byte waits to be read now.
    bool Readable() {
        pollfd p{fd_, POLLIN, 0};
        return !events_.empty() || ::poll(&p, 1, 0) > 0;
    }

    fw::Status Subscribe(uint32_t value = fw::kSubscribeOn) {
        std::vector<std::byte> in(4);
        fw::PutU32(in.data(), value);
        return Request(fw::kSubscribeKeys, in).status;
    }

    // Reload, handing `fd` over with the request's header.
    Reply Reload(int fd) {
        const fw::Header h = fw::MakeHeader(fw::kReloadAssignments, 0);
        iovec iov{const_cast<std::byte*>(h.data()), h.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* cm = CMSG_FIRSTHDR(&msg);
        cm->cmsg_level = SOL_SOCKET;
        cm->cmsg_type = SCM_RIGHTS;
        cm->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(cm), &fd, sizeof fd);
        EXPECT_EQ(::sendmsg(fd_, &msg, MSG_NOSIGNAL), static_cast<ssize_t>(h.size()));
        return ReadReply();
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
    std::vector<fw::KeyEvent> events_;
};

class DaemonEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kbfilterd_test_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        // The record file one folder down, so that a test can open up the folder above its own.
        fs::create_directory(dir_ / "kbstudio");
        records_ = dir_ / "kbstudio" / "record.bin";
        socketDir_ = dir_ / "sock";
        stateDir_ = dir_ / "state";
        WriteRecords({Remap(A, B), Macro(F1)});
        Start();
    }

    void TearDown() override {
        Stop();
        fs::remove_all(dir_);
    }

    void Stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        ::close(stdin_);
        ::close(stdout_);
        stdin_ = stdout_ = -1;
        pending_.clear();
    }

    void WriteRecords(const std::vector<kb::KeyRecord>& records) {
        WriteBytes(kb::EncodeRecordFile(records));
    }

    void WriteBytes(const std::string& bytes) {
        std::ofstream(records_, std::ios::binary | std::ios::trunc) << bytes;
        fs::permissions(records_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                      fs::perms::others_read);
    }

    void Start() { StartWith({"--records", records_.string()}); }

    // Starts the daemon with `args`, its own state folder and socket folder, the script on its stdin and
    // printed output; waits until it listens.
    void StartWith(std::vector<std::string> args) {
        for (const std::string& a : {std::string("--state-dir"), stateDir_.string(), std::string("--script"),
                                     std::string("-"), std::string("--print")}) {
            args.push_back(a);
        }
        std::vector<char*> argv{const_cast<char*>("kbfilterd")};
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
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
            ::execv(KBFILTERD_PATH, argv.data());
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

    // The next `count` printed lines, marks left out.
    std::vector<std::string> ReadLines(std::size_t count) {
        std::vector<std::string> lines;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (lines.size() < count) {
            if (const std::size_t pos = pending_.find('\n'); pos != std::string::npos) {
                std::string line = pending_.substr(0, pos);
                pending_.erase(0, pos + 1);
                if (line.rfind("mark ", 0) != 0) {
                    lines.push_back(line);
                }
                continue;
            }
            pollfd p{stdout_, POLLIN, 0};
            if (std::chrono::steady_clock::now() > until || ::poll(&p, 1, 1000) < 0) {
                ADD_FAILURE() << "only " << lines.size() << " of " << count << " lines; log: " << Log();
                return lines;
            }
            char buf[512];
            const ssize_t n = p.revents != 0 ? ::read(stdout_, buf, sizeof buf) : 0;
            if (n < 0 || (p.revents != 0 && n == 0)) {
                ADD_FAILURE() << "the output ended after " << lines.size() << " lines; log: " << Log();
                return lines;
            }
            pending_.append(buf, static_cast<std::size_t>(n));
        }
        return lines;
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

    fs::path dir_, records_, socketDir_, stateDir_;
    pid_t pid_ = -1;
    int stdin_ = -1, stdout_ = -1;
    int marks_ = 0;
    std::string pending_;
};

// One run of the daemon with `args` (after the program name), `input` on its stdin, until it ends by
// itself (or is killed after 10 s, a failure).
struct RunResult {
    int status = -1;  // exit status, -1 when it did not exit normally
    std::string out, err;
};

inline RunResult RunDaemon(const std::vector<std::string>& args, const std::string& input) {
    int in[2], out[2], err[2];
    RunResult r;
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipes";
        return r;
    }
    std::vector<char*> argv{const_cast<char*>("kbfilterd")};
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        // Never the machine's own state folder, whatever a case forgets to give.
        ::setenv("STATE_DIRECTORY", "/nonexistent/kbfilterd-test-state", 1);
        ::execv(KBFILTERD_PATH, argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    EXPECT_EQ(::write(in[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    ::close(in[1]);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[2] = {&r.out, &r.err};
    while ((fds[0].fd >= 0 || fds[1].fd >= 0) && std::chrono::steady_clock::now() < until) {
        if (::poll(fds, 2, 1000) < 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && fds[i].revents != 0) {
                char buf[512];
                const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
                if (n <= 0) {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                } else {
                    texts[i]->append(buf, static_cast<std::size_t>(n));
                }
            }
        }
    }
    if (fds[0].fd >= 0 || fds[1].fd >= 0) {
        ADD_FAILURE() << "the daemon did not end by itself; log: " << r.err;
        ::kill(pid, SIGKILL);
    }
    for (const pollfd& p : fds) {
        if (p.fd >= 0) {
            ::close(p.fd);
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace kb::filterd::testing
