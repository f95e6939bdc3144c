// The resolver's Linux rules: installed folders, permissions, users.
#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "kb/common/Folders.h"

namespace fs = std::filesystem;

namespace {

// An installation laid out inside a scratch folder: usr/bin holds the program, etc and usr/share the
// installation's files, home the user's.
class FoldersTest : public ::testing::Test {
  protected:
    FoldersTest() {
        fs::create_directories(root_ / "usr/bin");
        fs::create_directories(root_ / "etc/kbstudio");
        fs::create_directories(root_ / "home");
        kbtest::WriteFile(root_ / "etc/kbstudio/config.xml", "<usb/>");
        in_.exeFolder = root_ / "usr/bin";
        in_.systemConfig = root_ / "etc/kbstudio/config.xml";
        in_.systemPackage = root_ / "usr/share/kbstudio/uires";
        in_.readOnlyRoots = {root_ / "usr", root_ / "etc"};
        in_.home = (root_ / "home").string();
    }
    static mode_t Mode(const fs::path& p) {
        struct stat st {};
        EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
        return st.st_mode & 07777;
    }

    kbtest::ScratchDir scratch_;
    const fs::path root_ = scratch_.path();
    kb::FolderInputs in_;
};

TEST_F(FoldersTest, ConfigBesideTheProgramKeepsEverythingThere) {
    const fs::path exe = root_ / "build/bin";
    fs::create_directories(exe);
    kbtest::WriteFile(exe / "config.xml", "<usb/>");
    in_.exeFolder = exe;
    in_.xdgConfigHome = (root_ / "xdg").string();  // the environment does not matter to a portable copy

    const kb::Folders f = kb::ResolveFolders(in_);
    EXPECT_TRUE(f.portable);
    EXPECT_EQ(f.configFile, exe / "config.xml");
    EXPECT_EQ(f.systemConfig, exe / "config.xml");
    EXPECT_EQ(f.dataFolder, exe);
    EXPECT_EQ(f.packageFolder, exe / "uires");
    EXPECT_EQ(f.error, "");
    std::string error;
    EXPECT_TRUE(kb::PrepareDataFolder(f, error)) << error;
    EXPECT_FALSE(fs::exists(root_ / "xdg"));
}

TEST_F(FoldersTest, InstalledCopyWritesIntoTheUsersConfigFolder) {
    struct Case {
        const char* what;
        std::optional<std::string> xdg;
        fs::path expected;  // relative to the scratch root
    };
    const Case cases[] = {
        {"XDG_CONFIG_HOME unset", std::nullopt, "home/.config/kbstudio"},
        {"XDG_CONFIG_HOME set", (root_ / "xdg").string(), "xdg/kbstudio"},
        {"XDG_CONFIG_HOME empty", std::string(), "home/.config/kbstudio"},
        {"XDG_CONFIG_HOME relative", std::string("rel/xdg"), "home/.config/kbstudio"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        in_.xdgConfigHome = c.xdg;
        const kb::Folders f = kb::ResolveFolders(in_);
        EXPECT_FALSE(f.portable);
        EXPECT_EQ(f.dataFolder, root_ / c.expected);
        EXPECT_EQ(f.configFile, root_ / "etc/kbstudio/config.xml");
        EXPECT_EQ(f.packageFolder, root_ / "usr/share/kbstudio/uires");
        EXPECT_EQ(f.error, "");
    }
}

TEST_F(FoldersTest, UsersOwnConfigIsPreferredToTheInstallations) {
    fs::create_directories(root_ / "home/.config/kbstudio");
    kbtest::WriteFile(root_ / "home/.config/kbstudio/config.xml", "<usb vid='1'/>");
    const kb::Folders f = kb::ResolveFolders(in_);
    EXPECT_EQ(f.configFile, root_ / "home/.config/kbstudio/config.xml");
    EXPECT_EQ(f.systemConfig, root_ / "etc/kbstudio/config.xml");
}

TEST_F(FoldersTest, NoFolderForTheSettingsIsAClearError) {
    struct Case {
        const char* what;
        std::optional<std::string> xdg, home;
        const char* message;
    };
    const Case cases[] = {
        {"no HOME", std::nullopt, std::nullopt, "neither XDG_CONFIG_HOME nor HOME"},
        {"relative HOME", std::nullopt, std::string("home"), "neither XDG_CONFIG_HOME nor HOME"},
        {"HOME below usr", std::nullopt, (root_ / "usr/lib/daemon").string(), "nothing is written under"},
        {"XDG below etc", (root_ / "etc").string(), (root_ / "home").string(), "nothing is written under"},
        {"HOME reaching usr by ..", std::nullopt, (root_ / "home/../usr").string(),
         "nothing is written under"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        in_.xdgConfigHome = c.xdg;
        in_.home = c.home;
        const kb::Folders f = kb::ResolveFolders(in_);
        EXPECT_TRUE(f.dataFolder.empty());
        EXPECT_NE(f.error.find(c.message), std::string::npos) << f.error;
        std::string error;
        EXPECT_FALSE(kb::PrepareDataFolder(f, error));
        EXPECT_EQ(error, f.error);
    }
    EXPECT_FALSE(fs::exists(root_ / "usr/lib"));
    EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "etc/kbstudio"), fs::directory_iterator()), 1);
}

