// Whether a folder belongs to this user alone: a shared temporary folder must not let another local user
// plant the lock or the socket that decide whether this program starts.
#pragma once

#include <QString>

namespace kb::app {

// True when `folder` is a real folder (not a link) owned by the current user and not writable by others.
bool IsPrivateFolder(const QString& folder);

// Makes `folder` (its parent must exist) owner-only in one step when it is missing, whatever the umask,
// then checks it as IsPrivateFolder does: false when it is not this user's alone.
bool MakePrivateFolder(const QString& folder);

// The one folder used when the session has no runtime folder: named after the user id, as the device
// layer's lock folder.
QString FallbackRuntimeFolder();

// True when nothing is at `path`, or a file of the current user's that is no link: what another user put
// there is never used.
bool IsAbsentOrOwnFile(const QString& path);

}  // namespace kb::app
