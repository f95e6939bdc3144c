// The filter's interfaces on Linux: the Unix sockets of kbfilterd in its socket folder.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// A daemon that stops answering must not hang the monitor thread (and so StopMonitor) for ever.
constexpr int kReplyTimeoutMs = 2000;

std::string SocketFolder() {
    const char* env = std::getenv(filterwire::kSocketDirEnv);
    return env != nullptr && *env != '\0' ? env : filterwire::kDefaultSocketDir;
}

// Connects to the daemon's socket at `path`: the descriptor, or an invalid one with the reason.
UniqueFd ConnectSocket(const std::string& path, FilterOpenError& error, std::string& problem);

class SocketConnection final : public IFilterConnection {
  public:
    SocketConnection(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

    SocketConnection(const SocketConnection&) = delete;
    SocketConnection& operator=(const SocketConnection&) = delete;

    std::optional<std::size_t> Request(uint32_t code, std::span<const std::byte> input,
                                       std::span<std::byte> output) override {
        if (input.size() > filterwire::kMaxInputBytes) {
            return std::nullopt;  // the daemon would hang up rather than read it
        }
        // One request and its reply at a time: the monitor thread and the UI thread share the stream.
        const std::lock_guard guard(mutex_);
        // The daemon may have dropped this client (restarted, or made room for another): connect again
        // and ask once more. Every request is safe to repeat (a mode, a reload, a read).
        for (int attempt = 0; attempt < 2; ++attempt) {
            const bool fresh = !fd_;
            if (fresh && (untrusted_ || !Reconnect())) {
                return std::nullopt;
            }
            Outcome outcome = Exchange(code, input, output);
            if (outcome.streamBroken && !fresh) {
                continue;
            }
            return outcome.size;
        }
        return std::nullopt;
    }

  private:
    struct Outcome {
        std::optional<std::size_t> size;
        bool streamBroken = false;  // the connection is gone and was dropped
    };

    bool Reconnect() {
        FilterOpenError error = FilterOpenError::None;
        std::string problem;
        fd_ = ConnectSocket(path_, error, problem);
        return fd_.Valid();
    }

    Outcome Exchange(uint32_t code, std::span<const std::byte> input, std::span<std::byte> output) {
        std::array<std::byte, filterwire::kHeaderBytes + filterwire::kMaxInputBytes> request{};
        const filterwire::Header header = filterwire::MakeHeader(code, static_cast<uint32_t>(input.size()));
        std::copy(header.begin(), header.end(), request.begin());
        std::copy(input.begin(), input.end(), request.begin() + filterwire::kHeaderBytes);
        filterwire::Header reply{};
        if (!SendAll(request.data(), filterwire::kHeaderBytes + input.size()) ||
            !ReceiveAll(reply.data(), reply.size())) {
            // A daemon that stops answering is not asked again: each request would wait out the time-out.
            untrusted_ = timedOut_;
            Drop();
            return {std::nullopt, !timedOut_};
        }
        const filterwire::HeaderFields fields = filterwire::ParseHeader(reply);
        if (fields.length > filterwire::kMaxOutputBytes) {
            untrusted_ = true;  // not our protocol: the stream cannot be trusted any more
            Drop();
            return {};
        }
        std::array<std::byte, filterwire::kMaxOutputBytes> body{};
        if (!ReceiveAll(body.data(), fields.length)) {
            untrusted_ = timedOut_;
            Drop();
            return {};
        }
        if (fields.first != static_cast<uint32_t>(filterwire::Status::Ok)) {
            return {};
        }
        const std::size_t copied = std::min<std::size_t>(fields.length, output.size());
        std::copy_n(body.begin(), copied, output.begin());
        return {copied, false};
    }

    void Drop() { fd_.Reset(); }

    bool Wait(short events) {
        pollfd p{fd_.Get(), events, 0};
        timedOut_ = false;
        for (;;) {
            const int r = ::poll(&p, 1, kReplyTimeoutMs);
            if (r > 0) {
                return true;
            }
            if (r == 0 || errno != EINTR) {
                timedOut_ = r == 0;
                return false;
            }
        }
    }

    bool SendAll(const std::byte* data, std::size_t size) {
        while (size > 0) {
            if (!Wait(POLLOUT)) {
                return false;
            }
            const ssize_t n = ::send(fd_.Get(), data, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool ReceiveAll(std::byte* data, std::size_t size) {
        while (size > 0) {
            if (!Wait(POLLIN)) {
                return false;
            }
            const ssize_t n = ::recv(fd_.Get(), data, size, 0);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;  // error, or the daemon closed the connection
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    std::mutex mutex_;
    UniqueFd fd_;
    const std::string path_;
    bool timedOut_ = false;   // the last wait ran out of time (rather than the stream ending)
    bool untrusted_ = false;  // the daemon hung or spoke another protocol: no new connection
};

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
        } else {
            error = FilterOpenError::Failed;
            problem = "cannot connect to " + path + ": " + std::strerror(code);
        }
        return UniqueFd();
    }
    error = FilterOpenError::None;
    return fd;
}

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
