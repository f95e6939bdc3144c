#include "Cli.h"
#include "kb/common/Utf.h"
#include "kb/keys/KeyTable.h"

namespace kbctl {

int CmdKey(const CliContext& ctx) {
    const std::vector<std::string> args = Positionals(ctx.args);
    if (args.size() != 1) {
        throw CliError("usage: kbctl key CODE");
    }
    const int64_t value = ParseIntArg(args[0], "CODE");
    if (value < 0 || value > 0xFFFFFFFF) {
        throw CliError("CODE must be 0 to 0xFFFFFFFF, not " + args[0]);
    }
    const auto code = static_cast<uint32_t>(value);
    const kb::KeyTableEntry& row = kb::FindKeyByCode(code);
    PrintJson({
        {"code", code},
        {"name", kb::Utf16ToUtf8(row.name)},
        {"extended", row.extended},
        {"vk", row.virtualKey},
        {"scan", row.scanCode},
        {"usage", row.hidUsage},
    });
    return 0;
}

}  // namespace kbctl
