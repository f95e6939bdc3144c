#include "src/SocketServer.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <pwd.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "src/Log.h"

namespace kb::filterd {

namespace fw = filterwire;

std::filesystem::path SocketFolder(const std::string& configured) {
    if (!configured.empty()) {
        return configured;
    }
    const char* env = std::getenv(fw::kSocketDirEnv);
    return env != nullptr && env[0] != '\0' ? env : fw::kDefaultSocketDir;
}

SocketServer::SocketServer(IRequestHandler& handler, SocketAccess access)
    : handler_(handler), access_(access) {}

SocketServer::~SocketServer() {
    for (Client& c : clients_) {
        ::close(c.fd);
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlink(socketPath_.c_str());
    }
}

bool SocketServer::Open(const std::filesystem::path& folder, std::string& error) {
    // The group that may reach the socket: the configured one, else the configured user's own group.
    std::optional<gid_t> gid = access_.group;
    if (!gid && access_.user) {
        if (const passwd* pw = ::getpwuid(*access_.user)) {
            gid = pw->pw_gid;
        }
    }
    const uid_t self = ::geteuid();

    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        if (errno != ENOENT || ::mkdir(folder.c_str(), 0700) != 0 || ::lstat(folder.c_str(), &st) != 0) {
            error = "cannot create the socket folder " + folder.string() + ": " + std::strerror(errno);
            return false;
        }
    }
    // Someone else's folder (or a link to one) could hand our clients to another listener.
    if (!S_ISDIR(st.st_mode) || st.st_uid != self) {
        error = "the socket folder " + folder.string() + " is not a folder owned by this daemon's user";
        return false;
    }
    if (gid && ::chown(folder.c_str(), self, *gid) != 0) {
        error =
            "cannot give the socket folder to group " + std::to_string(*gid) + ": " + std::strerror(errno);
        return false;
    }
    if (::chmod(folder.c_str(), gid ? 0750 : 0700) != 0) {
        error = "cannot set the socket folder's permissions: " + std::string(std::strerror(errno));
        return false;
    }

    socketPath_ = folder / fw::kSocketName;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath_.native().size() >= sizeof addr.sun_path) {
        error = "socket path too long: " + socketPath_.string();
        return false;
    }
    std::memcpy(addr.sun_path, socketPath_.c_str(), socketPath_.native().size() + 1);

    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        error = "cannot create a socket: " + std::string(std::strerror(errno));
        return false;
    }
    const auto* sa = reinterpret_cast<const sockaddr*>(&addr);
    // A socket left by an earlier run is replaced, one that answers belongs to a running daemon.
    if (::lstat(socketPath_.c_str(), &st) == 0) {
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool answered = probe >= 0 && ::connect(probe, sa, sizeof addr) == 0;
        if (probe >= 0) {
            ::close(probe);
        }
        if (answered) {
            error = "another kbfilterd listens on " + socketPath_.string();
            ::close(listenFd_);
            listenFd_ = -1;
            return false;
        }
        ::unlink(socketPath_.c_str());
    }
    const mode_t oldMask = ::umask(0177);  // no moment with wider permissions than the final ones
    const int bound = ::bind(listenFd_, sa, sizeof addr);
    ::umask(oldMask);
    if (bound != 0) {
        error = "cannot bind " + socketPath_.string() + ": " + std::strerror(errno);
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    const bool owned = (!access_.user && !gid) || ::chown(socketPath_.c_str(), access_.user.value_or(self),
                                                          gid.value_or(::getegid())) == 0;
    if (!owned || ::chmod(socketPath_.c_str(), gid ? 0660 : 0600) != 0 || ::listen(listenFd_, 8) != 0) {
        error = "cannot set up " + socketPath_.string() + ": " + std::strerror(errno);
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(socketPath_.c_str());
        return false;
    }
    return true;
}

void SocketServer::AppendPollFds(std::vector<pollfd>& fds) const {
    if (listenFd_ >= 0 && clients_.size() < kMaxClients) {
        fds.push_back({listenFd_, POLLIN, 0});
    }
    for (const Client& c : clients_) {
        // While a reply waits, the client's next request waits too.
        fds.push_back({c.fd, static_cast<short>(c.out.empty() ? POLLIN : POLLOUT), 0});
    }
}

