#include "src/UserFiles.h"

#include "kb/common/Folders.h"

namespace kb::filterd {

bool FindUserFiles(const std::string& user, std::string& records, std::string& config, std::string& error) {
    const std::optional<FolderInputs> inputs = UserFolderInputs(user, error);
    if (!inputs) {
        return false;
    }
    const Folders folders = ResolveFolders(*inputs);
    if (records.empty()) {
        if (folders.dataFolder.empty()) {
            error = "no record file for user " + user + ": " + folders.error;
            return false;
        }
        records = (folders.dataFolder / "record.bin").string();
    }
    if (config.empty()) {
        config = folders.systemConfig.string();
    }
    return true;
}

}  // namespace kb::filterd
