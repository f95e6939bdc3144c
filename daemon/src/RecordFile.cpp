#include "src/RecordFile.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "kb/common/UniqueFd.h"

namespace kb::filterd {
namespace {

constexpr std::size_t kMaxFileBytes = kMaxRecordFileBytes;

struct Folder {
    std::string path;
    struct stat st {};
};

// Empty when only the owner and root can write `st` (or, with `stickyWill`, a sticky folder), else why not.
std::string WhoElseCanWrite(const struct stat& st, const std::string& what, bool stickyWill = false) {
    if (stickyWill && (st.st_mode & S_ISVTX) != 0) {
        return {};  // others may add entries, but not rename or remove ours
    }
    if ((st.st_mode & S_IWOTH) != 0) {
        return what + " is writable by every user";
    }
    if ((st.st_mode & S_IWGRP) != 0 && st.st_gid != 0) {
        return what + " is writable by its group (gid " + std::to_string(st.st_gid) + ")";
    }
    return {};
}

bool InGroup(uid_t uid, gid_t group) {
    const passwd* pw = ::getpwuid(uid);
    if (pw == nullptr || pw->pw_name == nullptr) {
        return false;
    }
    if (pw->pw_gid == group) {
        return true;
    }
    int count = 64;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<gid_t> groups(static_cast<std::size_t>(count));
        if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) >= 0) {
            groups.resize(static_cast<std::size_t>(count));
            return std::find(groups.begin(), groups.end(), group) != groups.end();
        }
        // count now holds the number needed
    }
    return false;
}

bool TrustedOwner(uid_t owner, const SocketAccess& served) {
    return owner == 0 || owner == ::geteuid() || (served.user && owner == *served.user) ||
           (served.group && InGroup(owner, *served.group));
}

