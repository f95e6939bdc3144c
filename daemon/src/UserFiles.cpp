#include "src/UserFiles.h"

#include "kb/common/Folders.h"
#include "src/Accounts.h"

namespace kb::filterd {

bool FindUserFiles(const std::string& user, std::string& records, std::string& config, std::string& error) {
    const std::optional<UserAccount> account = LookUpUser(user, error);
    if (!account) {
        return false;
    }
    const Folders folders = ResolveFolders(UserFolderInputs(account->home));
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
