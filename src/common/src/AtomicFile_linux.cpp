#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "kb/common/AtomicFile.h"
#include "kb/common/UniqueFd.h"

// A save writes an unnamed file (O_TMPFILE) in the target's folder, gives it a temporary name only once
// it is complete and on disk, and renames that over the target. A process killed while writing leaves
// nothing behind. Only the short step between naming and renaming can leave a temporary file, and where
// the file system has no unnamed files the whole save runs under a temporary name: the writer holds an
// flock on its temporary file for as long as it exists, so the next save of the same file knows any
// unlocked temporary of that file for a dead writer's and removes it.

namespace kb {
namespace {

constexpr std::size_t kSuffixLength = 8;
// Between the target's name and the random part: a user's own ".NAME.backup" never looks like ours.
constexpr std::string_view kTemporaryMark = "kbtmp-";
constexpr int kNameAttempts = 100;

std::string Describe(const std::string& what, const std::filesystem::path& path, int err) {
    return what + " " + path.string() + ": " + std::strerror(err);
}

bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Temporary names of a target: ".NAME.kbtmp-" followed by kSuffixLength letters or digits.
std::string TemporaryPrefix(const std::filesystem::path& target) {
    return "." + target.filename().string() + "." + std::string(kTemporaryMark);
}

bool IsTemporaryName(const std::string& name, const std::string& prefix) {
    if (name.size() != prefix.size() + kSuffixLength || name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

std::string RandomSuffix() {
    static constexpr std::string_view kChars =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[kSuffixLength] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        // No entropy to be had: the name only has to differ from the others, and EEXIST retries.
        static unsigned counter = 0;
        const unsigned seed = static_cast<unsigned>(::getpid()) * 2654435761u + counter++;
        for (std::size_t i = 0; i < kSuffixLength; ++i) {
            random[i] = static_cast<unsigned char>(seed >> (i * 5));
        }
    }
    std::string suffix;
    for (unsigned char byte : random) {
        suffix.push_back(kChars[byte % kChars.size()]);
    }
    return suffix;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The permissions of the file that replaces `target`. Only the owner may write, whatever the umask or the
// old file: the filter daemon refuses a record file that others could change. An old regular file keeps
// its other bits (a user's chmod 600 stays); anything else, a symlink above all (record.bin -> /dev/null),
// gets a new owner-only file and never the mode of what the link points to.
mode_t ModeForReplacement(const std::filesystem::path& target) {
    constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;
    struct stat old {};
    if (::lstat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) {
        return kOwnerOnly;
    }
    // No set-id or sticky bits and no group or other write.
    return old.st_mode & 0755;
}

// Removes the target's temporary files that no live save holds locked.
void SweepStaleTemporaries(const std::filesystem::path& folder, const std::string& prefix) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!IsTemporaryName(name, prefix)) {
            continue;
        }
        const UniqueFd fd(::open(it->path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (!fd || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
            continue;  // not ours to open, or a save in progress
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd.Get(), &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::lstat(it->path().c_str(), &named) == 0 && SameFile(opened, named)) {
            ::unlink(it->path().c_str());
        }
    }
}

// A new file under a temporary name, locked; false with errno set.
bool CreateNamedTemporary(const std::filesystem::path& folder, const std::string& prefix, UniqueFd& fd,
                          std::string& path) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        path = (folder / (prefix + RandomSuffix())).string();
        fd.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (!fd) {
            if (errno == EEXIST) {
                continue;
            }
            return false;
        }
        // Between the creation and the lock another save may have swept the name away: start again.
        struct stat opened {};
        struct stat named {};
        if (::flock(fd.Get(), LOCK_EX) == 0 && ::fstat(fd.Get(), &opened) == 0 &&
            ::lstat(path.c_str(), &named) == 0 && SameFile(opened, named)) {
            return true;
        }
    }
    errno = EEXIST;
    return false;
}

// Gives a complete unnamed file a temporary name; false with errno set.
bool NameTemporary(const UniqueFd& fd, const std::filesystem::path& folder, const std::string& prefix,
                   std::string& path) {
    // Locked before it has a name, so that no sweep ever sees it unlocked.
    if (::flock(fd.Get(), LOCK_EX) != 0) {
        return false;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd.Get());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        path = (folder / (prefix + RandomSuffix())).string();
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        if (errno == EEXIST) {
            continue;
        }
        // Without /proc: the direct form (it needs CAP_DAC_READ_SEARCH).
        if (::linkat(fd.Get(), "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    errno = EEXIST;
    return false;
}

void SyncFolder(const std::filesystem::path& folder) {
    const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) {
        ::fsync(dir.Get());
    }
}

// Writes the bytes to a temporary file and renames it over the target. `unnamed` asks for an O_TMPFILE
// file; false tells the caller to try again with a named one.
FileWriteResult Replace(const std::filesystem::path& target, const std::filesystem::path& folder,
                        std::string_view bytes, mode_t mode, bool unnamed, bool& retryNamed) {
    FileWriteResult result;
    const std::string prefix = TemporaryPrefix(target);
    std::string temporary;
    UniqueFd fd;
    if (unnamed) {
        fd.Reset(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (!fd) {
            // Folder missing or unwritable: say so; no unnamed files on this file system: use a name.
            retryNamed = errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL;
            result.error = Describe("cannot create a temporary file for", target, errno);
            return result;
        }
    } else if (!CreateNamedTemporary(folder, prefix, fd, temporary)) {
        result.error = Describe("cannot create a temporary file for", target, errno);
        return result;
    }
    ::fchmod(fd.Get(), mode);
    if (!WriteAll(fd.Get(), bytes) || ::fsync(fd.Get()) != 0) {
        result.error = Describe("cannot write", target, errno);
        if (!temporary.empty()) {
            ::unlink(temporary.c_str());
        }
        return result;
    }
    if (unnamed && !NameTemporary(fd, folder, prefix, temporary)) {
        retryNamed = true;
        result.error = Describe("cannot name the temporary file for", target, errno);
        return result;
    }
    // The descriptor (and its lock) stays open until the rename is done.
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        result.error = Describe("cannot replace", target, errno);
        ::unlink(temporary.c_str());
        return result;
    }
    // Make the rename itself durable.
    SyncFolder(folder);
    result.ok = true;
    return result;
}

}  // namespace

FileWriteResult WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    SweepStaleTemporaries(folder, TemporaryPrefix(target));
    const mode_t mode = ModeForReplacement(target);
    bool retryNamed = false;
    FileWriteResult result = Replace(target, folder, bytes, mode, true, retryNamed);
    if (!result.ok && retryNamed) {
        result = Replace(target, folder, bytes, mode, false, retryNamed);
    }
    return result;
}

}  // namespace kb
