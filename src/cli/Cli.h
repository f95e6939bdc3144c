// Shared plumbing of the kbctl commands: the context each command gets and the error it raises.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace kbctl {

// Objects keep their keys in the order the commands write them, which is the documented order.
using Json = nlohmann::ordered_json;

struct CliContext {
    std::filesystem::path dir;      // the folder of the written files the command reads and writes
    std::filesystem::path config;   // the "config.xml" to read; empty: the one in `dir`
    std::vector<std::string> args;  // the command's own arguments, after its name
    std::filesystem::path package;  // the UI package "uires" (the keyboard picture's key names)

    std::filesystem::path ConfigFile() const { return config.empty() ? dir / "config.xml" : config; }
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

// Thrown for arguments the command does not take: printed on stderr with a pointer to the command's help,
// exit status 2.
class UsageError : public CliError {
  public:
    using CliError::CliError;
};

// Parses a command-line integer: decimal, or hexadecimal with 0x. Throws CliError naming `what`.
int64_t ParseIntArg(const std::string& text, const std::string& what);

// The value that follows `--name` in args, or nullptr when the option is absent. Throws when the option
// is given without a value.
const std::string* FindOption(const std::vector<std::string>& args, const std::string& name);

// The arguments that are neither options nor option values.
std::vector<std::string> Positionals(const std::vector<std::string>& args);

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
