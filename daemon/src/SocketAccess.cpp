#include "src/SocketAccess.h"

#include <algorithm>

namespace kb::filterd {

bool MayConnect(const PeerCredentials& peer, const SocketAccess& access, uid_t self) {
    if (peer.uid == 0 || peer.uid == self || (access.user && peer.uid == *access.user)) {
        return true;
    }
    if (!access.group) {
        return false;
    }
    return peer.gid == *access.group ||
           std::find(peer.groups.begin(), peer.groups.end(), *access.group) != peer.groups.end();
}

}  // namespace kb::filterd
