#include "CommandTable.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>
#include <sstream>

namespace kbctl {
namespace {

constexpr std::string_view kReportKinds = "effect effect-raw side version reset";

// A new command is one entry here (its options included) and its function declared in Cli.h; the
// parser, `--help`, `kbctl help` and the bash completion then know it. kbctl(1) needs its own entry.
const std::vector<CommandSpec> kCommands = {
    {.name = "paths",
     .run = nullptr,
     .folder = Folder::None,
     .usage = "paths",
     .summary = "where the settings, the written files and the UI package are",
     .details = "Prints how the folders were chosen (\"mode\": portable, installed or --dir) and where each\n"
                "file is. Exit status 1 when there is no folder for the written files (\"error\" says why).",
     .options = {}},
    {.name = "config",
     .run = CmdConfig,
     .folder = Folder::Reads,
     .usage = "config",
     .summary = "the installation settings (config.xml)",
     .details = "Without a readable config.xml it prints the defaults the application then runs with and a\n"
                "one-line warning on stderr (exit status 0).",
     .options = {}},
    {.name = "lighting",
     .run = CmdLighting,
     .folder = Folder::Writes,
     .usage = "lighting",
     .summary = "the lighting and side-light settings (ledeffect.xml, sidemodel.xml)",
     .details = "A missing file is created with the factory values. A damaged one is kept aside as\n"
                "NAME.unreadable, replaced by the factory values, and a line on stderr says so.",
     .options = {}},
    {.name = "records",
     .run = CmdRecords,
     .folder = Folder::Reads,
     .usage = "records [FILE]",
     .summary = "the key assignments (record.bin)",
     .details = "FILE defaults to record.bin of the settings folder; when that does not exist yet, the\n"
                "result is an empty list.",
     .options = {},
     .maxPositionals = 1,
     .positionals = {Completion::AnyFile()}},
    {.name = "macros",
     .run = CmdMacros,
     .folder = Folder::Reads,
     .usage = "macros [FILE]\n"
              "macros export NAME FILE [--replace]\n"
              "macros import FILE [--replace]",
     .summary = "the macro groups and the dialog's remembered choices (macro.xml); share one macro",
     .details = "FILE defaults to macro.xml of the settings folder; when that does not exist yet, the\n"
                "result holds the initial choices and no groups. export writes one macro group to a\n"
                "sharing file; import adds the file's macro as a group. --replace overwrites an existing\n"
                "file (export) or a group of the same name (import).",
     .options = {{.name = "--replace", .value = "", .help = "overwrite what has the same name",
                  .kinds = "export import"}},
     .maxPositionals = 3,
     .positionals = {Completion::AnyFile()}},
    {.name = "key",
     .run = CmdKey,
     .folder = Folder::None,
     .usage = "key CODE",
     .summary = "one row of the key table",
     .details = "CODE is a key code, decimal or 0x-hex; a code the table does not know is an error.",
     .options = {},
     .maxPositionals = 1},
    {.name = "report",
     .run = CmdReport,
     .folder = Folder::None,
     .usage = "report effect N [--brightness B] [--speed S] [--selection X]\n"
              "report effect-raw N [--brightness B] [--speed S] [--direction D] [--selection X]\n"
              "report side MODE [--level L]\n"
              "report version\n"
              "report reset",
     .summary = "the 8 bytes of a keyboard report, without sending it",
     .details = "N is an effect 0-19, MODE a side mode 0-11; the other values of effect and effect-raw are\n"
                "bytes 0-255. Missing values take the factory settings. The bytes are printed in hex on\n"
                "one line.",
     .options =
         {{.name = "--brightness", .value = "B", .help = "brightness byte", .kinds = "effect effect-raw"},
          {.name = "--speed", .value = "S", .help = "speed byte", .kinds = "effect effect-raw"},
          {.name = "--direction",
           .value = "D",
           .help = "direction byte (effect-raw only)",
           .kinds = "effect-raw",
           .alias = "--deriction"},
          {.name = "--selection", .value = "X", .help = "selection byte", .kinds = "effect effect-raw"},
          {.name = "--level", .value = "L", .help = "side level 0-7 (side only)", .kinds = "side"}},
     .maxPositionals = 2,
     .positionals = {Completion::Of(kReportKinds)}},
    {.name = "devices",
     .run = CmdDevices,
     .folder = Folder::Reads,
     .usage = "devices",
     .summary = "the keyboard's matching HID interfaces",
     .details = "Lists the interfaces that match the keyboard named in config.xml; none is an empty list.",
     .options = {}},
    {.name = "version",
     .run = CmdVersion,
     .folder = Folder::Reads,
     .usage = "version",
     .summary = "the keyboard's firmware version",
     .details = "Asks the keyboard. Without a keyboard, or without permission on its node, it fails.",
     .options = {}},
    {.name = "effect",
     .run = CmdEffect,
     .folder = Folder::Writes,
     .usage = "effect N [--brightness B] [--speed S] [--selection X]",
     .summary = "choose, save and send a lighting effect",
     .details = "N is an effect 0-19. Effect 0 stores B; effect 1 stores B and X; effects 2-19 store S\n"
                "and B. The choice is saved in ledeffect.xml, then sent to the keyboard.",
     .options = {{.name = "--brightness", .value = "B", .help = "brightness 0-5"},
                 {.name = "--speed", .value = "S", .help = "speed 0-2 (effects 2-19)"},
                 {.name = "--selection", .value = "X", .help = "1 left, 2 center, 3 right (effect 1)"}},
     .maxPositionals = 1},
    {.name = "side",
     .run = CmdSide,
     .folder = Folder::Writes,
     .usage = "side MODE [--level L]",
     .summary = "choose, save and send a side-light mode",
     .details = "MODE is a side mode 0-11. The choice is saved in sidemodel.xml, then sent to the keyboard.",
     .options = {{.name = "--level",
                  .value = "L",
                  .help = "0-7: the speed for modes 0-2, the brightness for 3-11"}},
     .maxPositionals = 1},
    {.name = "filter",
     .run = CmdFilter,
     .folder = Folder::Reads,
     .usage = "filter mode VALUE\n"
              "filter reload\n"
              "filter monitor [--count N]",
     .summary = "requests to the keyboard filter (kbfilterd)",
     .details = "mode sets the filter's mode: 1 normal, 0 no remapping, 0xFFFFFFFF capture. reload makes it\n"
                "read record.bin again. monitor prints each key press and release until interrupted.",
     .options =
         {{.name = "--count", .value = "N", .help = "stop after N events (monitor)", .kinds = "monitor"}},
     .maxPositionals = 2,
     .positionals = {Completion::Of("mode reload monitor")}},
    {.name = "profile",
     .run = CmdProfile,
     .folder = Folder::Writes,
     .usage = "profile list\n"
              "profile use NAME\n"
              "profile new NAME\n"
              "profile rename OLD NEW\n"
              "profile delete NAME\n"
              "profile export NAME FILE [--replace]\n"
              "profile import FILE [--name NAME] [--replace]",
     .summary = "named sets of assignments and lighting",
     .details = "use makes NAME the active profile: its files, the filter and the keyboard's lighting. new\n"
                "copies the active profile. delete removes any profile but the active one. export writes\n"
                "the profile and the macros it plays to one file; import reads such a file.",
     .options = {{.name = "--name", .value = "NAME", .help = "the imported profile's name", .kinds = "import"},
                 {.name = "--replace",
                  .value = "",
                  .help = "overwrite a file (export) or a profile or macro of the same name (import)",
                  .kinds = "export import"}},
     .maxPositionals = 3,
     .positionals = {Completion::Of("list use new rename delete export import")}},
    {.name = "assign",
     .run = CmdAssign,
     .folder = Folder::Writes,
     .usage = "assign KEY --macro NAME [--times N | --while-held | --toggle]\n"
              "assign KEY --key KEY2\n"
              "assign KEY --media NAME\n"
              "assign KEY --shortcut NAME",
     .summary = "assign a macro, a key, a media key or a shortcut to a key, as the assignment dialog does",
     .details = "KEY and KEY2 are key names as the keyboard picture shows them (A, F1, Pad 7) or key codes\n"
                "(0x1E). A macro plays N times (1 by default), repeats while the key is held, or until it\n"
                "is pressed again. record.bin is rewritten and the filter reloads it.",
     .options = {{.name = "--macro", .value = "NAME", .help = "play the macro group NAME"},
                 {.name = "--times", .value = "N", .help = "play the macro N times"},
                 {.name = "--while-held", .value = "", .help = "repeat the macro while the key is held"},
                 {.name = "--toggle", .value = "", .help = "repeat the macro until the key is pressed again"},
                 {.name = "--key", .value = "KEY2", .help = "send KEY2 instead"},
                 {.name = "--media", .value = "NAME", .help = "a media key of config.xml"},
                 {.name = "--shortcut", .value = "NAME", .help = "a key combination of config.xml"}},
     .maxPositionals = 1},
    {.name = "unassign",
     .run = CmdUnassign,
     .folder = Folder::Writes,
     .usage = "unassign KEY",
     .summary = "give a key back its own meaning",
     .details = "record.bin is rewritten and the filter reloads it.",
     .options = {},
     .maxPositionals = 1},
    {.name = "help",
     .run = nullptr,
     .folder = Folder::None,
     .usage = "help [COMMAND]",
     .summary = "this list, or the help of one command",
     .details = {},
     .options = {},
     .maxPositionals = 1},
};

const std::vector<OptionSpec> kGlobalOptions = {
    {.name = "--dir",
     .value = "DIR",
     .help = "use DIR for config.xml and the written files together",
     .complete = Completion::AnyFolder()},
    {.name = "--verbose",
     .value = {},
     .help = "print the device and filter trace lines on stderr",
     .shortName = "-v"},
    {.name = "--help", .value = {}, .help = "show this help and exit", .shortName = "-h"},
    {.name = "--version", .value = {}, .help = "print the version and exit"},
};

const std::vector<OptionSpec> kCommonOptions = {
    {.name = "--verbose",
     .value = {},
     .help = "print the device and filter trace lines on stderr",
     .shortName = "-v"},
    {.name = "--help", .value = {}, .help = "show this help and exit", .shortName = "-h"},
};

bool HasWord(std::string_view list, std::string_view word) {
    std::istringstream in{std::string(list)};
    std::string w;
    while (in >> w) {
        if (w == word) {
            return true;
        }
    }
    return false;
}

// "-5" and "-0x10" are numbers (refused later with their range), not options.
bool LooksLikeOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' && std::isdigit(static_cast<unsigned char>(arg[1])) == 0;
}

const OptionSpec* MatchOption(const std::vector<OptionSpec>& table, std::string_view typed) {
    for (const OptionSpec& o : table) {
        if (typed == o.name || (!o.shortName.empty() && typed == o.shortName) ||
            (!o.alias.empty() && typed == o.alias)) {
            return &o;
        }
    }
    return nullptr;
}

std::string OptionLabel(const OptionSpec& o) {
    std::string label = o.shortName.empty() ? "    " : std::string(o.shortName) + ", ";
    label += o.name;
    if (!o.value.empty()) {
        label += " " + std::string(o.value);
    }
    return label;
}

void AppendOptions(std::string& out, const std::vector<const OptionSpec*>& options) {
    std::size_t width = 0;
    for (const OptionSpec* o : options) {
        width = std::max(width, OptionLabel(*o).size());
    }
    for (const OptionSpec* o : options) {
        const std::string label = OptionLabel(*o);
        out += "  " + label + std::string(width - label.size() + 3, ' ') + std::string(o->help) + '\n';
    }
}

// Each line of `usage` with "kbctl " (and the first with "usage: ") in front.
std::string UsageLines(std::string_view usage) {
    std::string out;
    std::istringstream in{std::string(usage)};
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        out += (first ? "usage: kbctl " : "       kbctl ") + line + '\n';
        first = false;
    }
    return out;
}

