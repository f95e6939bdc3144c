// The daemon's Unix socket: prepares its folder, admits only root, the daemon's own user and the
// configured user or group (by file permissions and by the peer's credentials), and turns the byte
// stream of each client into requests and replies (src/RequestFraming.h). Non-blocking; driven by the
// daemon's poll loop.
//
// A client may stay connected without a word for as long as it likes, but one that leaves a request
// half sent (or its reply or pushed events unread) for kStalledAfter is dropped, as is one that lets more
// than kMaxPendingBytes pile up; when the table is full a new client takes the place of the one that has
// been quiet the longest, so that silent clients cannot lock the others out.
//
// A subscribed client gets each key event pushed as it happens (Push); a descriptor sent along with a
// request reaches the handler with that request and is closed after it.
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "kb/common/UniqueFd.h"
#include "src/Clock.h"
#include "src/RequestFraming.h"
#include "src/SocketAccess.h"

namespace kb::filterd {

class SocketServer {
  public:
    static constexpr std::size_t kMaxClients = 16;
    static constexpr Time kStalledAfter = std::chrono::seconds(2);
    static constexpr std::size_t kMaxPendingBytes = 64 * 1024;

    SocketServer(IRequestHandler& handler, SocketAccess access, Clock clock = Now);
    ~SocketServer();
    SocketServer(const SocketServer&) = delete;
    SocketServer& operator=(const SocketServer&) = delete;

    // Creates or checks the folder, then listens on the socket in it. False with `error` on failure.
    bool Open(const std::filesystem::path& folder, std::string& error);
    const std::filesystem::path& SocketPath() const { return socketPath_; }
    const SocketAccess& Access() const { return access_; }

    void AppendPollFds(std::vector<pollfd>& fds) const;
    // Accepts, reads and answers whatever is ready, and drops stalled clients; never blocks.
    void Service();
    // When Service must run next without a ready descriptor (a stalled client's time-out).
    std::optional<Time> NextDeadline() const;
    std::size_t ClientCount() const { return clients_.size(); }

    // Sends the event to every subscribed client (written now where the socket takes it).
    void Push(const filterwire::KeyEvent& event);

  private:
    struct Client {
        UniqueFd fd;
        uint64_t id = 0;
        uid_t uid = 0;
        bool subscribed = false;
        UniqueFd passed;             // a descriptor received with the request being received
        std::string who;             // for the log
        std::vector<std::byte> in;   // bytes of the request being received
        std::vector<std::byte> out;  // reply bytes not yet written
        bool closeAfterReply = false;
        Time lastActive{};              // the last byte read or written
        std::optional<Time> busySince;  // a request begun and not yet answered in full
    };

    bool PrepareFolder(const std::filesystem::path& folder, std::optional<gid_t> gid, std::string& error);
    bool Listen(std::optional<gid_t> gid, std::string& error);
    void Accept();
    void MakeRoom();
    // False when the client is to be dropped.
    bool ReadFrom(Client& c);
    bool WriteTo(Client& c);
    bool PeerAllowed(int fd, uid_t& uid, std::string& who) const;
    void Drop(std::size_t index);

    IRequestHandler& handler_;
    SocketAccess access_;
    Clock clock_;
    UniqueFd listenFd_;
    std::filesystem::path socketPath_;
    std::vector<Client> clients_;
    uint64_t nextId_ = 1;
};

// The socket folder to use: `configured` when not empty, else the environment variable, else the default.
std::filesystem::path SocketFolder(const std::string& configured);

}  // namespace kb::filterd
