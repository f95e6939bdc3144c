// The daemon's Unix socket: prepares its folder, admits only root, the daemon's own user and the
// configured user or group (by file permissions and by the peer's credentials), and turns the byte
// stream of each client into requests and replies (kb/device/FilterWire.h). Non-blocking; driven by the
// daemon's poll loop.
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kb/device/FilterWire.h"

namespace kb::filterd {

struct SocketAccess {
    std::optional<uid_t> user;   // may connect besides root and the daemon's own user
    std::optional<gid_t> group;  // members (primary or supplementary) may connect
};

class IRequestHandler {
  public:
    virtual ~IRequestHandler() = default;
    // A request whose code is known and whose input has the code's size. Writes its output into `output`
    // (sized filterwire::OutputBytesFor(code)) and returns the status.
    virtual filterwire::Status HandleRequest(uint32_t code, std::span<const std::byte> input,
                                             std::span<std::byte> output) = 0;
};

class SocketServer {
  public:
    static constexpr std::size_t kMaxClients = 16;

    SocketServer(IRequestHandler& handler, SocketAccess access);
    ~SocketServer();
    SocketServer(const SocketServer&) = delete;
    SocketServer& operator=(const SocketServer&) = delete;

    // Creates or checks the folder, then listens on the socket in it. False with `error` on failure.
    bool Open(const std::filesystem::path& folder, std::string& error);
    const std::filesystem::path& SocketPath() const { return socketPath_; }

    void AppendPollFds(std::vector<pollfd>& fds) const;
    // Accepts, reads and answers whatever is ready; never blocks.
    void Service();

  private:
    struct Client {
        int fd = -1;
        std::vector<std::byte> in;   // bytes of the request being received
        std::vector<std::byte> out;  // reply bytes not yet written
        bool closeAfterReply = false;
    };

    void Accept();
    // False when the client is to be dropped.
    bool ReadFrom(Client& c);
    bool WriteTo(Client& c);
    void Answer(Client& c);
    bool PeerAllowed(int fd, std::string& who) const;

    IRequestHandler& handler_;
    SocketAccess access_;
    int listenFd_ = -1;
    std::filesystem::path socketPath_;
    std::vector<Client> clients_;
};

// The socket folder to use: `configured` when not empty, else the environment variable, else the default.
std::filesystem::path SocketFolder(const std::string& configured);

}  // namespace kb::filterd
