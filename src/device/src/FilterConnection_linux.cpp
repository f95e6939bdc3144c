// The filter's interfaces on Linux: the Unix sockets of kbfilterd in its socket folder.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "kb/common/Trace.h"
#include "kb/common/UniqueFd.h"
#include "kb/device/FilterConnection.h"
#include "kb/device/FilterWire.h"

namespace kb::KbFiltrDevice {
namespace {

namespace w = filterwire;
using Clock = std::chrono::steady_clock;

// A daemon that stops answering must not hang the caller (the UI thread, or StopMonitor) for long.
constexpr int kReplyTimeoutMs = 2000;
// A daemon that does not accept (its backlog full, or stopped) must not hold the UI thread either.
constexpr int kConnectTimeoutMs = 250;

std::string SocketFolder() {
    const char* env = std::getenv(w::kSocketDirEnv);
    return env != nullptr && *env != '\0' ? env : w::kDefaultSocketDir;
}

// Connects to the daemon's socket at `path`: the descriptor, or an invalid one with the reason.
UniqueFd ConnectSocket(const std::string& path, FilterOpenError& error, std::string& problem) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        error = FilterOpenError::Failed;
        problem = "the filter socket path is too long: " + path;
        return UniqueFd();
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        error = FilterOpenError::Failed;
        problem = std::string("cannot create a socket: ") + std::strerror(errno);
        return fd;
    }
    // A Unix socket's connect waits for room in the listener's backlog at most this long.
    const timeval bound{0, kConnectTimeoutMs * 1000};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    int rc = 0;
    do {
        rc = ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int code = errno;
        if (code == EACCES || code == EPERM) {
            error = FilterOpenError::NoPermission;
            problem = "no permission on the filter socket " + path;
        } else if (code == ECONNREFUSED) {
            error = FilterOpenError::Failed;
            problem = "kbfilterd is not listening on " + path + " (stale socket)";
        } else if (code == EAGAIN || code == EWOULDBLOCK || code == ETIMEDOUT) {
            error = FilterOpenError::Failed;
            problem = "kbfilterd does not accept connections on " + path + " (busy or hung)";
        } else {
            error = FilterOpenError::Failed;
            problem = "cannot connect to " + path + ": " + std::strerror(code);
        }
        return UniqueFd();
    }
    const timeval none{0, 0};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &none, sizeof none);
    error = FilterOpenError::None;
    return fd;
}

// Opens the file a request hands over: read-only, never through a symbolic link, never blocking on a FIFO
// that stands in its place, and only a regular file.
UniqueFd OpenHandOver(const std::filesystem::path& file, std::string& why) {
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        const int code = errno;
        why = code == ELOOP ? "cannot hand " + file.string() + " to kbfilterd: it is a symbolic link"
                            : "cannot open " + file.string() + ": " + std::strerror(code);
        return fd;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "cannot hand " + file.string() + " to kbfilterd: not a regular file";
        return UniqueFd();
    }
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);  // the daemon gets a plain descriptor
    }
    return fd;
}

// A refusal's text as the daemon sent it, cut to its limit, with control characters made harmless for a
// terminal or a log.
std::string ReasonText(const std::vector<std::byte>& body, uint32_t status) {
    std::string text;
    for (std::size_t i = 0; i < body.size() && i < w::kMaxReasonBytes; ++i) {
        const auto c = static_cast<unsigned char>(body[i]);
        text.push_back(c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c));
    }
    while (!text.empty() && text.back() == '?') {
        text.pop_back();  // a trailing newline or NUL
    }
    return text.empty() ? "refused the request (status " + std::to_string(status) + ")" : text;
}

// One whole frame: a reply (status, output) or a pushed event (kKeyEventTag, payload).
struct Frame {
    uint32_t first = 0;
    std::vector<std::byte> body;
};

enum class Got { Frame, TimedOut, Closed, Interrupted, NotOurProtocol };

// Whole frames in and out of one connected socket. Bytes read beyond a frame wait for the next call.
class FrameSocket {
  public:
    explicit FrameSocket(UniqueFd fd) : fd_(std::move(fd)) {}

    bool Valid() const { return fd_.Valid(); }
    void Reset() {
        fd_.Reset();
        buffer_.clear();
    }

