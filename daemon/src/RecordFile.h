// Reads the record file for the daemon, which plays its contents as key strokes: only a file that no one
// but root and the users the daemon serves could have put there or changed is used, then it is decoded
// with the same validated reader as the application.
//
// Refused: a symbolic link in the file's place; anything but a regular file; a file owned by anyone but
// root, the daemon's own user, the configured user or a member of the configured group; a file writable
// by others or by a group other than root's; and a file below any folder, up to the root, that is owned
// by anyone but root and the file's owner, or that others (or a group other than root's) may write
// without the sticky bit, since whoever can write a folder can rename what is in it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "kb/keys/KeyRecordTable.h"
#include "src/SocketAccess.h"

namespace kb::filterd {

struct RecordFileLoad {
    bool ok = false;
    bool missing = false;  // the file does not exist
    std::vector<KeyRecord> records;
    std::string error;  // why nothing was loaded
};

RecordFileLoad LoadRecordFile(const std::filesystem::path& path, const SocketAccess& served);

}  // namespace kb::filterd
