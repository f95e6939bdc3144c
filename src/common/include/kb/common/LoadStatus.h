// How loading a settings file went, for the program to tell the user: a file that exists but cannot be
// used gives the defaults, and a later save would overwrite it, so it is first kept aside as
// "NAME.unreadable" (one copy, the newest).
#pragma once

#include <filesystem>
#include <string>

#include "kb/common/AtomicFile.h"

namespace kb {

enum class LoadState {
    Loaded,
    Missing,     // no file yet: the defaults, nothing to tell
    Unreadable,  // the file is there but cannot be used: the defaults, and the user is told
};

struct LoadStatus {
    LoadState state = LoadState::Missing;
    std::filesystem::path file;
    std::string problem;              // what is wrong with the file; empty unless Unreadable
    std::filesystem::path keptAside;  // where the file was moved; empty when it was not
    std::string keepAsideError;       // why it could not be moved, when that was tried and failed

    bool Unreadable() const { return state == LoadState::Unreadable; }
    // One or two sentences for the user and the trace: which file, what is wrong, where it went.
    std::string Message() const;
};

LoadStatus LoadedStatus(const std::filesystem::path& file);

// The status for a failed read: Missing when there is no file, else Unreadable; a regular file that
// could not be used is kept aside when `keepAside` (a file the program never writes stays where it is).
LoadStatus FailedReadStatus(const std::filesystem::path& file, const FileReadResult& read, bool keepAside);

// The file exists but its contents are not what it should hold: Unreadable, and kept aside when
// `keepAside`.
LoadStatus UnreadableStatus(const std::filesystem::path& file, std::string problem, bool keepAside);

// "NAME.unreadable" beside the file.
std::filesystem::path KeptAsidePath(const std::filesystem::path& file);

}  // namespace kb
