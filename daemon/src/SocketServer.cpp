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

SocketServer::SocketServer(IRequestHandler& handler, SocketAccess access, Clock clock)
    : handler_(handler), access_(access), clock_(std::move(clock)) {}

SocketServer::~SocketServer() {
    if (listenFd_) {
        ::unlink(socketPath_.c_str());
    }
}

bool SocketServer::PrepareFolder(const std::filesystem::path& folder, std::optional<gid_t> gid,
                                 std::string& error) {
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
    return true;
}

bool SocketServer::Listen(std::optional<gid_t> gid, std::string& error) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath_.native().size() >= sizeof addr.sun_path) {
        error = "socket path too long: " + socketPath_.string();
        return false;
    }
    std::memcpy(addr.sun_path, socketPath_.c_str(), socketPath_.native().size() + 1);
    const auto* sa = reinterpret_cast<const sockaddr*>(&addr);

    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        error = "cannot create a socket: " + std::string(std::strerror(errno));
        return false;
    }
    // A socket left by an earlier run is replaced, one that answers belongs to a running daemon.
    if (struct stat st{}; ::lstat(socketPath_.c_str(), &st) == 0) {
        const UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (probe && ::connect(probe.Get(), sa, sizeof addr) == 0) {
            error = "another kbfilterd listens on " + socketPath_.string();
            return false;
        }
        ::unlink(socketPath_.c_str());
    }
    const mode_t oldMask = ::umask(0177);  // no moment with wider permissions than the final ones
    const int bound = ::bind(fd.Get(), sa, sizeof addr);
    ::umask(oldMask);
    if (bound != 0) {
        error = "cannot bind " + socketPath_.string() + ": " + std::strerror(errno);
        return false;
    }
    const uid_t self = ::geteuid();
    const bool owned = (!access_.user && !gid) || ::chown(socketPath_.c_str(), access_.user.value_or(self),
                                                          gid.value_or(::getegid())) == 0;
    if (!owned || ::chmod(socketPath_.c_str(), gid ? 0660 : 0600) != 0 || ::listen(fd.Get(), 8) != 0) {
        error = "cannot set up " + socketPath_.string() + ": " + std::strerror(errno);
        ::unlink(socketPath_.c_str());
        return false;
    }
    listenFd_ = std::move(fd);
    return true;
}

bool SocketServer::Open(const std::filesystem::path& folder, std::string& error) {
    // The group that may reach the socket: the configured one, else the configured user's own group.
    std::optional<gid_t> gid = access_.group;
    if (!gid && access_.user) {
        if (const passwd* pw = ::getpwuid(*access_.user)) {
            gid = pw->pw_gid;
        }
    }
    if (!PrepareFolder(folder, gid, error)) {
        return false;
    }
    socketPath_ = folder / fw::kSocketName;
    return Listen(gid, error);
}

void SocketServer::AppendPollFds(std::vector<pollfd>& fds) const {
    if (listenFd_) {
        fds.push_back({listenFd_.Get(), POLLIN, 0});
    }
    for (const Client& c : clients_) {
        // While a reply waits, the client's next request waits too.
        fds.push_back({c.fd.Get(), static_cast<short>(c.out.empty() ? POLLIN : POLLOUT), 0});
    }
}

std::optional<Time> SocketServer::NextDeadline() const {
    std::optional<Time> next;
    for (const Client& c : clients_) {
        if (c.busySince && (!next || *c.busySince + kStalledAfter < *next)) {
            next = *c.busySince + kStalledAfter;
        }
    }
    return next;
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

void SocketServer::MakeRoom() {
    const auto quietest =
        std::min_element(clients_.begin(), clients_.end(),
                         [](const Client& a, const Client& b) { return a.lastActive < b.lastActive; });
    Log("dropped the client quiet the longest (%s) to make room for a new one", quietest->who.c_str());
    clients_.erase(quietest);
}

void SocketServer::Accept() {
    for (;;) {
        UniqueFd fd(::accept4(listenFd_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                Log("accept failed: %s", std::strerror(errno));
            }
            return;
        }
        std::string who;
        if (!PeerAllowed(fd.Get(), who)) {
            Log("refused a client: %s may not use the filter", who.c_str());
            continue;
        }
        if (clients_.size() >= kMaxClients) {
            MakeRoom();
        }
        Client c;
        c.fd = std::move(fd);
        c.who = std::move(who);
        c.lastActive = clock_();
        clients_.push_back(std::move(c));
    }
}

bool SocketServer::ReadFrom(Client& c) {
    for (;;) {
        const std::size_t wanted = RequestBytesWanted(c.in);
        if (wanted == 0) {
            const RequestOutcome outcome = AnswerRequest(c.in, handler_, c.out);
            if (outcome.refused) {
                Log("refused request 0x%X with %u input bytes", outcome.code, outcome.length);
            }
            // Beyond a refused length the rest of the stream cannot be trusted: answer, then hang up.
            c.closeAfterReply = outcome.hangUp;
            c.in.clear();
            return true;
        }
        std::byte buffer[fw::kHeaderBytes + fw::kMaxInputBytes];
        const ssize_t n = ::read(c.fd.Get(), buffer, std::min(wanted, sizeof buffer));
        if (n == 0) {
            return false;  // gone, perhaps mid-request: nothing of that request happens
        }
        if (n < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        c.lastActive = clock_();
        if (!c.busySince) {
            c.busySince = c.lastActive;
        }
        c.in.insert(c.in.end(), buffer, buffer + n);
    }
}

bool SocketServer::WriteTo(Client& c) {
    while (!c.out.empty()) {
        const ssize_t n = ::send(c.fd.Get(), c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        c.lastActive = clock_();
        c.out.erase(c.out.begin(), c.out.begin() + n);
    }
    c.busySince.reset();
    return !c.closeAfterReply;
}

void SocketServer::Service() {
    if (listenFd_) {
        Accept();
    }
    const Time now = clock_();
    for (std::size_t i = 0; i < clients_.size();) {
        Client& c = clients_[i];
        bool keep = c.out.empty() ? ReadFrom(c) : true;
        if (keep && !c.out.empty()) {
            keep = WriteTo(c);
        }
        if (keep && c.busySince && now - *c.busySince > kStalledAfter) {
            Log("dropped a client (%s): its request or reply stalled for over %lld s", c.who.c_str(),
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::seconds>(kStalledAfter).count()));
            keep = false;
        }
        if (keep) {
            ++i;
        } else {
            clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

}  // namespace kb::filterd
