#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FolderSystem.h"
#include "kb/common/ProgramFolder.h"

// Set by the build from the installation's folders (GNUInstallDirs).
#ifndef KB_INSTALL_SYSCONFDIR
#define KB_INSTALL_SYSCONFDIR "/etc"
#endif
#ifndef KB_INSTALL_DATADIR
#define KB_INSTALL_DATADIR "/usr/share"
#endif

namespace kb::folder_system {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> Env(const char* name) {
    if (const char* value = std::getenv(name)) {
        return std::string(value);
    }
    return std::nullopt;
}

std::optional<std::string> PasswdHome(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr) {
        return std::nullopt;
    }
    return std::string(found->pw_dir);
}

}  // namespace

FolderInputs InstallationInputs() {
    FolderInputs in;
    in.exeFolder = ProgramFolder();
    in.systemConfig = fs::path(KB_INSTALL_SYSCONFDIR) / "kbstudio" / "config.xml";
    in.systemPackage = fs::path(KB_INSTALL_DATADIR) / "kbstudio" / "uires";
    in.readOnlyRoots = {"/usr", "/etc", KB_INSTALL_SYSCONFDIR, KB_INSTALL_DATADIR};
    return in;
}

void AddUserEnvironment(FolderInputs& in) {
    in.xdgConfigHome = Env("XDG_CONFIG_HOME");
    in.home = Env("HOME");
    if (!in.home || in.home->empty()) {
        in.home = PasswdHome(::geteuid());
    }
}

bool MakePrivateFolder(const fs::path& folder, std::string& error) {
    // mkdir with mode 0700 whatever the umask.
    if (::mkdir(folder.c_str(), 0700) == 0) {
        if (::chmod(folder.c_str(), 0700) != 0) {
            error = "cannot set the permissions of " + folder.string() + ": " + std::strerror(errno);
            return false;
        }
        return true;
    }
    const int err = errno;
    struct stat st {};
    if (err == EEXIST && ::stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return true;
        }
        error =
            "cannot create the settings folder " + folder.string() + ": a file of that name is in the way";
        return false;
    }
    error = "cannot create the settings folder " + folder.string() + ": " + std::strerror(err);
    return false;
}

bool CheckDataFolder(const fs::path& folder, std::string& error) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        error = "the settings folder " + folder.string() + " is missing: " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = "the settings folder " + folder.string() + " is not a folder";
        return false;
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        error = "cannot write into the settings folder " + folder.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace kb::folder_system
