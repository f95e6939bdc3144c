#include "kb/common/Folders.h"

#include <system_error>
#include <vector>

#include "FolderSystem.h"

namespace kb {
namespace {

namespace fs = std::filesystem;

bool IsFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// True when `path` is `root` or lies below it, after symbolic links in the existing part are followed.
bool IsWithin(const fs::path& path, const fs::path& root) {
    std::error_code ec;
    fs::path real = fs::weakly_canonical(path, ec);
    if (ec) {
        real = path.lexically_normal();
    }
    fs::path realRoot = fs::weakly_canonical(root, ec);
    if (ec) {
        realRoot = root.lexically_normal();
    }
    auto p = real.begin();
    for (auto r = realRoot.begin(); r != realRoot.end(); ++r, ++p) {
        if (r->empty()) {
            continue;  // a trailing separator
        }
        if (p == real.end() || *p != *r) {
            return false;
        }
    }
    return true;
}

// A base folder from the environment counts only when absolute: a relative one would depend on the
// working directory, which the program changes.
std::optional<fs::path> AbsoluteFolder(const std::optional<std::string>& value) {
    if (!value || value->empty()) {
        return std::nullopt;
    }
    fs::path path(*value);
    if (!path.is_absolute()) {
        return std::nullopt;
    }
    return path;
}

}  // namespace

Folders ResolveFolders(const FolderInputs& in) {
    Folders out;
    if (!in.exeFolder.empty() && IsFile(in.exeFolder / "config.xml")) {
        out.portable = true;
        out.configFile = in.exeFolder / "config.xml";
        out.systemConfig = out.configFile;
        out.dataFolder = in.exeFolder;
        out.packageFolder = in.exeFolder / "uires";
        return out;
    }

    out.packageFolder = in.systemPackage;
    out.systemConfig = in.systemConfig;
    out.configFile = in.systemConfig;
    fs::path base;
    if (const auto xdg = AbsoluteFolder(in.xdgConfigHome)) {
        base = *xdg;
    } else if (const auto home = AbsoluteFolder(in.home)) {
        base = *home / ".config";
    } else {
        out.error =
            "cannot tell where to keep the settings: neither XDG_CONFIG_HOME nor HOME names an absolute "
            "folder";
        return out;
    }
    const fs::path data = (base / "kbstudio").lexically_normal();
    for (const fs::path& root : in.readOnlyRoots) {
        if (IsWithin(data, root)) {
            out.error = "will not keep the settings in " + data.string() + ": nothing is written under " +
                        root.string() + " (set XDG_CONFIG_HOME or HOME to a folder of your own)";
            return out;
        }
    }
    out.dataFolder = data;
    if (IsFile(data / "config.xml")) {
        out.configFile = data / "config.xml";
    }
    return out;
}

FolderInputs CurrentFolderInputs() {
    FolderInputs in = folder_system::InstallationInputs();
    folder_system::AddUserEnvironment(in);
    return in;
}

FolderInputs UserFolderInputs(const fs::path& home) {
    FolderInputs in = folder_system::InstallationInputs();
    in.home = home.string();
    return in;
}

bool PrepareDataFolder(const Folders& folders, std::string& error) {
    if (folders.dataFolder.empty()) {
        error = folders.error.empty() ? "no folder for the settings" : folders.error;
        return false;
    }
    const fs::path& data = folders.dataFolder;
    if (!folders.portable) {
        // Each missing folder from the top down, so that the new ones are private too.
        std::vector<fs::path> missing;
        std::error_code ec;
        for (fs::path p = data; !p.empty() && !fs::exists(fs::symlink_status(p, ec)); p = p.parent_path()) {
            missing.push_back(p);
            if (p == p.root_path()) {
                break;
            }
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            if (!folder_system::MakePrivateFolder(*it, error)) {
                return false;
            }
        }
    }
    return folder_system::CheckDataFolder(data, error);
}

}  // namespace kb