// Opens every folder of the canonical path `folder` from the root down without following links, so that
// the folders examined are the ones the file is opened in. Fills `chain` root first and returns the last.
UniqueFd OpenFolderChain(const std::string& folder, std::vector<Folder>& chain, std::string& error) {
    UniqueFd dir(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    std::string path = "/";
    for (std::size_t pos = 0;;) {
        Folder f;
        f.path = path;
        if (!dir || ::fstat(dir.Get(), &f.st) != 0) {
            error = "cannot examine the folder " + path + ": " + std::strerror(errno);
            return {};
        }
        chain.push_back(f);
        while (pos < folder.size() && folder[pos] == '/') {
            ++pos;
        }
        if (pos >= folder.size()) {
            return dir;
        }
        const std::size_t end = std::min(folder.find('/', pos), folder.size());
        const std::string name = folder.substr(pos, end - pos);
        pos = end;
        path += (path.size() > 1 ? "/" : "") + name;
        dir = UniqueFd(::openat(dir.Get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
}

std::string CheckFolders(const std::vector<Folder>& chain, uid_t owner) {
    for (const Folder& f : chain) {
        const std::string what = "its folder " + f.path;
        if (f.st.st_uid != 0 && f.st.st_uid != owner) {
            return what + " belongs to uid " + std::to_string(f.st.st_uid) +
                   ", neither root nor the file's owner (uid " + std::to_string(owner) + ")";
        }
        if (std::string why = WhoElseCanWrite(f.st, what, true); !why.empty()) {
            return why;
        }
    }
    return {};
}

bool ReadAll(int fd, std::string& data, std::string& error, const std::string& name) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = "cannot read " + name + ": " + std::strerror(errno);
            return false;
        }
        if (n == 0) {
            return true;
        }
        data.append(buffer, static_cast<std::size_t>(n));
        if (data.size() > kMaxFileBytes) {
            error = name + " is too large";
            return false;
        }
    }
}

// Opens the file and checks it and its folders; the descriptor is invalid with `result.error` set.
UniqueFd OpenChecked(const std::filesystem::path& path, const SocketAccess& served, RecordFileLoad& result) {
    const std::string name = path.string();
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    const std::string fileName = absolute.filename().string();
    if (ec || fileName.empty() || fileName == "." || fileName == "..") {
        result.error = "cannot open " + name + ": not a file name";
        return {};
    }
    // Links among the folders are resolved first; the folders they lead to are the ones checked.
    const std::unique_ptr<char, decltype(&std::free)> real(
        ::realpath(absolute.parent_path().c_str(), nullptr), &std::free);
    if (!real) {
        result.missing = errno == ENOENT;
        result.error = "cannot open " + name + ": " + std::strerror(errno);
        return {};
    }
    std::vector<Folder> chain;
    const UniqueFd dir = OpenFolderChain(real.get(), chain, result.error);
    if (!dir) {
        return {};
    }
    UniqueFd fd(
        ::openat(dir.Get(), fileName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        result.missing = errno == ENOENT;
        result.error = errno == ELOOP ? "refusing " + name + ": it is a symbolic link; give the file itself"
                                      : "cannot open " + name + ": " + std::strerror(errno);
        return {};
    }
    struct stat st {};
    std::string why;
    if (::fstat(fd.Get(), &st) != 0) {
        result.error = "cannot examine " + name + ": " + std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        result.error = name + " is not a regular file";
    } else if (!TrustedOwner(st.st_uid, served)) {
        result.error = "refusing " + name + ": it belongs to uid " + std::to_string(st.st_uid) +
                       ", whom this daemon does not serve";
    } else if (why = WhoElseCanWrite(st, "it"); !why.empty()) {
        result.error = "refusing " + name + ": " + why;
    } else if (why = CheckFolders(chain, st.st_uid); !why.empty()) {
        result.error = "refusing " + name + ": " + why;
    } else if (static_cast<std::size_t>(st.st_size) > kMaxFileBytes) {
        result.error = name + " is too large";
    }
    return result.error.empty() ? std::move(fd) : UniqueFd();
}

}  // namespace

RecordFileLoad LoadRecordFile(const std::filesystem::path& path, const SocketAccess& served) {
    RecordFileLoad result;
    const UniqueFd fd = OpenChecked(path, served, result);
    std::string data;
    if (!fd || !ReadAll(fd.Get(), data, result.error, path.string())) {
        return result;
    }
    RecordFileDecodeResult decoded = DecodeRecordFile(data);
    if (!decoded.ok) {
        result.error = path.string() + " is not a valid record file: " + decoded.error;
        return result;
    }
    result.ok = true;
    result.records = std::move(decoded.records);
    result.data = std::move(data);
    return result;
}

RecordFileLoad LoadHandedRecordFile(int fd, uid_t peer) {
    RecordFileLoad result;
    const std::string refused = "cannot use record file: ";
    struct stat st {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (fd < 0 || flags < 0 || ::fstat(fd, &st) != 0) {
        result.error = refused + "cannot examine the descriptor: " + std::strerror(errno);
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.error = refused + "not a regular file";
    } else if (st.st_uid != peer && st.st_uid != 0) {
        result.error = refused + "owned by uid " + std::to_string(st.st_uid);
    } else if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        result.error = refused + "writable by its group or others (mode " +
                       std::to_string((st.st_mode >> 6) & 7) + std::to_string((st.st_mode >> 3) & 7) +
                       std::to_string(st.st_mode & 7) + ")";
    } else if (static_cast<std::size_t>(st.st_size) > kMaxFileBytes) {
        result.error = refused + "larger than " + std::to_string(kMaxFileBytes) + " bytes";
    } else if ((flags & O_ACCMODE) == O_WRONLY || (flags & O_PATH) != 0) {
        result.error = refused + "the descriptor is not open for reading";
    }
    if (!result.error.empty()) {
        return result;
    }
    // pread: the client's offset (perhaps at the end after its own save) does not matter.
    std::string data;
    char buffer[65536];
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            result.error = refused + "cannot read it: " + std::strerror(errno);
            return result;
        }
        if (n == 0) {
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
        offset += n;
        if (data.size() > kMaxFileBytes) {
            result.error = refused + "larger than " + std::to_string(kMaxFileBytes) + " bytes";
            return result;
        }
    }
    RecordFileDecodeResult decoded = DecodeRecordFile(data);
    if (!decoded.ok) {
        result.error = refused + "not a valid record file: " + decoded.error;
        return result;
    }
    result.ok = true;
    result.records = std::move(decoded.records);
    result.data = std::move(data);
    return result;
}

}  // namespace kb::filterd
