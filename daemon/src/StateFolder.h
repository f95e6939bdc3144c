// The daemon's own folder (systemd's StateDirectory=, /var/lib/kbfilterd/): the copy of the last record
// file a client handed over, so that its assignments apply from the next start on. Only the daemon's user
// may enter it; the copy is replaced atomically.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kb::filterd {

inline constexpr const char* kDefaultStateDir = "/var/lib/kbfilterd";
inline constexpr const char* kStateDirEnv = "STATE_DIRECTORY";
inline constexpr const char* kStateCopyName = "record.bin";

// `configured` when not empty, else the first folder of $STATE_DIRECTORY (systemd may list several,
// separated by ':'), else kDefaultStateDir.
std::filesystem::path StateFolderPath(const std::string& configured);

// Creates the folder (0700) or checks it: a folder, not a link, owned by this process's user; wider
// permissions are narrowed. False with `error` otherwise.
bool PrepareStateFolder(const std::filesystem::path& folder, std::string& error);

// Writes `bytes` as the folder's copy (mode 0600): a temporary file written and synced, then renamed
// over the old copy, so that a crash leaves the old copy or the new one, never a part.
bool SaveStateCopy(const std::filesystem::path& folder, std::string_view bytes, std::string& error);

}  // namespace kb::filterd
