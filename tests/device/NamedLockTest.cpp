#include "kb/device/NamedLock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kb {
namespace {

// Whether another process could take the lock file now (it opens the file itself, as another program does).
bool OtherProcessCanLock(const std::string& file) {
    const pid_t child = fork();
    if (child == 0) {
        const int fd = open(file.c_str(), O_RDWR);
        _exit(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(NamedLock, HoldsAFileLockInTheRuntimeFolderWhileHeldOnThisThread) {
    const std::filesystem::path runtime =
        std::filesystem::temp_directory_path() / ("kb-namedlock-" + std::to_string(getpid()));
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    NamedLock& lock = NamedLock::Get("HidDevice::Test");
    EXPECT_EQ(&lock, &NamedLock::Get("HidDevice::Test"));
    lock.lock();
    const std::string file = (runtime / "kbstudio" / "HidDevice__Test.lock").string();
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_FALSE(OtherProcessCanLock(file));

    lock.lock();  // recursive on one thread
    lock.unlock();
    EXPECT_FALSE(OtherProcessCanLock(file));
    lock.unlock();
    EXPECT_TRUE(OtherProcessCanLock(file));

    unsetenv("XDG_RUNTIME_DIR");
    std::filesystem::remove_all(runtime);
}

}  // namespace
}  // namespace kb
