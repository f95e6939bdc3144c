// Whom the daemon serves besides root and its own user: they may use its socket and own its record file.
#pragma once

#include <sys/types.h>

#include <optional>

namespace kb::filterd {

struct SocketAccess {
    std::optional<uid_t> user;   // may connect besides root and the daemon's own user
    std::optional<gid_t> group;  // members (primary or supplementary) may connect
};

}  // namespace kb::filterd