    // Sends all bytes by `deadline`; the first piece carries `passFd` (when valid) as SCM_RIGHTS.
    Got Send(std::span<const std::byte> bytes, int passFd, Clock::time_point deadline) {
        bool first = true;
        while (!bytes.empty()) {
            const Got ready = WaitFor(POLLOUT, deadline, -1);
            if (ready != Got::Frame) {
                return ready;
            }
            iovec piece{const_cast<std::byte*>(bytes.data()), bytes.size()};
            msghdr message{};
            message.msg_iov = &piece;
            message.msg_iovlen = 1;
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
            if (first && passFd >= 0) {
                message.msg_control = control;
                message.msg_controllen = sizeof control;
                cmsghdr* header = CMSG_FIRSTHDR(&message);
                header->cmsg_level = SOL_SOCKET;
                header->cmsg_type = SCM_RIGHTS;
                header->cmsg_len = CMSG_LEN(sizeof(int));
                std::memcpy(CMSG_DATA(header), &passFd, sizeof(int));
            }
            const ssize_t n = ::sendmsg(fd_.Get(), &message, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            if (n <= 0) {
                return Got::Closed;
            }
            first = false;  // the descriptor went with the first bytes
            bytes = bytes.subspan(static_cast<std::size_t>(n));
        }
        return Got::Frame;
    }

    // The next whole frame. `deadline` max() waits without bound; `wakeFd` (when valid) ends the wait
    // early with Interrupted once it becomes readable.
    Got Next(Frame& frame, Clock::time_point deadline, int wakeFd) {
        for (;;) {
            if (buffer_.size() >= w::kHeaderBytes) {
                const w::HeaderFields h = w::ParseHeader(
                    std::span<const std::byte, w::kHeaderBytes>(buffer_.data(), w::kHeaderBytes));
                if (h.length > w::kMaxOutputBytes) {
                    return Got::NotOurProtocol;
                }
                const std::size_t whole = w::kHeaderBytes + h.length;
                if (buffer_.size() >= whole) {
                    frame.first = h.first;
                    frame.body.assign(buffer_.begin() + w::kHeaderBytes,
                                      buffer_.begin() + static_cast<std::ptrdiff_t>(whole));
                    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(whole));
                    return Got::Frame;
                }
            }
            const Got ready = WaitFor(POLLIN, deadline, wakeFd);
            if (ready != Got::Frame) {
                return ready;
            }
            std::byte chunk[4096];
            const ssize_t n = ::recv(fd_.Get(), chunk, sizeof chunk, MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            if (n <= 0) {
                return Got::Closed;  // an error, or the daemon closed the connection
            }
            buffer_.insert(buffer_.end(), chunk, chunk + n);
        }
    }

  private:
    Got WaitFor(short events, Clock::time_point deadline, int wakeFd) {
        for (;;) {
            int timeout = -1;
            if (deadline != Clock::time_point::max()) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
                timeout = static_cast<int>(std::clamp<long long>(left, 0, kReplyTimeoutMs));
            }
            pollfd p[2] = {{fd_.Get(), events, 0}, {wakeFd, POLLIN, 0}};
            const int r = ::poll(p, wakeFd >= 0 ? 2 : 1, timeout);
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r < 0) {
                return Got::Closed;
            }
            if (r == 0) {
                return Got::TimedOut;
            }
            if (wakeFd >= 0 && (p[1].revents & POLLIN) != 0) {
                return Got::Interrupted;
            }
            return Got::Frame;  // ready, or an error/hang-up the next call reports
        }
    }

    UniqueFd fd_;
    std::vector<std::byte> buffer_;
};

bool IsEvent(const Frame& f) {
    return f.first == w::kKeyEventTag && f.body.size() == w::kKeyEventBytes;
}

w::KeyEvent EventOf(const Frame& f) {
    return w::ParseKeyEvent(std::span<const std::byte, w::kKeyEventBytes>(f.body.data(), w::kKeyEventBytes));
}

// Sends one request and waits for its reply, keeping the events that come before it in `events`.
struct Exchanged {
    Got got = Got::Closed;
    Frame reply;
};