void AddWords(std::vector<std::string>& out, const Completion& c) {
    if (c.kind == Completion::Kind::File) {
        out.emplace_back("@file");
    } else if (c.kind == Completion::Kind::Folder) {
        out.emplace_back("@folder");
    } else if (c.kind == Completion::Kind::Words) {
        std::istringstream in{std::string(c.words)};
        std::string w;
        while (in >> w) {
            out.push_back(w);
        }
    }
}

void AddOptionNames(std::vector<std::string>& out, const std::vector<OptionSpec>& table,
                    std::string_view kind) {
    for (const OptionSpec& o : table) {
        if (o.kinds.empty() || HasWord(o.kinds, kind)) {
            out.emplace_back(o.name);
            if (!o.shortName.empty()) {
                out.emplace_back(o.shortName);
            }
        }
    }
}

}  // namespace

const std::vector<CommandSpec>& Commands() {
    return kCommands;
}

const CommandSpec* FindCommand(std::string_view name) {
    for (const CommandSpec& c : kCommands) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

const std::vector<OptionSpec>& GlobalOptions() {
    return kGlobalOptions;
}

const std::vector<OptionSpec>& CommonOptions() {
    return kCommonOptions;
}

bool AsksForHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--") {
            return false;
        }
        if (a == "--help" || a == "-h") {
            return true;
        }
    }
    return false;
}

