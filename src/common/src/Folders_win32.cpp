#include <cstdlib>
#include <system_error>

#include "kb/common/Folders.h"
#include "kb/common/ProgramFolder.h"

namespace kb {

// Windows keeps the program folder layout; a copy without "config.xml" keeps its written files under
// %APPDATA% (the resolver adds "kbstudio"), its package and config.xml beside the program.
FolderInputs CurrentFolderInputs() {
    FolderInputs in;
    in.exeFolder = ProgramFolder();
    in.systemConfig = in.exeFolder / "config.xml";
    in.systemPackage = in.exeFolder / "uires";
    if (const char* appData = std::getenv("APPDATA")) {
        in.xdgConfigHome = std::string(appData);
    }
    return in;
}

FolderInputs UserFolderInputs(const std::filesystem::path& home) {
    FolderInputs in = CurrentFolderInputs();
    in.xdgConfigHome.reset();
    in.home = home.string();
    return in;
}

bool PrepareDataFolder(const Folders& folders, std::string& error) {
    if (folders.dataFolder.empty()) {
        error = folders.error.empty() ? "no folder for the settings" : folders.error;
        return false;
    }
    std::error_code ec;
    if (!folders.portable) {
        std::filesystem::create_directories(folders.dataFolder, ec);
    }
    if (!std::filesystem::is_directory(folders.dataFolder, ec)) {
        error = "cannot create the settings folder " + folders.dataFolder.string();
        return false;
    }
    return true;
}

}  // namespace kb
