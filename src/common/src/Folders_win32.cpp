#include <cstdlib>
#include <system_error>

#include "FolderSystem.h"
#include "kb/common/ProgramFolder.h"

namespace kb::folder_system {

// Windows keeps the program folder layout: the package and config.xml beside the program.
FolderInputs InstallationInputs() {
    FolderInputs in;
    in.exeFolder = ProgramFolder();
    in.systemConfig = in.exeFolder / "config.xml";
    in.systemPackage = in.exeFolder / "uires";
    return in;
}

// A copy without "config.xml" keeps its written files under %APPDATA% (the resolver adds "kbstudio").
void AddUserEnvironment(FolderInputs& in) {
    if (const char* appData = std::getenv("APPDATA")) {
        in.xdgConfigHome = std::string(appData);
    }
}

bool MakePrivateFolder(const std::filesystem::path& folder, std::string& error) {
    std::error_code ec;
    if (std::filesystem::create_directory(folder, ec) || std::filesystem::is_directory(folder, ec)) {
        return true;
    }
    error = "cannot create the settings folder " + folder.string();
    return false;
}

bool CheckDataFolder(const std::filesystem::path& folder, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        error = "cannot create the settings folder " + folder.string();
        return false;
    }
    return true;
}

}  // namespace kb::folder_system
