#include <windows.h>

#include <algorithm>
#include <string>

#include "kb/common/AtomicFile.h"

namespace kb {
namespace {

std::string Describe(const std::string& what, const std::filesystem::path& path, DWORD err) {
    return what + " " + path.string() + ": system error " + std::to_string(err);
}

}  // namespace

FileWriteResult WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
    FileWriteResult result;
    std::filesystem::path temp = target;
    temp += L".tmp" + std::to_wstring(GetCurrentProcessId());
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        result.error = Describe("cannot create a temporary file for", target, GetLastError());
        return result;
    }
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) != 0 && written == chunk;
        done += written;
    }
    ok = ok && FlushFileBuffers(file) != 0;
    const DWORD err = GetLastError();
    CloseHandle(file);
    if (!ok) {
        result.error = Describe("cannot write", target, err);
        DeleteFileW(temp.c_str());
        return result;
    }
    if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        result.error = Describe("cannot replace", target, GetLastError());
        DeleteFileW(temp.c_str());
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace kb
