#include "kb/common/ProgramFolder.h"

namespace kb {

std::filesystem::path SettingsPath(const std::filesystem::path& folder, std::string_view fileName) {
    return folder / std::filesystem::path(fileName);
}

}  // namespace kb
