#include "src/StateFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "kb/common/UniqueFd.h"

namespace kb::filterd {

std::filesystem::path StateFolderPath(const std::string& configured) {
    if (!configured.empty()) {
        return configured;
    }
    const char* env = std::getenv(kStateDirEnv);
    if (env != nullptr && env[0] != '\0' && env[0] != ':') {
        const std::string_view list(env);
        return std::string(list.substr(0, list.find(':')));
    }
    return kDefaultStateDir;
}

bool PrepareStateFolder(const std::filesystem::path& folder, std::string& error) {
    const std::string name = "the state folder " + folder.string();
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        if (errno != ENOENT || ::mkdir(folder.c_str(), 0700) != 0 || ::lstat(folder.c_str(), &st) != 0) {
            error = "cannot create " + name + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        error = name + " is not a folder owned by this daemon's user";
        return false;
    }
    if ((st.st_mode & 07777) != 0700 && ::chmod(folder.c_str(), 0700) != 0) {
        error = "cannot set the permissions of " + name + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool SaveStateCopy(const std::filesystem::path& folder, std::string_view bytes, std::string& error) {
    const std::string where = "cannot keep a copy in " + folder.string() + ": ";
    const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir) {
        error = where + std::strerror(errno);
        return false;
    }
    // One daemon per folder and nobody else may enter it: a fixed temporary name is enough, and one
    // left by a crash is replaced.
    const std::string temp = std::string(".") + kStateCopyName + ".new";
    ::unlinkat(dir.Get(), temp.c_str(), 0);
    UniqueFd file(
        ::openat(dir.Get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    bool ok = static_cast<bool>(file);
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(file.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ::fchmod(file.Get(), 0600) == 0 && ::fsync(file.Get()) == 0;
    ok = ok && ::close(file.Release()) == 0;
    ok = ok && ::renameat(dir.Get(), temp.c_str(), dir.Get(), kStateCopyName) == 0;
    if (!ok) {
        error = where + std::strerror(errno != 0 ? errno : EIO);
        ::unlinkat(dir.Get(), temp.c_str(), 0);
        return false;
    }
    ::fsync(dir.Get());
    return true;
}

}  // namespace kb::filterd
