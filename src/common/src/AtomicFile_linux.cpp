#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "kb/common/AtomicFile.h"
#include "kb/common/NumberText.h"

namespace kb {
namespace {

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

// The process's umask, read without changing it (umask() would race with other threads creating files).
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(StrToULong32(std::string_view(line).substr(6), 8));
        }
    }
    return 022;
}

}  // namespace

FileWriteResult WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
    FileWriteResult result;
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        result.error = Describe("cannot create a temporary file for", target, errno);
        return result;
    }
    // Keep the permissions of the file being replaced. A new file is never writable by group or others,
    // whatever the umask: the filter daemon refuses a record file that others could change.
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        ::fchmod(fd, 0644 & ~CurrentUmask());
    }
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        result.error = Describe("cannot write", target, errno);
        ::close(fd);
        ::unlink(pattern.c_str());
        return result;
    }
    if (::close(fd) != 0) {
        result.error = Describe("cannot close", target, errno);
        ::unlink(pattern.c_str());
        return result;
    }
    if (::rename(pattern.c_str(), target.c_str()) != 0) {
        result.error = Describe("cannot replace", target, errno);
        ::unlink(pattern.c_str());
        return result;
    }
    // Make the rename itself durable.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    result.ok = true;
    return result;
}

}  // namespace kb
