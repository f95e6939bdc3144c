#include "Cli.h"
#include "kb/common/Utf.h"
#include "kb/keys/KeyTable.h"

namespace kbctl {

int CmdKey(const CliContext& ctx) {
    RequirePositionals(ctx, 1, "CODE");
    const std::string& text = ctx.positionals[0];
    const int64_t value = ParseIntArg(text, "CODE");
    if (value < 0 || value > 0xFFFFFFFF) {
        throw CliError("CODE must be 0 to 0xFFFFFFFF, not " + text);
    }
    const auto code = static_cast<uint32_t>(value);
    const kb::KeyTableEntry& row = kb::FindKeyByCode(code);
    if (row.name == nullptr || row.name[0] == u'\0') {
        throw CliError("no key has the code " + text);
    }
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
