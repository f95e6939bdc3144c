// Profile switches made over and over by a child process that is killed with SIGKILL at random points:
// once the store is opened again, the settings folder must hold one whole profile, the one the marker
// names, and every profile's folder must still hold that profile whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "TestSupport.h"
#include "kb/profiles/ProfileStore.h"

namespace fs = std::filesystem;

namespace {

// Each profile's files; sizes differ so that a torn file could not pass for either.
kb::ProfileFiles Version(char tag) {
    kb::ProfileFiles files;
    for (std::size_t f = 0; f < files.bytes.size(); ++f) {
        files.bytes[f] = std::string(1000 + 3000 * static_cast<std::size_t>(tag - 'A') + f, tag);
    }
    return files;
}

kb::ProfileFiles ReadSet(const fs::path& dir) {
    kb::ProfileFiles files;
    for (std::size_t f = 0; f < kb::kProfileFiles.size(); ++f) {
        if (fs::exists(dir / kb::kProfileFiles[f])) {
            files.bytes[f] = kbtest::ReadFile(dir / kb::kProfileFiles[f]);
        }
    }
    return files;
}

[[noreturn]] void SwitchForEver(const fs::path& dir, int progress) {
    kb::ProfileStore store(dir);
    if (!store.Open()) {
        _exit(3);
    }
    for (int round = 0;; ++round) {
        if (!store.Switch(round % 2 == 0 ? "B" : "A")) {
            _exit(4);
        }
        const char tick = 1;
        if (::write(progress, &tick, 1) != 1) {
            _exit(5);
        }
    }
}

// A folder in memory where there is one: what a kill leaves does not depend on the disk, and switches there
// are quick enough to strike at every point of one.
class KillDir {
  public:
    KillDir() {
        std::error_code ec;
        const fs::path base =
            fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        path_ = base / ("kbtest_switch_" + std::to_string(::getpid()));
        fs::remove_all(path_, ec);
        fs::create_directories(path_);
    }
    ~KillDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    KillDir(const KillDir&) = delete;
    KillDir& operator=(const KillDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const char* name) const { return path_ / name; }

  private:
    fs::path path_;
};

TEST(SwitchUnderSigkill, OneWholeProfileIsActiveAfterEveryKill) {
    KillDir dir;
    {
        const kb::ProfileFiles a = Version('A');
        for (std::size_t f = 0; f < kb::kProfileFiles.size(); ++f) {
            kbtest::WriteFile(dir / kb::kProfileFiles[f], *a.bytes[f]);
        }
        kb::ProfileStore store(dir.path());
        ASSERT_TRUE(store.Open());
        ASSERT_TRUE(store.Rename("Default", "A"));
        ASSERT_TRUE(store.Install("B", Version('B'), false));
    }
    std::mt19937 random(20261210);
    constexpr int kKills = 200;
    int finishedByOpen = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            SwitchForEver(dir.path(), pipeFds[1]);
        }
        ::close(pipeFds[1]);
        const int switches = static_cast<int>(random() % 3);
        char tick = 0;
        for (int r = 0; r < switches; ++r) {
            ASSERT_EQ(::read(pipeFds[0], &tick, 1), 1) << "the switching process stopped";
        }
        ::usleep(static_cast<useconds_t>(random() % 1000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(pipeFds[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the switching process ended by itself: status " << status;

        kb::ProfileStore store(dir.path());
        const kb::ProfileResult opened = store.Open();
        ASSERT_TRUE(opened) << opened.error;
        finishedByOpen += opened.liveChanged ? 1 : 0;
        ASSERT_TRUE(store.Active() == "A" || store.Active() == "B") << store.Active();
        ASSERT_EQ(store.Names(), (std::vector<std::string>{"A", "B"})) << "after kill " << kill;
        ASSERT_EQ(ReadSet(dir.path()), Version(store.Active()[0]))
            << "the settings folder is not profile " << store.Active() << " after kill " << kill;
        ASSERT_EQ(ReadSet(dir / "profiles/A"), Version('A')) << "after kill " << kill;
        ASSERT_EQ(ReadSet(dir / "profiles/B"), Version('B')) << "after kill " << kill;
    }
    // The kills also struck inside switches, not only between them.
    EXPECT_GT(finishedByOpen, 0);
}

}  // namespace