Exchanged Exchange(FrameSocket& socket, uint32_t code, std::span<const std::byte> input, int passFd,
                   std::vector<w::KeyEvent>* events) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
    std::array<std::byte, w::kHeaderBytes + w::kMaxInputBytes> request{};
    const w::Header header = w::MakeHeader(code, static_cast<uint32_t>(input.size()));
    std::copy(header.begin(), header.end(), request.begin());
    std::copy(input.begin(), input.end(), request.begin() + w::kHeaderBytes);
    Exchanged out;
    out.got = socket.Send(std::span<const std::byte>(request.data(), w::kHeaderBytes + input.size()), passFd,
                          deadline);
    while (out.got == Got::Frame) {
        out.got = socket.Next(out.reply, deadline, -1);
        if (out.got != Got::Frame || !IsEvent(out.reply)) {
            break;
        }
        if (events != nullptr) {
            events->push_back(EventOf(out.reply));
        }
        out.got = Got::Frame;
    }
    return out;
}

std::string Describe(Got got, const std::string& path) {
    switch (got) {
        case Got::TimedOut:
            return "kbfilterd did not answer within " + std::to_string(kReplyTimeoutMs / 1000) + " s (" +
                   path + ")";
        case Got::NotOurProtocol:
            return "the answer on " + path + " is not kbfilterd's protocol";
        default:
            return "the connection to kbfilterd broke (" + path + ")";
    }
}

// The pushed key events of one subscribed connection.
class SocketKeyStream final : public IKeyEventStream {
  public:
    SocketKeyStream(UniqueFd fd, std::string path)
        : socket_(std::move(fd)), path_(std::move(path)), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

    // Subscribes, then reads what is held: the events pushed before that reply are older than its list.
    bool Start() {
        if (!wake_) {
            return false;
        }
        std::array<std::byte, w::kSubscribeInputBytes> on{};
        w::PutU32(on.data(), w::kSubscribeOn);
        Exchanged subscribed = Exchange(socket_, w::kSubscribeKeys, on, -1, &early_);
        if (subscribed.got != Got::Frame || subscribed.reply.first != static_cast<uint32_t>(w::Status::Ok)) {
            Trace("filter: kbfilterd refused the key subscription on %s\n", path_.c_str());
            return false;
        }
        Exchanged held = Exchange(socket_, w::kReadHeldKeys, {}, -1, &early_);
        if (held.got != Got::Frame || held.reply.first != static_cast<uint32_t>(w::Status::Ok)) {
            return false;
        }
        for (std::size_t at = 0; at + 4 <= held.reply.body.size(); at += 4) {
            if (const uint32_t code = w::GetU32(held.reply.body.data() + at); code != 0) {
                held_.push_back(code);
            }
        }
        return true;
    }

    std::vector<w::KeyEvent> EarlyEvents() override { return std::exchange(early_, {}); }
    std::vector<uint32_t> HeldAtStart() override { return std::exchange(held_, {}); }

    bool Wait(std::vector<w::KeyEvent>& events) override {
        if (interrupted_.load() || !socket_.Valid()) {
            return false;
        }
        // Sleeps until the daemon pushes: no time-out, so an idle subscriber never wakes.
        Frame frame;
        Got got = socket_.Next(frame, Clock::time_point::max(), wake_.Get());
        // Everything already here is handed over in one go.
        while (got == Got::Frame) {
            if (!IsEvent(frame)) {
                Trace("filter: an unexpected frame %#x on the key subscription\n", frame.first);
                socket_.Reset();
                return false;
            }
            events.push_back(EventOf(frame));
            got = socket_.Next(frame, Clock::now(), -1);
        }
        if (got == Got::TimedOut) {
            return !interrupted_.load();  // nothing more for now
        }
        socket_.Reset();
        return false;
    }

    void Interrupt() override {
        interrupted_.store(true);
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_.Get(), &one, sizeof one);
    }

  private:
    FrameSocket socket_;
    const std::string path_;
    UniqueFd wake_;
    std::atomic<bool> interrupted_{false};
    std::vector<w::KeyEvent> early_;
    std::vector<uint32_t> held_;
};

class SocketConnection final : public IFilterConnection {
  public:
    SocketConnection(UniqueFd fd, std::string path) : socket_(std::move(fd)), path_(std::move(path)) {}

    SocketConnection(const SocketConnection&) = delete;
    SocketConnection& operator=(const SocketConnection&) = delete;

