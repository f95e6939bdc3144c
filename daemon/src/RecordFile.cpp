#include "src/RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kb::filterd {
namespace {

constexpr std::size_t kMaxFileBytes = 16u << 20;  // far above what a full keyboard of records takes

// Empty when only the owner and root can write `st`, else why not.
std::string WhoElseCanWrite(const struct stat& st, const std::string& what) {
    if ((st.st_mode & S_IWOTH) != 0) {
        return what + " is writable by every user";
    }
    if ((st.st_mode & S_IWGRP) != 0 && st.st_gid != 0) {
        return what + " is writable by its group (gid " + std::to_string(st.st_gid) + ")";
    }
    return {};
}

}  // namespace

RecordFileLoad LoadRecordFile(const std::filesystem::path& path) {
    RecordFileLoad result;
    const std::string name = path.string();

    // Whoever can write the folder can replace the file.
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    struct stat folderStat {};
    if (::stat(folder.c_str(), &folderStat) == 0) {
        result.error = WhoElseCanWrite(folderStat, "its folder " + folder.string());
        if (!result.error.empty()) {
            result.error = "refusing " + name + ": " + result.error;
            return result;
        }
    }

    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        result.missing = errno == ENOENT;
        result.error = "cannot open " + name + ": " + std::strerror(errno);
        return result;
    }
    struct stat st {};
    std::string data;
    if (::fstat(fd, &st) != 0) {
        result.error = "cannot examine " + name + ": " + std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        result.error = name + " is not a regular file";
    } else if (std::string why = WhoElseCanWrite(st, "it"); !why.empty()) {
        result.error = "refusing " + name + ": " + why;
    } else if (static_cast<std::size_t>(st.st_size) > kMaxFileBytes) {
        result.error = name + " is too large";
    } else {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                result.error = "cannot read " + name + ": " + std::strerror(errno);
                break;
            }
            if (n == 0) {
                break;
            }
            data.append(buffer, static_cast<std::size_t>(n));
            if (data.size() > kMaxFileBytes) {
                result.error = name + " is too large";
                break;
            }
        }
    }
    ::close(fd);
    if (!result.error.empty()) {
        return result;
    }
    RecordFileDecodeResult decoded = DecodeRecordFile(data);
    if (!decoded.ok) {
        result.error = name + " is not a valid record file: " + decoded.error;
        return result;
    }
    result.ok = true;
    result.records = std::move(decoded.records);
    return result;
}

}  // namespace kb::filterd
