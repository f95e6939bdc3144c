#include <windows.h>

#include <vector>

#include "kb/common/ProgramFolder.h"

namespace kb {

std::filesystem::path ProgramFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return std::filesystem::current_path();
        }
        if (n < buffer.size()) {
            return std::filesystem::path(std::wstring(buffer.data(), n)).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace kb