void ParseCommandArgs(const CommandSpec& command, CliContext& ctx) {
    ctx.positionals.clear();
    ctx.options.clear();
    std::vector<std::pair<const OptionSpec*, std::string>> given;  // with the spelling typed
    bool onlyPositionals = false;
    for (std::size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string& arg = ctx.args[i];
        if (onlyPositionals || !LooksLikeOption(arg)) {
            ctx.positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPositionals = true;
            continue;
        }
        std::string typed = arg;
        std::optional<std::string> inlineValue;
        if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            typed = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        const OptionSpec* spec = MatchOption(command.options, typed);
        if (spec == nullptr) {
            spec = MatchOption(kCommonOptions, typed);
        }
        if (spec == nullptr) {
            throw UsageError("unknown option " + typed);
        }
        std::string value;
        if (spec->value.empty()) {
            if (inlineValue) {
                throw UsageError(typed + " takes no value");
            }
        } else {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < ctx.args.size()) {
                value = ctx.args[++i];
            } else {
                throw UsageError(typed + " needs a value");
            }
            if (ctx.options.count(spec->name) != 0) {
                throw UsageError(typed + " given twice");
            }
        }
        ctx.options[std::string(spec->name)] = value;
        given.emplace_back(spec, typed);
    }
    if (ctx.positionals.size() > command.maxPositionals) {
        throw UsageError("unexpected argument " + ctx.positionals[command.maxPositionals]);
    }
    // An option of another sub-command would be silently ignored; it is refused as unknown here.
    for (const auto& [spec, typed] : given) {
        if (!spec->kinds.empty() && (ctx.positionals.empty() || !HasWord(spec->kinds, ctx.positionals[0]))) {
            throw UsageError("unknown option " + typed +
                             (ctx.positionals.empty()
                                  ? std::string()
                                  : " for " + std::string(command.name) + " " + ctx.positionals[0]));
        }
    }
}

