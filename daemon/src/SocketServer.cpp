#include "src/SocketServer.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <pwd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
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
    // Who may enter the folder: the configured group, else the configured user's own group. The socket
    // itself is the user's and, without a configured group, nobody else's, so that sharing the user's
    // primary group admits nobody.
    std::optional<gid_t> folderGid = access_.group;
    if (!folderGid && access_.user) {
        if (const passwd* pw = ::getpwuid(*access_.user)) {
            folderGid = pw->pw_gid;
        }
    }
    if (!PrepareFolder(folder, folderGid, error)) {
        return false;
    }
    socketPath_ = folder / fw::kSocketName;
    return Listen(access_.group, error);
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

bool SocketServer::PeerAllowed(int fd, uid_t& uid, std::string& who) const {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) {
        who = "unknown peer";
        return false;
    }
    uid = cred.uid;
    who = "uid " + std::to_string(cred.uid) + " pid " + std::to_string(cred.pid);
    std::vector<gid_t> groups(NGROUPS_MAX);
    len = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
    if (!access_.group || ::getsockopt(fd, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &len) != 0) {
        len = 0;  // without a configured group the supplementary groups play no part
    }
    groups.resize(len / sizeof(gid_t));
    return MayConnect(PeerCredentials{cred.uid, cred.gid, groups}, access_, ::geteuid());
}

void SocketServer::Drop(std::size_t index) {
    const uint64_t id = clients_[index].id;
    clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(index));
    handler_.OnClientGone(id);
}

void SocketServer::Push(const fw::KeyEvent& event) {
    const fw::KeyEventFrame frame = fw::MakeKeyEventFrame(event);
    const Time now = clock_();
    for (Client& c : clients_) {
        if (!c.subscribed) {
            continue;
        }
        c.out.insert(c.out.end(), frame.begin(), frame.end());
        if (!c.busySince) {
            c.busySince = now;  // unread events count as a stalled reply
        }
        // Errors and what does not fit now are left to Service, which drops or retries.
        while (!c.out.empty()) {
            const ssize_t n = ::send(c.fd.Get(), c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n <= 0) {
                break;
            }
            c.lastActive = now;
            c.out.erase(c.out.begin(), c.out.begin() + n);
        }
        if (c.out.empty() && c.in.empty()) {
            c.busySince.reset();
        }
    }
}

namespace {

// Keeps the first descriptor of the message in `passed` (unless it holds one already) and closes the
// others, so that a client can neither leak descriptors into the daemon nor swap one in late.
void TakeDescriptors(msghdr& msg, UniqueFd& passed) {
    for (cmsghdr* cm = CMSG_FIRSTHDR(&msg); cm != nullptr; cm = CMSG_NXTHDR(&msg, cm)) {
        if (cm->cmsg_level != SOL_SOCKET || cm->cmsg_type != SCM_RIGHTS) {
            continue;
        }
        if (cm->cmsg_len < CMSG_LEN(0)) {
            break;
        }
        const std::size_t count = (cm->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd = -1;
            std::memcpy(&fd, CMSG_DATA(cm) + i * sizeof(int), sizeof fd);
            UniqueFd owned(fd);
            if (!passed) {
                passed = std::move(owned);
            }
        }
    }
}

}  // namespace

void SocketServer::MakeRoom() {
    const auto quietest =
        std::min_element(clients_.begin(), clients_.end(),
                         [](const Client& a, const Client& b) { return a.lastActive < b.lastActive; });
    Log("dropped the client quiet the longest (%s) to make room for a new one", quietest->who.c_str());
    Drop(static_cast<std::size_t>(quietest - clients_.begin()));
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
        uid_t uid = 0;
        if (!PeerAllowed(fd.Get(), uid, who)) {
            Log("refused a client: %s may not use the filter", who.c_str());
            continue;
        }
        if (clients_.size() >= kMaxClients) {
            MakeRoom();
        }
        Client c;
        c.fd = std::move(fd);
        c.id = nextId_++;
        c.uid = uid;
        c.who = std::move(who);
        c.lastActive = clock_();
        clients_.push_back(std::move(c));
    }
}

bool SocketServer::ReadFrom(Client& c) {
    for (;;) {
        const std::size_t wanted = RequestBytesWanted(c.in);
        if (wanted == 0) {
            RequestContext context;
            context.client = c.id;
            context.uid = c.uid;
            context.descriptor = c.passed.Get();
            const RequestOutcome outcome = AnswerRequest(c.in, handler_, c.out, context);
            c.passed = UniqueFd();  // used or not, it goes with its request
            if (outcome.refused) {
                Log("refused request 0x%X with %u input bytes", outcome.code, outcome.length);
            }
            if (context.subscribe) {
                c.subscribed = *context.subscribe;
            }
            // Beyond a refused length the rest of the stream cannot be trusted: answer, then hang up.
            c.closeAfterReply = outcome.hangUp;
            c.in.clear();
            return true;
        }
        std::byte buffer[fw::kHeaderBytes + fw::kMaxInputBytes];
        iovec iov{buffer, std::min(wanted, sizeof buffer)};
        alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))] = {};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(c.fd.Get(), &msg, MSG_CMSG_CLOEXEC);
        // A failed receive leaves msg_controllen as it was: there is no ancillary data to read then.
        if (n >= 0) {
            TakeDescriptors(msg, c.passed);
        }
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
    if (c.in.empty()) {
        c.busySince.reset();  // a half-sent request keeps its time-out running
    }
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
        if (keep && c.out.size() > kMaxPendingBytes) {
            Log("dropped a client (%s): it left %zu bytes unread", c.who.c_str(), c.out.size());
            keep = false;
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
            Drop(i);
        }
    }
}

}  // namespace kb::filterd
