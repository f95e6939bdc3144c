#include "Cli.h"
#include "kb/common/AtomicFile.h"
#include "kb/common/Utf.h"
#include "kb/keys/KeyRecordTable.h"

namespace kbctl {

int CmdRecords(const CliContext& ctx) {
    const std::vector<std::string> args = Positionals(ctx.args);
    if (args.size() > 1) {
        throw CliError("usage: kbctl records [FILE]");
    }
    const std::filesystem::path file = args.empty() ? ctx.dir / "record.bin" : std::filesystem::path(args[0]);
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
        out.push_back({
            {"key", r.code},
            {"name", kb::Utf16ToUtf8(r.keyName)},
            {"mode", r.mode},
            {"parameter", r.parameter},
            {"steps", std::move(steps)},
        });
    }
    PrintJson(out);
    return 0;
}

}  // namespace kbctl