std::string ProgramHelp() {
    std::string out =
        "usage: kbctl [--dir DIR] [-v] COMMAND [ARGS]\n"
        "       kbctl help [COMMAND]\n"
        "       kbctl --version\n\n"
        "Shows kbstudio's settings files as JSON, and changes the lighting and talks to the keyboard and\n"
        "its filter as kbstudio does.\n\ncommands:\n";
    std::size_t width = 0;
    for (const CommandSpec& c : kCommands) {
        width = std::max(width, c.name.size());
    }
    for (const CommandSpec& c : kCommands) {
        out += "  " + std::string(c.name) + std::string(width - c.name.size() + 3, ' ') +
               std::string(c.summary) + '\n';
    }
    out += "\noptions:\n";
    std::vector<const OptionSpec*> options;
    for (const OptionSpec& o : kGlobalOptions) {
        options.push_back(&o);
    }
    AppendOptions(out, options);
    out +=
        "\nWithout --dir, kbctl uses the folder of the kbctl program when it holds config.xml (a build\n"
        "or portable copy); an installed kbctl reads config.xml from ~/.config/kbstudio/ or\n"
        "/etc/kbstudio/ and keeps the written files in $XDG_CONFIG_HOME/kbstudio (~/.config/kbstudio).\n"
        "Exit status: 0 success, 1 failure, 2 wrong usage. 'kbctl COMMAND --help' shows a command's\n"
        "arguments and options; kbctl(1) describes every JSON field.\n";
    return out;
}

