#include <system_error>

#include "Cli.h"
#include "kb/common/AtomicFile.h"
#include "kb/common/Utf.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/keys/KeyTable.h"

namespace kbctl {

int CmdRecords(const CliContext& ctx) {
    const bool named = !ctx.positionals.empty();
    const std::filesystem::path file =
        named ? std::filesystem::path(ctx.positionals[0]) : ctx.dir / "record.bin";
    if (!named) {
        RequireFolder(ctx);
    }
    std::error_code ec;
    if (!named && !std::filesystem::exists(std::filesystem::symlink_status(file, ec))) {
        // A fresh set-up: nothing assigned yet.
        PrintJson(Json::array());
        return 0;
    }
    const kb::FileReadResult read = kb::ReadWholeFile(file);
    if (!read.ok) {
        throw CliError(read.error);
    }
    const kb::RecordFileDecodeResult decoded = kb::DecodeRecordFile(read.bytes);
    if (!decoded.ok) {
        throw CliError(file.string() + " is not a valid record file: " + decoded.error);
    }
    Json out = Json::array();
    for (const kb::KeyRecord& r : decoded.records) {
        Json steps = Json::array();
        for (const kb::MacroStep& s : r.steps) {
            steps.push_back({
                {"code", s.code},
                {"state", s.state},
                {"delay", s.delay},
                {"name", kb::Utf16ToUtf8(s.name)},
            });
        }
        // A single key's parameter is the key it now types: its name says which.
        Json target = nullptr;
        if (r.mode == 1) {
            target = kb::Utf16ToUtf8(kb::KeyNameForCode(static_cast<uint32_t>(r.parameter)));
        }
        out.push_back({
            {"key", r.code},
            {"name", kb::Utf16ToUtf8(r.keyName)},
            {"mode", r.mode},
            {"parameter", r.parameter},
            {"targetName", std::move(target)},
            {"steps", std::move(steps)},
        });
    }
    PrintJson(out);
    return 0;
}

}  // namespace kbctl
