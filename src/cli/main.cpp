// kbctl: looks at (and for some commands, changes) the files and devices kbstudio keeps.
#include <cstring>
#include <iostream>
#include <string_view>

#include "Cli.h"
#include "kb/common/ProgramFolder.h"
#include "kb/common/Trace.h"

namespace {

struct Command {
    std::string_view name;
    int (*run)(const kbctl::CliContext&);
    std::string_view help;
};

constexpr Command kCommands[] = {
    {"config", kbctl::CmdConfig, "config                 the installation settings (config.xml)"},
    {"lighting", kbctl::CmdLighting, "lighting               lighting and side-light settings"},
    {"records", kbctl::CmdRecords, "records [FILE]         key assignments (record.bin)"},
    {"macros", kbctl::CmdMacros, "macros [FILE]          macro groups and dialog choices (macro.xml)"},
    {"key", kbctl::CmdKey, "key CODE               one row of the key table"},
    {"report", kbctl::CmdReport,
     "report KIND ...        the 8 bytes of a keyboard report: effect, effect-raw, side, version, reset"},
    {"devices", kbctl::CmdDevices, "devices                the keyboard's matching HID interfaces"},
    {"version", kbctl::CmdVersion, "version                the keyboard's firmware version"},
    {"effect", kbctl::CmdEffect,
     "effect N [--brightness B] [--speed S] [--selection X]\n"
     "                         choose, save and send a lighting effect"},
    {"side", kbctl::CmdSide, "side MODE [--level L]  choose, save and send a side-light mode"},
    {"filter", kbctl::CmdFilter,
     "filter mode VALUE | reload | monitor\n"
     "                         requests to the keyboard filter (kbfilterd)"},
};

void PrintUsage(std::ostream& out) {
    out << "usage: kbctl [--dir DIR] COMMAND [ARGS]\n\ncommands:\n";
    for (const Command& c : kCommands) {
        out << "  " << c.help << '\n';
    }
    out << "\nDIR defaults to the folder of the kbctl program.\n";
}

}  // namespace

int main(int argc, char** argv) {
    // Standard output carries the command's JSON; the libraries' diagnostic trace lines stay visible on
    // standard error.
    kb::SetTraceSink(kb::StreamTraceSink(stderr));
    kbctl::CliContext ctx;
    ctx.dir = kb::ProgramFolder();
    int i = 1;
    while (i < argc && std::strncmp(argv[i], "--", 2) == 0) {
        const std::string_view option = argv[i];
        if (option == "--help") {
            PrintUsage(std::cout);
            return 0;
        }
        if (option == "--dir" && i + 1 < argc) {
            ctx.dir = argv[i + 1];
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
            try {
                return c.run(ctx);
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
