// Shared plumbing of the kbctl commands: the context each command gets and the errors it raises.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kbctl {

// Objects keep their keys in the order the commands write them, which is the documented order.
using Json = nlohmann::ordered_json;

struct CliContext {
    std::string command;            // the command's name, for the lines it prints on stderr
    std::filesystem::path dir;      // the folder of the written files the command reads and writes
    std::filesystem::path config;   // the "config.xml" to read; empty: the one in `dir`
    std::vector<std::string> args;  // the command's own arguments, after its name, as typed
    // What the parser made of `args` against the command's option table: the arguments that are not
    // options, in order, and the options given, by their documented name ("" for a flag).
    std::vector<std::string> positionals;
    std::map<std::string, std::string, std::less<>> options;
    std::filesystem::path package;  // the UI package "uires" (the keyboard picture's key names)

    std::filesystem::path ConfigFile() const { return config.empty() ? dir / "config.xml" : config; }
    // The value of a given option, or nullptr when it was not given.
    const std::string* Option(std::string_view name) const {
        const auto it = options.find(name);
        return it == options.end() ? nullptr : &it->second;
    }
};

// What `kbctl paths` prints: how the folders were chosen and where they are.
struct PathsInfo {
    std::string mode;  // "portable", "installed" or "--dir"
    std::filesystem::path package;
    std::filesystem::path systemConfig;
    std::string error;  // why there is no folder for the written files
};
int PrintPaths(const CliContext& ctx, const PathsInfo& info);

// Thrown by a command for a user-facing failure: printed on stderr, exit status 1.
class CliError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Thrown when the command was called wrongly (a missing or extra argument, an unknown option): printed
// on stderr with a pointer to the command's --help, exit status 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Parses a command-line integer: decimal, or hexadecimal with 0x. Throws CliError naming `what`.
int64_t ParseIntArg(const std::string& text, const std::string& what);

// The value that follows `--name` in raw args, or nullptr when the option is absent. Throws when the
// option is given without a value. (Commands normally read CliContext::Option instead.)
const std::string* FindOption(const std::vector<std::string>& args, const std::string& name);

// The raw arguments that are neither options nor option values.
std::vector<std::string> Positionals(const std::vector<std::string>& args);

// Throws UsageError unless exactly `count` positionals were given; `names` says what they are
// ("N", "CODE") for the message about a missing one.
void RequirePositionals(const CliContext& ctx, std::size_t count, const char* names);

// Throws CliError when the settings folder does not exist: a mistyped --dir must not pass as a fresh
// set-up with nothing in it.
void RequireFolder(const CliContext& ctx);

// Prints the JSON on stdout. A failed write (a full disk, a closed pipe) is reported when the program
// ends, as for every other output.
void PrintJson(const Json& value);

// Commands; each returns the exit status.
int CmdConfig(const CliContext& ctx);
int CmdLighting(const CliContext& ctx);
int CmdRecords(const CliContext& ctx);
int CmdMacros(const CliContext& ctx);
int CmdKey(const CliContext& ctx);
int CmdReport(const CliContext& ctx);
int CmdDevices(const CliContext& ctx);
int CmdVersion(const CliContext& ctx);
int CmdEffect(const CliContext& ctx);
int CmdSide(const CliContext& ctx);
int CmdFilter(const CliContext& ctx);
int CmdProfile(const CliContext& ctx);
int CmdAssign(const CliContext& ctx);
int CmdUnassign(const CliContext& ctx);
// `kbctl macros export|import`; the macros command hands these over.
int CmdMacroShare(const CliContext& ctx);

}  // namespace kbctl
