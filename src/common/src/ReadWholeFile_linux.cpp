#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kb/common/AtomicFile.h"
#include "kb/common/UniqueFd.h"

namespace kb {
namespace {

FileReadResult Failed(FileReadFailure failure, std::string error) {
    FileReadResult result;
    result.failure = failure;
    result.error = std::move(error);
    return result;
}

}  // namespace

FileReadResult ReadWholeFile(const std::filesystem::path& source, std::size_t maxBytes) {
    // Non-blocking open and a check of what was opened: a FIFO put where a settings file belongs must not
    // hang the reader waiting for a writer, and a device must not be read at all.
    const UniqueFd fd(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        const int err = errno;
        return Failed(err == ENOENT ? FileReadFailure::Missing : FileReadFailure::CannotRead,
                      "cannot open " + source.string() + ": " + std::strerror(err));
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        return Failed(FileReadFailure::CannotRead,
                      "cannot read " + source.string() + ": " + std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode)) {
        return Failed(FileReadFailure::NotRegularFile, source.string() + " is a folder");
    }
    if (!S_ISREG(st.st_mode)) {
        return Failed(FileReadFailure::NotRegularFile, source.string() + " is not a regular file");
    }
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        return Failed(FileReadFailure::TooLarge, source.string() + " is too large");
    }
    std::string data;
    data.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Failed(FileReadFailure::CannotRead,
                          "cannot read " + source.string() + ": " + std::strerror(errno));
        }
        if (n == 0) {
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
        // The file may grow while it is read.
        if (data.size() > maxBytes) {
            return Failed(FileReadFailure::TooLarge, source.string() + " is too large");
        }
    }
    FileReadResult result;
    result.ok = true;
    result.bytes = std::move(data);
    return result;
}

}  // namespace kb
