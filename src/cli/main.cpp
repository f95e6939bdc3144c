// kbctl: looks at (and for some commands, changes) the files and devices kbstudio keeps.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "Cli.h"
#include "CommandTable.h"
#include "kb/common/Folders.h"
#include "kb/common/Trace.h"

namespace {

constexpr int kUsageStatus = 2;

// `who` is "kbctl" or "kbctl CMD": the name the message and the hint to --help are about.
int UsageFailure(const std::string& who, const std::string& message) {
    std::cerr << who << ": " << message << "\nTry '" << who << " --help' for more information.\n";
    return kUsageStatus;
}

// Whatever the command printed must have reached standard output: a full disk or a closed pipe is a
// failure, not a success with lost output.
int FinishOutput(const std::string& who, int status) {
    errno = 0;
    std::cout.flush();
    const bool flushed = std::fflush(stdout) == 0;
    if (!flushed || std::ferror(stdout) != 0 || !std::cout) {
        const int error = errno;
        std::cerr << who
                  << ": cannot write the output: " << (error != 0 ? std::strerror(error) : "write error")
                  << '\n';
        return 1;
    }
    return status;
}

int Print(const std::string& who, const std::string& text) {
    std::cout << text;
    return FinishOutput(who, 0);
}

struct GlobalArgs {
    std::optional<std::filesystem::path> dir;
    bool verbose = false;
};

// Runs the command `name` with its arguments `args` (everything after its name).
int RunCommand(const kbctl::CommandSpec& command, const GlobalArgs& global, std::vector<std::string> args) {
    const std::string who = "kbctl " + std::string(command.name);
    kbctl::CliContext ctx;
    ctx.command = command.name;
    ctx.args = std::move(args);
    if (kbctl::AsksForHelp(ctx.args)) {
        return Print(who, kbctl::CommandHelp(command));
    }
    try {
        kbctl::ParseCommandArgs(command, ctx);
    } catch (const kbctl::UsageError& e) {
        return UsageFailure(who, e.what());
    }
    if (ctx.options.count("--verbose") != 0 || global.verbose) {
        kb::SetTraceSink(kb::StreamTraceSink(stderr));
    }
    if (command.name == "help") {
        if (ctx.positionals.empty()) {
            return Print(who, kbctl::ProgramHelp());
        }
        const kbctl::CommandSpec* about = kbctl::FindCommand(ctx.positionals[0]);
        if (about == nullptr) {
            return UsageFailure(who, "unknown command " + ctx.positionals[0]);
        }
        return Print(who, kbctl::CommandHelp(*about));
    }
    // --dir overrides everything: config.xml and the written files in one folder.
    kbctl::PathsInfo paths;
    if (global.dir) {
        ctx.dir = *global.dir;
        paths.mode = "--dir";
        paths.package = *global.dir / "uires";
        ctx.package = paths.package;
        paths.systemConfig = ctx.ConfigFile();
    } else {
        const kb::Folders folders = kb::ResolveFolders(kb::CurrentFolderInputs());
        ctx.dir = folders.dataFolder;
        ctx.config = folders.configFile;
        paths.mode = folders.portable ? "portable" : "installed";
        paths.package = folders.packageFolder;
        ctx.package = paths.package;
        paths.systemConfig = folders.systemConfig;
        paths.error = folders.error;
        std::string error;
        if (command.folder == kbctl::Folder::Writes && !kb::PrepareDataFolder(folders, error)) {
            std::cerr << who << ": " << error << '\n';
            return 1;
        }
        if (command.folder == kbctl::Folder::Reads && ctx.dir.empty()) {
            std::cerr << who << ": " << folders.error << '\n';
            return 1;
        }
    }
    int status = 1;
    try {
        status = command.run != nullptr ? command.run(ctx) : kbctl::PrintPaths(ctx, paths);
    } catch (const kbctl::UsageError& e) {
        return UsageFailure(who, e.what());
    } catch (const kbctl::CliError& e) {
        std::cout.flush();
        std::cerr << who << ": " << e.what() << '\n';
        status = 1;
    }
    return FinishOutput(who, status);
}

}  // namespace

int main(int argc, char** argv) {
    // Standard output carries the command's JSON. The libraries' trace lines go nowhere unless asked for
    // with -v: scripts read stderr too (2>&1), and a trace there would break them.
    kb::SetTraceSink([](std::string_view) {});
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "__complete") {
        // Used by the bash completion: the words typed after "kbctl", the last one being completed.
        return Print("kbctl", kbctl::CompletionWords({args.begin() + 1, args.end()}));
    }
    GlobalArgs global;
    std::size_t i = 0;
    for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
        std::string option = args[i];
        std::optional<std::string> value;
        if (const std::size_t eq = option.find('='); option.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = option.substr(eq + 1);
            option.resize(eq);
        }
        if (option == "--help" || option == "-h") {
            return Print("kbctl", kbctl::ProgramHelp());
        }
        if (option == "--version" && !value) {
            return Print("kbctl", "kbctl " KBCTL_VERSION "\n");
        }
        if ((option == "--verbose" || option == "-v") && !value) {
            global.verbose = true;
            continue;
        }
        if (option == "--dir") {
            if (global.dir) {
                return UsageFailure("kbctl", "--dir given twice");
            }
            if (!value) {
                if (i + 1 >= args.size()) {
                    return UsageFailure("kbctl", "--dir needs a value");
                }
                value = args[++i];
            }
            global.dir = *value;
            continue;
        }
        if (option == "--") {
            ++i;
            break;
        }
        return UsageFailure("kbctl", value && (option == "--version" || option == "--verbose")
                                         ? option + " takes no value"
                                         : "unknown option " + option);
    }
    if (i >= args.size()) {
        return UsageFailure("kbctl", "missing command");
    }
    const kbctl::CommandSpec* command = kbctl::FindCommand(args[i]);
    if (command == nullptr) {
        return UsageFailure("kbctl", "unknown command " + args[i]);
    }
    return RunCommand(*command, global, {args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end()});
}
