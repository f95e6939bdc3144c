// The table every kbctl command is declared in: its name, arguments and options. Parsing, `--help` and
// the bash completion's word lists all come from here, so an option exists in all three or in none.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Cli.h"

namespace kbctl {

// How the shell completes a word: not at all (a number, free text), from a list, as a file or a folder.
struct Completion {
    enum class Kind { None, Words, File, Folder };
    Kind kind = Kind::None;
    std::string_view words;  // space-separated, for Kind::Words

    static Completion Nothing() { return {}; }
    static Completion Of(std::string_view words) { return {Kind::Words, words}; }
    static Completion AnyFile() { return {Kind::File, {}}; }
    static Completion AnyFolder() { return {Kind::Folder, {}}; }
};

struct OptionSpec {
    std::string_view name;   // "--level"; the name the command reads it by
    std::string_view value;  // what its value is called in the help ("L"); empty for a flag
    std::string_view help;   // one line
    // The sub-commands (first arguments) the option belongs to, space-separated; empty: all of them.
    std::string_view kinds = {};
    std::string_view shortName = {};  // "-v"
    std::string_view alias = {};      // an older spelling that is still accepted and not shown
    Completion complete = {};         // how its value completes
};

// What a command needs of the settings folder: nothing, to read from it, or to write into it (an
// installed copy then creates it on first use).
enum class Folder { None, Reads, Writes };

struct CommandSpec {
    std::string_view name;
    int (*run)(const CliContext&);  // nullptr for commands main() runs itself (paths, help)
    Folder folder;
    std::string_view usage;    // the argument forms after "kbctl NAME", one per line
    std::string_view summary;  // one line for the command list
    std::string_view details;  // text printed after the options in the command's help; may be empty
    std::vector<OptionSpec> options;
    std::size_t maxPositionals = 0;            // more are refused as unexpected
    std::vector<Completion> positionals = {};  // how each positional completes, by position
};

// Every command, in the order `kbctl --help` lists them.
const std::vector<CommandSpec>& Commands();
const CommandSpec* FindCommand(std::string_view name);

// The options kbctl takes before the command, and those every command takes.
const std::vector<OptionSpec>& GlobalOptions();
const std::vector<OptionSpec>& CommonOptions();

// Fills ctx.positionals and ctx.options from ctx.args. Throws UsageError for an unknown or repeated
// option, a missing option value, an option the sub-command does not take, or too many arguments.
void ParseCommandArgs(const CommandSpec& command, CliContext& ctx);

// True when the arguments ask for help (-h or --help before any "--").
bool AsksForHelp(const std::vector<std::string>& args);

std::string ProgramHelp();
std::string CommandHelp(const CommandSpec& command);

// What completes the word at position `words.size() - 1` of a command line (`words` without the
// program name, the last one being the word typed so far): one candidate per line, or a single line
// "@file" / "@folder" for the shell to complete names itself.
std::string CompletionWords(const std::vector<std::string>& words);

}  // namespace kbctl
