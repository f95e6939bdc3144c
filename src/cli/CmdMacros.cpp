#include "Cli.h"
#include "kb/common/Utf.h"
#include "kb/macros/MacroLibrary.h"

namespace kbctl {

int CmdMacros(const CliContext& ctx) {
    if (!ctx.args.empty() && (ctx.args[0] == "export" || ctx.args[0] == "import")) {
        return CmdMacroShare(ctx);
    }
    // The command has no options: an argument such as "--dir X" after the command name is refused rather
    // than skipped, so that it cannot silently show the default folder's file instead.
    for (const std::string& arg : ctx.args) {
        if (arg.rfind("--", 0) == 0) {
            throw CliError("unknown option " + arg + " (usage: kbctl [--dir DIR] macros [FILE])");
        }
    }
    if (ctx.args.size() > 1) {
        throw CliError("takes at most one argument, the macro file");
    }
    const std::filesystem::path path =
        ctx.args.empty() ? ctx.dir / "macro.xml" : std::filesystem::path(ctx.args[0]);
    kb::MacroLibrary library;
    if (!library.Load(path)) {
        throw CliError("cannot read " + path.string() + ": the file is missing or not well-formed XML");
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
