#include "ShareFiles.h"

#include <filesystem>

#include "kb/common/AtomicFile.h"

namespace kbctl {

kb::SharedFile ReadShareFile(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        throw CliError(path + " does not exist");
    }
    if (status.type() != std::filesystem::file_type::regular) {
        throw CliError(path + " is not a regular file");
    }
    const kb::FileReadResult read = kb::ReadWholeFile(path, kb::kMaxShareFileBytes);
    if (!read.ok) {
        throw CliError(read.error);
    }
    kb::SharedFileReadResult parsed = kb::ReadSharedFile(read.bytes);
    if (!parsed.ok) {
        throw CliError(path + ": " + parsed.error + "; nothing was imported");
    }
    return std::move(parsed.file);
}

void WriteShareFile(const std::string& path, const std::string& text, bool replace) {
    std::error_code ec;
    if (!replace &&
        std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found) {
        throw CliError(path + " exists already; --replace overwrites it");
    }
    const kb::FileWriteResult written = kb::WriteFileAtomically(path, text);
    if (!written.ok) {
        throw CliError(written.error);
    }
}

kb::MacroLibrary LoadLibraryForChange(const CliContext& ctx) {
    kb::MacroLibrary library;
    const std::filesystem::path path = ctx.dir / "macro.xml";
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    if (!library.Load(path) && exists) {
        throw CliError("cannot read " + path.string() + ": it is not well-formed XML; nothing was changed");
    }
    return library;
}

}  // namespace kbctl