TEST_F(FoldersTest, HomeLinkedIntoUsrIsRefused) {
    fs::create_directories(root_ / "usr/share/someone");
    fs::create_directory_symlink(root_ / "usr/share/someone", root_ / "home/linked");
    in_.home = (root_ / "home/linked").string();
    const kb::Folders f = kb::ResolveFolders(in_);
    EXPECT_TRUE(f.dataFolder.empty());
    EXPECT_NE(f.error.find("nothing is written under"), std::string::npos) << f.error;
}

TEST_F(FoldersTest, PrepareCreatesTheMissingFoldersPrivately) {
    const mode_t saved = ::umask(0);  // the folders are 0700 whatever the umask
    const kb::Folders f = kb::ResolveFolders(in_);
    std::string error;
    const bool ok = kb::PrepareDataFolder(f, error);
    ::umask(saved);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(Mode(root_ / "home/.config"), 0700u);
    EXPECT_EQ(Mode(root_ / "home/.config/kbstudio"), 0700u);

    // An existing folder is left as its owner made it.
    ASSERT_EQ(::chmod((root_ / "home/.config/kbstudio").c_str(), 0750), 0);
    EXPECT_TRUE(kb::PrepareDataFolder(f, error)) << error;
    EXPECT_EQ(Mode(root_ / "home/.config/kbstudio"), 0750u);
}

TEST_F(FoldersTest, PrepareNamesAFolderItCannotCreate) {
    kbtest::WriteFile(root_ / "home/.config", "a file, not a folder");
    const kb::Folders f = kb::ResolveFolders(in_);
    std::string error;
    EXPECT_FALSE(kb::PrepareDataFolder(f, error));
    EXPECT_NE(error.find(root_ / "home/.config"), std::string::npos) << error;
    EXPECT_NE(error.find("cannot create the settings folder"), std::string::npos) << error;

    fs::remove(root_ / "home/.config");
    fs::create_directories(root_ / "home/.config");
    kbtest::WriteFile(root_ / "home/.config/kbstudio", "");
    EXPECT_FALSE(kb::PrepareDataFolder(f, error));
    EXPECT_NE(error.find("kbstudio is not a folder"), std::string::npos) << error;
}

// Permissions do not stop root: as root the check runs in a child that has become an ordinary user.
TEST_F(FoldersTest, PrepareRefusesAFolderItCannotWrite) {
    const fs::path data = root_ / "home/.config/kbstudio";
    fs::create_directories(data);
    ASSERT_EQ(::chmod(data.c_str(), 0500), 0);
    const kb::Folders f = kb::ResolveFolders(in_);

    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::geteuid() == 0) {
            // The scratch folder belongs to root: hand the tree to the ordinary user first.
            for (const auto& e : fs::recursive_directory_iterator(root_)) {
                (void)!::lchown(e.path().c_str(), 65534, 65534);
            }
            (void)!::chown(root_.c_str(), 65534, 65534);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
                ::_exit(3);
            }
        }
        std::string error;
        const bool ok = kb::PrepareDataFolder(f, error);
        (void)!::write(pipeFds[1], error.data(), error.size());
        ::_exit(ok ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string error;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        error.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << error;
    EXPECT_NE(error.find("cannot write into the settings folder " + data.string()), std::string::npos)
        << error;
    ::chmod(data.c_str(), 0700);
}

}  // namespace

#endif
