// kbctl assign / unassign: the assignment dialog's choices from a shell. The record is built by the same
// function the dialog uses, so the same choice writes the same bytes.
#include <filesystem>

#include "Cli.h"
#include "ProfileCli.h"
#include "kb/common/AppConfig.h"
#include "kb/common/Utf.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/keys/KeyTable.h"
#include "kb/macros/MacroLibrary.h"
#include "kb/profiles/Assignment.h"

namespace kbctl {
namespace {

constexpr const char* kAssignUsage =
    "usage: kbctl assign KEY --macro NAME [--times N | --while-held | --toggle]\n"
    "       kbctl assign KEY --key KEY2          send KEY2 instead\n"
    "       kbctl assign KEY --media NAME        a media key of config.xml\n"
    "       kbctl assign KEY --shortcut NAME     a key combination of config.xml\n"
    "KEY and KEY2 are key names as the keyboard picture shows them (A, F1, Pad 7) or key codes (0x1E).\n"
    "A macro plays N times (1 by default), repeats while the key is held, or until it is pressed again.";

constexpr const char* kUnassignUsage = "usage: kbctl unassign KEY";

const std::vector<std::string> kFlags = {"--while-held", "--toggle"};

// The settings folder's records. A file that exists but cannot be read is refused: writing the table
// would replace every assignment in it.
kb::KeyRecordTable LoadTable(const CliContext& ctx) {
    kb::KeyRecordTable table;
    const std::filesystem::path path = ctx.dir / "record.bin";
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    if (!table.LoadRecords(path) && exists) {
        throw CliError("cannot read " + path.string() + " (" + table.LastError() +
                       "); writing it would replace every assignment in it, so nothing was written");
    }
    return table;
}

std::optional<int32_t> IndexByName(const std::vector<std::u16string>& names, const std::string& name) {
    const std::u16string wanted = kb::Utf8ToUtf16(name);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == wanted) {
            return static_cast<int32_t>(i);
        }
    }
    return std::nullopt;
}

std::string NameList(const std::vector<std::u16string>& names) {
    std::string list;
    for (const std::u16string& n : names) {
        list += (list.empty() ? "" : ", ") + kb::Utf16ToUtf8(n);
    }
    return list.empty() ? "none" : list;
}

Json StepsJson(const std::vector<kb::MacroStep>& steps) {
    Json out = Json::array();
    for (const kb::MacroStep& s : steps) {
        out.push_back({{"code", s.code}, {"state", s.state}, {"delay", s.delay}});
    }
    return out;
}

}  // namespace