std::string CommandHelp(const CommandSpec& command) {
    std::string out = UsageLines(command.usage);
    out += "\n" +
           std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(command.summary[0])))) +
           std::string(command.summary.substr(1)) + ".\n\noptions:\n";
    std::vector<const OptionSpec*> options;
    for (const OptionSpec& o : command.options) {
        options.push_back(&o);
    }
    for (const OptionSpec& o : kCommonOptions) {
        options.push_back(&o);
    }
    AppendOptions(out, options);
    if (!command.details.empty()) {
        out += "\n" + std::string(command.details) + '\n';
    }
    return out;
}

std::string CompletionWords(const std::vector<std::string>& words) {
    std::vector<std::string> out;
    const std::string current = words.empty() ? std::string() : words.back();
    const std::size_t last = words.empty() ? 0 : words.size() - 1;
    // Before the command: the global options and their values.
    std::size_t i = 0;
    const CommandSpec* command = nullptr;
    for (; i < last; ++i) {
        const std::string& w = words[i];
        if (const OptionSpec* o = MatchOption(kGlobalOptions, w); o != nullptr && !o->value.empty()) {
            if (i + 1 == last) {
                AddWords(out, o->complete);
                break;
            }
            ++i;
        } else if (!LooksLikeOption(w)) {
            command = FindCommand(w);
            if (command == nullptr) {
                return {};  // an unknown command completes nothing
            }
            ++i;
            break;
        }
    }
    if (command == nullptr) {
        if (out.empty() && i >= last) {
            if (LooksLikeOption(current)) {
                AddOptionNames(out, kGlobalOptions, {});
            } else {
                for (const CommandSpec& c : kCommands) {
                    out.emplace_back(c.name);
                }
            }
        }
    } else {
        std::vector<std::string> positionals;
        bool valueOf = false;
        const OptionSpec* pending = nullptr;
        for (; i < last; ++i) {
            const std::string& w = words[i];
            if (valueOf) {
                valueOf = false;
                continue;
            }
            const OptionSpec* o = MatchOption(command->options, w);
            if (o != nullptr && !o->value.empty()) {
                valueOf = true;
                pending = o;
            } else if (!LooksLikeOption(w)) {
                positionals.push_back(w);
            }
        }
        if (valueOf) {
            AddWords(out, pending->complete);  // the value of an option: mostly a number, so nothing
        } else if (LooksLikeOption(current)) {
            const std::string kind = positionals.empty() ? std::string() : positionals[0];
            for (const OptionSpec& o : command->options) {
                if (o.kinds.empty() || HasWord(o.kinds, kind)) {
                    out.emplace_back(o.name);
                }
            }
            AddOptionNames(out, kCommonOptions, {});
        } else if (command->name == "help" && positionals.empty()) {
            for (const CommandSpec& c : kCommands) {
                out.emplace_back(c.name);
            }
        } else if (positionals.size() < command->positionals.size()) {
            AddWords(out, command->positionals[positionals.size()]);
        }
    }
    std::string text;
    for (const std::string& w : out) {
        text += w + '\n';
    }
    return text;
}

}  // namespace kbctl
