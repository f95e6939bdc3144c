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

#include <sys/types.h>

#include <cstddef>
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
    std::string data;   // the file's bytes, when ok
    std::string error;  // why nothing was loaded
};

// The largest record file read; far above what a full keyboard of records takes.
inline constexpr std::size_t kMaxRecordFileBytes = 16u << 20;

RecordFileLoad LoadRecordFile(const std::filesystem::path& path, const SocketAccess& served);

// A record file handed over as an open descriptor by a client running as `peer`. Used only when it is
// a regular file owned by `peer` or root that neither its group nor others may write, and not larger
// than kMaxRecordFileBytes; read from its start, whatever the descriptor's offset. The error reads
// "cannot use record file: <why>".
RecordFileLoad LoadHandedRecordFile(int fd, uid_t peer);

}  // namespace kb::filterd
