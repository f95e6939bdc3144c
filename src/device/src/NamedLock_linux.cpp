#include "kb/device/NamedLock.h"

#include "kb/common/UniqueFd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

namespace kb {
namespace {

// The folder for lock files: private to the user, so another user can neither block nor spoof the lock.
std::string LockFolder() {
    std::string base;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/') {
        base = std::string(runtime) + "/kbstudio";
    } else {
        base = "/tmp/kbstudio-" + std::to_string(getuid());
    }
    if (mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat info {};
    if (lstat(base.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
        (info.st_mode & 0022) != 0) {
        return {};
    }
    return base;
}

// "HidDevice::Write" -> "HidDevice__Write.lock": only characters that are safe in a file name.
std::string LockFileName(const std::string& name) {
    std::string file;
    for (char c : name) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '.';
        file.push_back(safe ? c : '_');
    }
    return file + ".lock";
}

}  // namespace

struct NamedLock::Impl {
    std::recursive_mutex mutex;
    int depth = 0;  // guarded by mutex
    UniqueFd fd;    // guarded by mutex; opened on first lock
    bool fileTried = false;
};

NamedLock::NamedLock(std::string name) : name_(std::move(name)), impl_(std::make_unique<Impl>()) {}

NamedLock::~NamedLock() = default;

void NamedLock::lock() {
    impl_->mutex.lock();
    if (impl_->depth++ > 0) {
        return;
    }
    if (!impl_->fileTried) {
        impl_->fileTried = true;
        const std::string folder = LockFolder();
        if (!folder.empty()) {
            const std::string file = folder + "/" + LockFileName(name_);
            impl_->fd.Reset(open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
        }
    }
    if (impl_->fd) {
        while (flock(impl_->fd.Get(), LOCK_EX) != 0 && errno == EINTR) {
        }
    }
}

void NamedLock::unlock() {
    if (--impl_->depth == 0 && impl_->fd) {
        flock(impl_->fd.Get(), LOCK_UN);
    }
    impl_->mutex.unlock();
}

}  // namespace kb
