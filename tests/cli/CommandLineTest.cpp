// The command-line rules kbctl, kbfilterd and kbstudio share: --help and --version on stdout with exit 0,
// usage errors naming the bad argument with a pointer to --help and exit 2, runtime failures exit 1.
// Also: every option a --help prints is in the program's manual page.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "CommandTable.h"
#include "KbctlRunner.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

const std::string kVersion = KB_PROJECT_VERSION;

std::string ProgramPath(const std::string& name) {
    return (fs::path(KBCTL_PATH).parent_path() / name).string();
}

// A program that ignored --help would start its real work: the timeout ends such a run.
kbtest::KbctlResult RunNamed(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> all{"20", ProgramPath(program)};
    all.insert(all.end(), args.begin(), args.end());
    return kbtest::RunProgram("timeout", all);
}

std::vector<std::string> Programs() {
    std::vector<std::string> out{"kbctl", "kbfilterd"};
    if (fs::exists(ProgramPath("kbstudio"))) {
        out.emplace_back("kbstudio");  // not built without the GUI
    }
    return out;
}

struct Row {
    std::string program;
    std::vector<std::string> args;
    int status;
    std::string message;  // usage or runtime error: stderr's first line; help: how stdout starts
};

std::string Describe(const Row& row) {
    std::string text = row.program;
    for (const std::string& a : row.args) {
        text += " " + a;
    }
    return text;
}

TEST(CommandLineTest, HelpVersionUsageErrorsAndExitStatus) {
    const std::vector<Row> rows = {
        // Help and version.
        {"kbctl", {"--help"}, 0, "usage: kbctl "},
        {"kbctl", {"-h"}, 0, "usage: kbctl "},
        {"kbctl", {"help"}, 0, "usage: kbctl "},
        {"kbctl", {"help", "report"}, 0, "usage: kbctl report "},
        {"kbctl", {"--dir", "/nonexistent", "version", "--help"}, 0, "usage: kbctl version"},
        {"kbctl", {"records", "--bogus", "-h"}, 0, "usage: kbctl records"},
        {"kbfilterd", {"--help"}, 0, "usage: kbfilterd"},
        {"kbfilterd", {"-h"}, 0, "usage: kbfilterd"},
        {"kbstudio", {"--help"}, 0, "usage: kbstudio"},
        {"kbstudio", {"-h"}, 0, "usage: kbstudio"},
        // Usage errors.
        {"kbctl", {}, 2, "kbctl: missing command"},
        {"kbctl", {"--bogus"}, 2, "kbctl: unknown option --bogus"},
        {"kbctl", {"bogus"}, 2, "kbctl: unknown command bogus"},
        {"kbctl", {"--dir"}, 2, "kbctl: --dir needs a value"},
        {"kbctl", {"--dir", "a", "--dir", "b", "paths"}, 2, "kbctl: --dir given twice"},
        {"kbctl", {"records", "--bogus"}, 2, "kbctl records: unknown option --bogus"},
        {"kbctl", {"config", "extra"}, 2, "kbctl config: unexpected argument extra"},
        {"kbctl", {"key"}, 2, "kbctl key: missing CODE"},
        {"kbctl", {"key", "1", "2"}, 2, "kbctl key: unexpected argument 2"},
        {"kbctl", {"side", "3", "--level"}, 2, "kbctl side: --level needs a value"},
        {"kbctl", {"effect", "3", "--speed", "1", "--speed", "2"}, 2, "kbctl effect: --speed given twice"},
        {"kbctl",
         {"report", "effect-raw", "3", "--direction", "1", "--deriction", "2"},
         2,
         "kbctl report: --deriction given twice"},
        {"kbctl",
         {"report", "side", "3", "--speed", "1"},
         2,
         "kbctl report: unknown option --speed for report side"},
        {"kbctl", {"report", "effect", "1", "--verbose=1"}, 2, "kbctl report: --verbose takes no value"},
        {"kbctl", {"help", "bogus"}, 2, "kbctl help: unknown command bogus"},
        {"kbfilterd", {"--bogus"}, 2, "kbfilterd: unknown option --bogus"},
        {"kbfilterd", {"--folder"}, 2, "kbfilterd: --folder needs a value"},
        {"kbfilterd", {"--folder", "a", "--folder", "b", "--print"}, 2, "kbfilterd: --folder given twice"},
        {"kbfilterd", {"foo"}, 2, "kbfilterd: unexpected argument foo"},
        // Runtime failures.
        {"kbctl", {"key", "0"}, 1, "kbctl key: no key has the code 0"},
        {"kbctl", {"key", "999999"}, 1, "kbctl key: no key has the code 999999"},
        {"kbctl", {"report", "effect", "25"}, 1, "kbctl report: effect must be 0-19, not 25"},
    };
    const std::vector<std::string> programs = Programs();
    for (const Row& row : rows) {
        if (std::find(programs.begin(), programs.end(), row.program) == programs.end()) {
            continue;
        }
        SCOPED_TRACE(Describe(row));
        const kbtest::KbctlResult r = RunNamed(row.program, row.args);
        EXPECT_EQ(r.exitCode, row.status) << r.out << r.err;
        if (row.status == 0) {
            EXPECT_THAT(r.out, StartsWith(row.message));
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_EQ(r.out, "");
            const std::string first = r.err.substr(0, r.err.find('\n'));
            EXPECT_EQ(first, row.message) << r.err;
            if (row.status == 2) {
                const std::string who = row.message.substr(0, row.message.find(": "));
                EXPECT_EQ(r.err, row.message + "\nTry '" + who + " --help' for more information.\n");
            }
        }
    }
    for (const std::string& program : programs) {
        const kbtest::KbctlResult r = RunNamed(program, {"--version"});
        EXPECT_EQ(r.exitCode, 0) << program;
        EXPECT_EQ(r.out, program + " " + kVersion + "\n");
        EXPECT_EQ(r.err, "") << program;
    }
}

