// Whom the daemon serves besides root and its own user: they may use its socket.
#pragma once

#include <sys/types.h>

#include <optional>
#include <span>

namespace kb::filterd {

struct SocketAccess {
    std::optional<uid_t> user;   // may connect besides root and the daemon's own user
    std::optional<gid_t> group;  // members (primary or supplementary) may connect
};

// A connecting peer as the kernel reports it.
struct PeerCredentials {
    uid_t uid = 0;
    gid_t gid = 0;                  // primary group
    std::span<const gid_t> groups;  // supplementary groups
};

// Whether `peer` may use the socket of a daemon running as `self`. Sharing a primary group with the
// served user admits nobody: only the configured group's members are served as a group.
bool MayConnect(const PeerCredentials& peer, const SocketAccess& access, uid_t self);

}  // namespace kb::filterd
