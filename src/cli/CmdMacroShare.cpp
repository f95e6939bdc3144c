// kbctl macros export / import: one macro to a sharing file, and the macros of such a file into the
// library.
#include "Cli.h"
#include "ProfileCli.h"
#include "ShareFiles.h"
#include "kb/common/Utf.h"

namespace kbctl {
namespace {

constexpr const char* kUsage =
    "usage: kbctl macros export NAME FILE [--replace]   one macro to a file (--replace overwrites FILE)\n"
    "       kbctl macros import FILE [--replace]        the file's macros into macro.xml; --replace\n"
    "                                                   overwrites macros of the same name";

}  // namespace

int CmdMacroShare(const CliContext& ctx) {
    if (WantsHelp(ctx.args, kUsage)) {
        return 0;
    }
    CheckOptions(ctx.args, {}, {"--replace"});
    const std::vector<std::string> operands = Operands(ctx.args, {"--replace"});
    const bool replace = HasFlag(ctx.args, "--replace");
    const bool exporting = operands[0] == "export";
    if (operands.size() != (exporting ? 3u : 2u)) {
        throw UsageError(operands.size() > (exporting ? 3u : 2u)
                             ? "unexpected argument " + operands[exporting ? 3 : 2]
                             : "macros " + operands[0] + " takes " + (exporting ? "NAME and FILE" : "FILE"));
    }
    kb::MacroLibrary library = LoadLibraryForChange(ctx);
    if (exporting) {
        const std::u16string wanted = kb::Utf8ToUtf16(operands[1]);
        for (const kb::MacroGroup& group : library.groups) {
            if (group.name == wanted) {
                WriteShareFile(operands[2], kb::WriteSharedMacro(group), replace);
                PrintJson({{"exported", operands[1]}, {"steps", group.steps.size()}, {"file", operands[2]}});
                return 0;
            }
        }
        throw CliError("there is no macro named \"" + operands[1] + "\"");
    }
    const kb::SharedFile file = ReadShareFile(operands[1]);
    if (file.macros.empty()) {
        throw CliError(operands[1] + " holds no macro (kbctl profile import takes its profile)");
    }
    if (std::string conflict = kb::CheckMacroConflicts(library, file.macros, replace); !conflict.empty()) {
        throw CliError(conflict + "; --replace overwrites it; nothing was imported");
    }
    const std::size_t changed = kb::MergeMacros(library, file.macros);
    if (changed > 0 && !library.Save()) {
        throw CliError("cannot write " + library.Path().string() + ": " + library.LastError());
    }
    Json names = Json::array();
    for (const kb::MacroGroup& group : file.macros) {
        names.push_back(kb::Utf16ToUtf8(group.name));
    }
    PrintJson({{"imported", std::move(names)}, {"changed", changed}});
    return 0;
}

}  // namespace kbctl
