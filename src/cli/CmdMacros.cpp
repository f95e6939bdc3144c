#include <system_error>

#include "Cli.h"
#include "kb/common/AtomicFile.h"
#include "kb/common/Utf.h"
#include "kb/macros/MacroLibrary.h"

namespace kbctl {

int CmdMacros(const CliContext& ctx) {
    if (!ctx.positionals.empty() && (ctx.positionals[0] == "export" || ctx.positionals[0] == "import")) {
        return CmdMacroShare(ctx);
    }
    if (ctx.positionals.size() > 1) {
        throw UsageError("unexpected argument " + ctx.positionals[1]);
    }
    const bool named = !ctx.positionals.empty();
    const std::filesystem::path path =
        named ? std::filesystem::path(ctx.positionals[0]) : ctx.dir / "macro.xml";
    if (!named) {
        RequireFolder(ctx);
    }
    kb::MacroLibrary library;
    std::error_code ec;
    const bool exists = std::filesystem::exists(std::filesystem::symlink_status(path, ec));
    // A fresh set-up has no macro.xml yet: the library then holds what the application starts with.
    if ((exists || named) && !library.Load(path)) {
        const kb::LoadStatus& load = library.LastLoad();
        throw CliError(load.Unreadable() ? load.Message()
                                         : "cannot read " + path.string() + ": no such file");
    }
    Json groups = Json::array();
    for (const kb::MacroGroup& group : library.groups) {
        Json steps = Json::array();
        for (const kb::MacroStep& step : group.steps) {
            steps.push_back({{"code", step.code},
                             {"state", step.state},
                             {"delay", step.delay},
                             {"name", kb::Utf16ToUtf8(step.name)}});
        }
        groups.push_back({{"name", kb::Utf16ToUtf8(group.name)}, {"steps", std::move(steps)}});
    }
    PrintJson({{"config",
                {{"type", library.type},
                 {"repeat", library.repeat},
                 {"mode", library.mode},
                 {"delay", library.delay},
                 {"media", library.media},
                 {"function", library.function},
                 {"group", library.group},
                 {"skcode", library.skcode},
                 {"play", library.play}}},
               {"groups", std::move(groups)}});
    return 0;
}

}  // namespace kbctl
