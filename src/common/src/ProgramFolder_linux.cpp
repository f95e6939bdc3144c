#include <system_error>

#include "kb/common/ProgramFolder.h"

namespace kb {

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return std::filesystem::current_path(ec);
    }
    return exe.parent_path();
}

}  // namespace kb
