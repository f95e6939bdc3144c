// Whether a folder belongs to this user alone: a shared temporary folder must not let another local user
// plant the lock or the socket that decide whether this program starts.
#pragma once

#include <QString>

namespace kb::app {

// True when `folder` is a real folder (not a link) owned by the current user and not writable by others.
bool IsPrivateFolder(const QString& folder);

}  // namespace kb::app