bool SocketServer::PeerAllowed(int fd, std::string& who) const {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) {
        who = "unknown peer";
        return false;
    }
    who = "uid " + std::to_string(cred.uid) + " pid " + std::to_string(cred.pid);
    if (cred.uid == 0 || cred.uid == ::geteuid() || (access_.user && cred.uid == *access_.user)) {
        return true;
    }
    if (!access_.group) {
        return false;
    }
    if (cred.gid == *access_.group) {
        return true;
    }
    gid_t groups[256];
    len = sizeof groups;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERGROUPS, groups, &len) == 0) {
        const std::size_t n = len / sizeof(gid_t);
        return std::find(groups, groups + n, *access_.group) != groups + n;
    }
    return false;
}

void SocketServer::Accept() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                Log("accept failed: %s", std::strerror(errno));
            }
            return;
        }
        std::string who;
        if (!PeerAllowed(fd, who)) {
            Log("refused a client: %s may not use the filter", who.c_str());
            ::close(fd);
            continue;
        }
        if (clients_.size() >= kMaxClients) {
            ::close(fd);
            return;
        }
        clients_.push_back(Client{fd, {}, {}, false});
    }
}

void SocketServer::Answer(Client& c) {
    const fw::HeaderFields h =
        fw::ParseHeader(std::span<const std::byte, fw::kHeaderBytes>(c.in.data(), fw::kHeaderBytes));
    const std::span<const std::byte> input(c.in.data() + fw::kHeaderBytes, c.in.size() - fw::kHeaderBytes);
    std::array<std::byte, fw::kMaxOutputBytes> output{};
    std::size_t outputBytes = 0;
    fw::Status status;
    const std::optional<std::size_t> expected = fw::InputBytesFor(h.first);
    if (!expected) {
        status = fw::Status::UnknownRequest;
    } else if (*expected != h.length) {
        status = fw::Status::BadSize;
    } else {
        outputBytes = fw::OutputBytesFor(h.first);
        status = handler_.HandleRequest(h.first, input, std::span(output.data(), outputBytes));
        if (status != fw::Status::Ok) {
            outputBytes = 0;
        }
    }
    if (status == fw::Status::UnknownRequest || status == fw::Status::BadSize) {
        Log("refused request 0x%X with %u input bytes", h.first, h.length);
    }
    const fw::Header reply =
        fw::MakeHeader(static_cast<uint32_t>(status), static_cast<uint32_t>(outputBytes));
    c.out.assign(reply.begin(), reply.end());
    c.out.insert(c.out.end(), output.begin(), output.begin() + static_cast<std::ptrdiff_t>(outputBytes));
    c.in.clear();
}

bool SocketServer::ReadFrom(Client& c) {
    for (;;) {
        // Read only up to the end of the current request, so that replies keep the requests' order.
        std::size_t want = fw::kHeaderBytes;
        if (c.in.size() >= fw::kHeaderBytes) {
            const uint32_t length = fw::GetU32(c.in.data() + 4);
            if (length > fw::kMaxInputBytes) {
                // Not read: answer, then hang up, since the rest of the stream cannot be trusted.
                const fw::Header reply = fw::MakeHeader(static_cast<uint32_t>(fw::Status::BadSize), 0);
                Log("refused request 0x%X with %u input bytes", fw::GetU32(c.in.data()), length);
                c.out.assign(reply.begin(), reply.end());
                c.closeAfterReply = true;
                return true;
            }
            want = fw::kHeaderBytes + length;
        }
        if (c.in.size() == want && want >= fw::kHeaderBytes && c.in.size() >= fw::kHeaderBytes) {
            Answer(c);
            return true;
        }
        std::byte buffer[fw::kHeaderBytes + fw::kMaxInputBytes];
        const ssize_t n = ::read(c.fd, buffer, want - c.in.size());
        if (n == 0) {
            return false;  // gone, perhaps mid-request: nothing of that request happens
        }
        if (n < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        c.in.insert(c.in.end(), buffer, buffer + n);
    }
}

bool SocketServer::WriteTo(Client& c) {
    while (!c.out.empty()) {
        const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        c.out.erase(c.out.begin(), c.out.begin() + n);
    }
    return !c.closeAfterReply;
}

void SocketServer::Service() {
    if (listenFd_ >= 0) {
        Accept();
    }
    for (std::size_t i = 0; i < clients_.size();) {
        Client& c = clients_[i];
        bool keep = c.out.empty() ? ReadFrom(c) : true;
        if (keep && !c.out.empty()) {
            keep = WriteTo(c);
        }
        if (keep) {
            ++i;
        } else {
            ::close(c.fd);
            clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

}  // namespace kb::filterd