    FilterReply Request(const FilterRequest& request, std::span<std::byte> output) override {
        if (request.input.size() > w::kMaxInputBytes) {
            return {false, false, 0,
                    "the request is too long for kbfilterd"};  // it would hang up, not read it
        }
        UniqueFd file;
        if (!request.handOver.empty()) {
            std::string why;
            file = OpenHandOver(request.handOver, why);
            if (!file) {
                return {false, false, 0, why};
            }
        }
        // One request and its reply at a time: the UI thread and others share the stream.
        const std::lock_guard guard(mutex_);
        // The daemon may have dropped this client (restarted, or timed out before): connect again. A
        // stream found broken before any answer is asked once more; every request is safe to repeat.
        for (int attempt = 0; attempt < 2; ++attempt) {
            const bool fresh = !socket_.Valid();
            if (fresh) {
                FilterOpenError error = FilterOpenError::None;
                std::string problem;
                UniqueFd fd = ConnectSocket(path_, error, problem);
                if (!fd) {
                    return {false, false, 0, problem};
                }
                socket_ = FrameSocket(std::move(fd));
            }
            const Exchanged exchanged = Exchange(socket_, request.code, request.input, file.Get(), nullptr);
            if (exchanged.got != Got::Frame) {
                // Dropped whatever the reason, a late reply can never be taken for the next request's.
                socket_.Reset();
                if (exchanged.got == Got::Closed && !fresh) {
                    continue;
                }
                return {false, false, 0, Describe(exchanged.got, path_)};
            }
            const Frame& reply = exchanged.reply;
            if (reply.first != static_cast<uint32_t>(w::Status::Ok)) {
                return {false, true, 0, ReasonText(reply.body, reply.first)};
            }
            const std::size_t copied = std::min(reply.body.size(), output.size());
            std::copy_n(reply.body.begin(), copied, output.begin());
            return {true, false, copied, {}};
        }
        return {false, false, 0, Describe(Got::Closed, path_)};
    }

    bool PushesKeys() const override { return true; }

    std::unique_ptr<IKeyEventStream> SubscribeKeys() override {
        FilterOpenError error = FilterOpenError::None;
        std::string problem;
        UniqueFd fd = ConnectSocket(path_, error, problem);
        if (!fd) {
            return nullptr;
        }
        auto stream = std::make_unique<SocketKeyStream>(std::move(fd), path_);
        return stream->Start() ? std::move(stream) : nullptr;
    }

  private:
    std::mutex mutex_;
    FrameSocket socket_;
    const std::string path_;
};

FilterOpenResult Connect(const std::string& path) {
    FilterOpenResult result;
    result.path = path;
    UniqueFd fd = ConnectSocket(path, result.error, result.problem);
    if (fd) {
        result.connection = std::make_shared<SocketConnection>(std::move(fd), path);
    }
    return result;
}

}  // namespace

FilterOpenResult OpenFilterInterface() {
    namespace fs = std::filesystem;
    const std::string folder = SocketFolder();
    FilterOpenResult none;
    none.error = FilterOpenError::NoInterface;
    none.problem = "no filter socket in " + folder + " (is kbfilterd running?)";

    // A missing folder is an empty set, as when the daemon is not installed; other errors end the search.
    std::vector<std::string> sockets;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        Trace("Listing %s failed: %x\n", folder.c_str(), static_cast<unsigned>(ec.value()));
        none.error =
            ec == std::errc::permission_denied ? FilterOpenError::NoPermission : FilterOpenError::Failed;
        none.problem = "cannot list the filter socket folder " + folder + ": " + ec.message();
        return none;
    }
    Trace("\nList of KBFILTER Device Interfaces\n");
    Trace("---------------------------------\n");
    // The non-throwing increment: a folder that fails half-way ends the list instead of throwing out of
    // OpenChannel.
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code statError;
        if (it->is_socket(statError)) {
            sockets.push_back(it->path().string());
        }
    }
    std::sort(sockets.begin(), sockets.end());
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        Trace("%d %s\n", static_cast<int>(i + 1), sockets[i].c_str());
    }
    if (sockets.empty()) {
        Trace("No device interfaces present\n");
        return none;
    }
    return Connect(sockets.back());
}

}  // namespace kb::KbFiltrDevice