// Every command answers --help, -h and `kbctl help CMD` alike, without touching files or devices.
TEST(CommandLineTest, EveryKbctlCommandHasHelp) {
    for (const kbctl::CommandSpec& command : kbctl::Commands()) {
        const std::string name(command.name);
        SCOPED_TRACE(name);
        const kbtest::KbctlResult help = RunNamed("kbctl", {"--dir", "/nonexistent", name, "--help"});
        EXPECT_EQ(help.exitCode, 0) << help.err;
        EXPECT_THAT(help.out, StartsWith("usage: kbctl " + name));
        EXPECT_EQ(help.err, "");
        EXPECT_EQ(RunNamed("kbctl", {name, "-h"}).out, help.out);
        EXPECT_EQ(RunNamed("kbctl", {"help", name}).out, help.out);
    }
}

// A failed write of the output is a failure, whatever printed it.
TEST(CommandLineTest, OutputThatCannotBeWrittenExitsOne) {
    const std::vector<std::vector<std::string>> commands = {
        {"key", "0x1e"}, {"--help"}, {"report", "version"}};
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0]);
        std::vector<std::string> args{"-c", "exec \"$0\" \"$@\" >/dev/full", KBCTL_PATH};
        args.insert(args.end(), command.begin(), command.end());
        const kbtest::KbctlResult r = kbtest::RunProgram("sh", args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_THAT(r.err, HasSubstr("cannot write the output: No space left on device"));
    }
}

std::string ManPage(const std::string& file) {
    const std::string text = kbtest::ReadFile(fs::path(KB_SOURCE_DIR) / "packaging" / "man" / file);
    // roff writes a minus as "\\-".
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '-') {
            continue;
        }
        out += text[i];
    }
    return out;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The options a help text names: "-h", "--dir", words that start a line or follow a space or "[(,|".
std::set<std::string> OptionsIn(const std::string& help) {
    std::set<std::string> out;
    for (std::size_t i = 0; i < help.size(); ++i) {
        const bool starts =
            i == 0 || std::string_view(" \t\n[(,|").find(help[i - 1]) != std::string_view::npos;
        const std::size_t name = help.compare(i, 2, "--") == 0 ? i + 2 : i + 1;
        if (!starts || help[i] != '-' || name >= help.size() || !IsLetter(help[name])) {
            continue;
        }
        std::size_t end = name;
        while (end < help.size() &&
               (IsLetter(help[end]) || help[end] == '-' || (help[end] >= '0' && help[end] <= '9'))) {
            ++end;
        }
        out.insert(help.substr(i, end - i));
        i = end;
    }
    return out;
}

TEST(CommandLineTest, EveryOptionInTheHelpIsInTheManualPage) {
    struct Page {
        std::string program;
        std::string man;
        std::vector<std::vector<std::string>> helps;
    };
    std::vector<Page> pages = {{"kbctl", "kbctl.1", {{"--help"}}},
                               {"kbfilterd", "kbfilterd.8", {{"--help"}}},
                               {"kbstudio", "kbstudio.1", {{"--help"}}}};
    for (const kbctl::CommandSpec& command : kbctl::Commands()) {
        pages[0].helps.push_back({std::string(command.name), "--help"});
    }
    const std::vector<std::string> programs = Programs();
    for (const Page& page : pages) {
        if (std::find(programs.begin(), programs.end(), page.program) == programs.end()) {
            continue;
        }
        const std::string man = ManPage(page.man);
        ASSERT_FALSE(man.empty()) << page.man;
        for (const auto& args : page.helps) {
            const kbtest::KbctlResult r = RunNamed(page.program, args);
            ASSERT_EQ(r.exitCode, 0) << page.program << " " << args[0];
            for (const std::string& option : OptionsIn(r.out)) {
                EXPECT_THAT(man, HasSubstr(option))
                    << page.man << " lacks " << option << " (" << args[0] << ")";
            }
        }
    }
    // Every command of kbctl has its own entry.
    const std::string kbctlMan = ManPage("kbctl.1");
    for (const kbctl::CommandSpec& command : kbctl::Commands()) {
        EXPECT_THAT(kbctlMan, HasSubstr(".SS \"kbctl " + std::string(command.name))) << command.name;
    }
}

}  // namespace
