#include "kb/common/LoadStatus.h"

#include <system_error>

namespace kb {

std::string LoadStatus::Message() const {
    if (state != LoadState::Unreadable) {
        return {};
    }
    std::string text = file.string() + " cannot be read: " + problem + ".";
    if (!keptAside.empty()) {
        text += " It was kept as " + keptAside.string() + "; the defaults are used.";
    } else if (!keepAsideError.empty()) {
        text += " It could not be kept aside (" + keepAsideError + "); the defaults are used.";
    } else {
        text += " The defaults are used.";
    }
    return text;
}

LoadStatus LoadedStatus(const std::filesystem::path& file) {
    LoadStatus status;
    status.state = LoadState::Loaded;
    status.file = file;
    return status;
}

std::filesystem::path KeptAsidePath(const std::filesystem::path& file) {
    std::filesystem::path aside = file;
    aside += ".unreadable";
    return aside;
}

LoadStatus UnreadableStatus(const std::filesystem::path& file, std::string problem, bool keepAside) {
    LoadStatus status;
    status.state = LoadState::Unreadable;
    status.file = file;
    status.problem = std::move(problem);
    if (keepAside) {
        // Moved, not copied: whatever the file was (too large to read, unreadable to this user, a link
        // to the user's own copy) it is kept as it was, and rename replaces an older copy in one step.
        const std::filesystem::path aside = KeptAsidePath(file);
        std::error_code ec;
        std::filesystem::rename(file, aside, ec);
#if defined(_WIN32)
        // Where a rename does not replace an existing file, the older copy goes first.
        std::error_code probe;
        if (ec && std::filesystem::is_regular_file(aside, probe)) {
            std::filesystem::remove(aside, probe);
            ec.clear();
            std::filesystem::rename(file, aside, ec);
        }
#endif
        if (ec) {
            status.keepAsideError = "cannot move it to " + aside.string() + ": " + ec.message();
        } else {
            status.keptAside = aside;
        }
    }
    return status;
}

LoadStatus FailedReadStatus(const std::filesystem::path& file, const FileReadResult& read, bool keepAside) {
    switch (read.failure) {
        case FileReadFailure::Missing: {
            LoadStatus status;
            status.file = file;
            return status;
        }
        case FileReadFailure::NotRegularFile:
            // A folder, FIFO or device holds nothing of the user's to keep; a save replaces it.
            return UnreadableStatus(file, "it is not a regular file", false);
        case FileReadFailure::TooLarge:
            return UnreadableStatus(file, "it is too large", keepAside);
        case FileReadFailure::None:
        case FileReadFailure::CannotRead:
            break;
    }
    return UnreadableStatus(file, read.error, keepAside);
}

}  // namespace kb