int CmdAssign(const CliContext& ctx) {
    if (WantsHelp(ctx.args, kAssignUsage)) {
        return 0;
    }
    CheckOptions(ctx.args, {"--macro", "--times", "--key", "--media", "--shortcut"}, kFlags);
    const std::vector<std::string> operands = Operands(ctx.args, kFlags);
    if (operands.size() != 1) {
        throw UsageError(operands.empty() ? "which key?" : "unexpected argument " + operands[1]);
    }
    const std::string* macro = FindOption(ctx.args, "--macro");
    const std::string* key = FindOption(ctx.args, "--key");
    const std::string* media = FindOption(ctx.args, "--media");
    const std::string* shortcut = FindOption(ctx.args, "--shortcut");
    if ((macro != nullptr) + (key != nullptr) + (media != nullptr) + (shortcut != nullptr) != 1) {
        throw UsageError("give one of --macro, --key, --media or --shortcut");
    }
    const std::string* times = FindOption(ctx.args, "--times");
    const bool whileHeld = HasFlag(ctx.args, "--while-held");
    const bool toggle = HasFlag(ctx.args, "--toggle");
    if ((times != nullptr) + whileHeld + toggle > 1) {
        throw UsageError("give at most one of --times, --while-held or --toggle");
    }
    if (macro == nullptr && (times != nullptr || whileHeld || toggle)) {
        throw UsageError("--times, --while-held and --toggle go with --macro");
    }

    (void)OpenStore(ctx);  // finishes a switch a killed process left before the records are read
    const kb::PictureKeys picture = LoadPictureKeys(ctx);
    const ResolvedKey source = ResolveKey(operands[0], picture, "KEY");
    kb::AppConfig config;
    kb::MacroLibrary library;
    kb::AssignmentChoice choice;
    if (macro != nullptr) {
        library.Load(ctx.dir / "macro.xml");
        std::vector<std::u16string> names;
        for (const kb::MacroGroup& g : library.groups) {
            names.push_back(g.name);
        }
        const std::optional<int32_t> group = IndexByName(names, *macro);
        if (!group) {
            throw CliError("there is no macro named \"" + *macro + "\" (macros: " + NameList(names) + ")");
        }
        choice.type = kb::kKindMacro;
        choice.group = *group;
        choice.play = whileHeld ? kb::kPlayWhileHeld : toggle ? kb::kPlayToggle : kb::kPlayTimes;
        choice.repeat = 1;
        if (times != nullptr) {
            const int64_t n = ParseIntArg(*times, "--times");
            if (n < 1 || n > INT32_MAX) {
                throw CliError("--times must be 1 or more, not " + *times);
            }
            choice.repeat = static_cast<int32_t>(n);
        }
    } else if (key != nullptr) {
        choice.type = kb::kKindSingleKey;
        choice.skcode = static_cast<int32_t>(ResolveKey(*key, picture, "--key").code);
    } else {
        if (!config.Load(ctx.ConfigFile())) {
            throw CliError("cannot read " + ctx.ConfigFile().string() +
                           ": it lists the media keys and shortcuts");
        }
        std::vector<std::u16string> names;
        if (media != nullptr) {
            for (const kb::MediaKeyItem& item : config.MediaKeys()) {
                names.push_back(item.name);
            }
        } else {
            for (const kb::FunctionKeyItem& item : config.FunctionKeys()) {
                names.push_back(item.name);
            }
        }
        const std::string& wanted = media != nullptr ? *media : *shortcut;
        const std::optional<int32_t> index = IndexByName(names, wanted);
        if (!index) {
            throw CliError(std::string("there is no ") + (media != nullptr ? "media key" : "shortcut") +
                           " named \"" + wanted + "\" in " + ctx.ConfigFile().string() + " (" +
                           NameList(names) + ")");
        }
        choice.type = media != nullptr ? kb::kKindMediaKey : kb::kKindFunctionKey;
        (media != nullptr ? choice.media : choice.function) = *index;
    }

    const kb::PictureKeyName pictureName = [&](uint32_t code) { return picture.NameOf(code); };
    const std::optional<kb::KeyRecord> record =
        kb::BuildAssignmentRecord(source.code, source.name, choice, library, config, pictureName);
    if (!record) {
        throw CliError("the shortcut has no keys in " + ctx.ConfigFile().string() + "; nothing was written");
    }
    if (std::string refusal = kb::DescribeRecordRefusal(*record); !refusal.empty()) {
        throw CliError(refusal + "; nothing was written");
    }
    kb::KeyRecordTable table = LoadTable(ctx);
    const kb::SetRecordResult set = table.SetRecord(*record);
    if (set == kb::SetRecordResult::Replaced ? !table.SaveRecords() : set != kb::SetRecordResult::Appended) {
        throw CliError("cannot write " + table.Path().string() + ": " + table.LastError());
    }
    Json out = {{"key", record->code},
                {"name", kb::Utf16ToUtf8(record->keyName)},
                {"assigned", kb::Utf16ToUtf8(record->assignedName)},
                {"kind", record->kind},
                {"mode", record->mode},
                {"parameter", record->parameter},
                {"steps", StepsJson(record->steps)}};
    AddReload(out, ReloadFilter());
    PrintJson(out);
    return 0;
}

int CmdUnassign(const CliContext& ctx) {
    if (WantsHelp(ctx.args, kUnassignUsage)) {
        return 0;
    }
    CheckOptions(ctx.args, {}, {});
    if (ctx.args.size() != 1) {
        throw UsageError(ctx.args.empty() ? "which key?" : "unexpected argument " + ctx.args[1]);
    }
    (void)OpenStore(ctx);
    const ResolvedKey source = ResolveKey(ctx.args[0], LoadPictureKeys(ctx), "KEY");
    kb::KeyRecordTable table = LoadTable(ctx);
    const bool removed = table.RemoveRecord(source.code);
    // As the dialog's delete: the file is written and the filter told also when the key had nothing.
    if (!table.SaveRecords()) {
        throw CliError("cannot write " + table.Path().string() + ": " + table.LastError());
    }
    Json out = {{"key", source.code}, {"name", kb::Utf16ToUtf8(source.name)}, {"removed", removed}};
    AddReload(out, ReloadFilter());
    PrintJson(out);
    return 0;
}

}  // namespace kbctl
