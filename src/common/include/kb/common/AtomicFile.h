// Whole-file replacement that never leaves a half-written file behind: the bytes go to a temporary file
// in the same folder, are flushed to disk, and the temporary file is renamed over the target. On any
// failure the old file stays as it was and the temporary file is removed. On Linux the temporary file
// has no name until it is complete, and a save removes what a killed earlier save of the same file left.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kb {

struct FileWriteResult {
    bool ok = false;
    std::string error;  // why it failed, for logs and messages; empty on success
};

FileWriteResult WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// Why a whole-file read failed.
enum class FileReadFailure {
    None,
    Missing,         // no such file: nothing is wrong with it
    NotRegularFile,  // a folder, FIFO, device or socket: refused without reading, so it never blocks
    TooLarge,
    CannotRead,  // no permission, an I/O error
};

// Reads a whole file; failure is reported by ok == false with the reason in `failure` and `error`.
struct FileReadResult {
    bool ok = false;
    std::string bytes;
    std::string error;
    FileReadFailure failure = FileReadFailure::None;
};

FileReadResult ReadWholeFile(const std::filesystem::path& source, std::size_t maxBytes = 64u << 20);

}  // namespace kb
