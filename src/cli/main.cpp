// kbctl: looks at (and for some commands, changes) the files and devices kbstudio keeps.
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "Cli.h"
#include "kb/common/Folders.h"
#include "kb/common/Trace.h"

namespace {

// What a command needs of the settings folder: nothing, to read from it, or to write into it (an
// installed copy then creates it on first use).
enum class Folder { None, Reads, Writes };

struct Command {
    std::string_view name;
    int (*run)(const kbctl::CliContext&);
    std::string_view help;
    Folder folder = Folder::Reads;
};

constexpr Command kCommands[] = {
    {"paths", nullptr, "paths                  where the settings, written files and UI package are",
     Folder::None},
    {"config", kbctl::CmdConfig, "config                 the installation settings (config.xml)"},
    {"lighting", kbctl::CmdLighting, "lighting               lighting and side-light settings",
     Folder::Writes},
    {"records", kbctl::CmdRecords, "records [FILE]         key assignments (record.bin)"},
    {"macros", kbctl::CmdMacros,
     "macros [FILE] | export NAME FILE | import FILE [--replace]\n"
     "                         macro groups and dialog choices (macro.xml); share one macro"},
    {"key", kbctl::CmdKey, "key CODE               one row of the key table", Folder::None},
    {"report", kbctl::CmdReport,
     "report KIND ...        the 8 bytes of a keyboard report: effect, effect-raw, side, version, reset",
     Folder::None},
    {"devices", kbctl::CmdDevices, "devices                the keyboard's matching HID interfaces"},
    {"version", kbctl::CmdVersion, "version                the keyboard's firmware version"},
    {"effect", kbctl::CmdEffect,
     "effect N [--brightness B] [--speed S] [--selection X]\n"
     "                         choose, save and send a lighting effect",
     Folder::Writes},
    {"side", kbctl::CmdSide, "side MODE [--level L]  choose, save and send a side-light mode",
     Folder::Writes},
    {"filter", kbctl::CmdFilter,
     "filter mode VALUE | reload | monitor\n"
     "                         requests to the keyboard filter (kbfilterd)"},
    {"profile", kbctl::CmdProfile,
     "profile list | use NAME | new NAME | rename OLD NEW | delete NAME |\n"
     "        export NAME FILE | import FILE [--name NAME] [--replace]\n"
     "                         named sets of assignments and lighting",
     Folder::Writes},
    {"assign", kbctl::CmdAssign,
     "assign KEY --macro NAME [--times N | --while-held | --toggle] | --key KEY |\n"
     "       --media NAME | --shortcut NAME\n"
     "                         assign to a key as the assignment dialog does",
     Folder::Writes},
    {"unassign", kbctl::CmdUnassign, "unassign KEY           remove a key's assignment", Folder::Writes},
};

void PrintUsage(std::ostream& out) {
    out << "usage: kbctl [--dir DIR] COMMAND [ARGS]\n\ncommands:\n";
    for (const Command& c : kCommands) {
        out << "  " << c.help << '\n';
    }
    out << "\nWithout --dir, kbctl uses the folder of the kbctl program when it holds config.xml (a build\n"
           "or portable copy); an installed kbctl reads config.xml from ~/.config/kbstudio/ or\n"
           "/etc/kbstudio/ and keeps the written files in $XDG_CONFIG_HOME/kbstudio (~/.config/kbstudio).\n"
           "DIR holds config.xml and the written files together.\n";
}

}  // namespace

int main(int argc, char** argv) {
    // Standard output carries the command's JSON; the libraries' diagnostic trace lines stay visible on
    // standard error.
    kb::SetTraceSink(kb::StreamTraceSink(stderr));
    kbctl::CliContext ctx;
    std::optional<std::filesystem::path> dirOption;
    int i = 1;
    while (i < argc && std::strncmp(argv[i], "--", 2) == 0) {
        const std::string_view option = argv[i];
        if (option == "--help") {
            PrintUsage(std::cout);
            return 0;
        }
        if (option == "--dir" && i + 1 < argc) {
            dirOption = argv[i + 1];
            i += 2;
            continue;
        }
        std::cerr << "kbctl: unknown option " << option << "\n";
        PrintUsage(std::cerr);
        return 1;
    }
    if (i >= argc) {
        PrintUsage(std::cerr);
        return 1;
    }
    const std::string_view name = argv[i];
    for (int k = i + 1; k < argc; ++k) {
        ctx.args.emplace_back(argv[k]);
    }
    for (const Command& c : kCommands) {
        if (c.name == name) {
            // --dir overrides everything: config.xml and the written files in one folder.
            kbctl::PathsInfo paths;
            if (dirOption) {
                ctx.dir = *dirOption;
                paths.mode = "--dir";
                paths.package = *dirOption / "uires";
                paths.systemConfig = ctx.ConfigFile();
            } else {
                const kb::Folders folders = kb::ResolveFolders(kb::CurrentFolderInputs());
                ctx.dir = folders.dataFolder;
                ctx.config = folders.configFile;
                paths.mode = folders.portable ? "portable" : "installed";
                paths.package = folders.packageFolder;
                paths.systemConfig = folders.systemConfig;
                paths.error = folders.error;
                std::string error;
                if (c.folder == Folder::Writes && !kb::PrepareDataFolder(folders, error)) {
                    std::cerr << "kbctl " << name << ": " << error << '\n';
                    return 1;
                }
                if (c.folder == Folder::Reads && ctx.dir.empty()) {
                    std::cerr << "kbctl " << name << ": " << folders.error << '\n';
                    return 1;
                }
            }
            ctx.package = paths.package;
            try {
                return c.run != nullptr ? c.run(ctx) : kbctl::PrintPaths(ctx, paths);
            } catch (const kbctl::UsageError& e) {
                std::cerr << "kbctl " << name << ": " << e.what() << "\nTry 'kbctl " << name
                          << " --help' for more information.\n";
                return 2;
            } catch (const kbctl::CliError& e) {
                std::cerr << "kbctl " << name << ": " << e.what() << '\n';
                return 1;
            }
        }
    }
    std::cerr << "kbctl: unknown command \"" << name << "\"\n";
    PrintUsage(std::cerr);
    return 1;
}
