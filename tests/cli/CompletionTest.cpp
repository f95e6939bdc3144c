// kbctl's bash completion, run in a bash with bash-completion loaded, as an interactive shell has it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "KbctlRunner.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using ::testing::ElementsAreArray;
using ::testing::UnorderedElementsAreArray;

namespace {

const char* const kBashCompletion = "/usr/share/bash-completion/bash_completion";

// The candidates bash offers for `line` (the cursor at its end), sorted, one per element.
std::vector<std::string> Complete(const std::string& line, const fs::path& cwd) {
    const std::string script = std::string(R"(
source )") + kBashCompletion + R"(
source ")" KB_SOURCE_DIR R"(/packaging/kbctl.bash-completion"
cd "$2"
export PATH="$3:$PATH"
COMP_LINE="$1"; COMP_POINT=${#COMP_LINE}
read -ra COMP_WORDS <<<"$COMP_LINE"
[[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
spec=$(complete -p kbctl)
func=${spec#*-F }; func=${func%% *}
"$func" kbctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
printf '%s\n' "${COMPREPLY[@]}" | sort
)";
    const kbtest::KbctlResult r = kbtest::RunProgram(
        "bash", {"-c", script, "complete", line, cwd.string(), fs::path(KBCTL_PATH).parent_path().string()});
    EXPECT_EQ(r.exitCode, 0) << line << ": " << r.err;
    std::vector<std::string> words;
    std::istringstream in(r.out);
    for (std::string w; std::getline(in, w);) {
        if (!w.empty()) {
            words.push_back(w);
        }
    }
    return words;
}

using Words = std::vector<std::string>;

TEST(CompletionTest, CommandsOptionsAndValueSets) {
    ASSERT_TRUE(fs::exists(kBashCompletion)) << "bash-completion is not installed (scripts/deps.sh --test)";
    kbtest::ScratchDir scratch;
    fs::create_directories(scratch.path() / "folder");
    kbtest::WriteFile(scratch.path() / "file.bin", "x");

    const struct {
        std::string line;
        Words expected;
    } cases[] = {
        {"kbctl ",
         {"assign", "config", "devices", "effect", "filter", "help", "key", "lighting", "macros", "paths",
          "profile", "records", "report", "side", "unassign", "version"}},
        {"kbctl re", {"records", "report"}},
        {"kbctl --", {"--dir", "--help", "--verbose", "--version"}},
        {"kbctl --dir ", {"folder"}},
        {"kbctl --dir folder rep", {"report"}},
        {"kbctl report ", {"effect", "effect-raw", "reset", "side", "version"}},
        {"kbctl report effect-raw 3 --d", {"--direction"}},
        {"kbctl report effect 3 --", {"--brightness", "--help", "--selection", "--speed", "--verbose"}},
        {"kbctl report side 3 --", {"--help", "--level", "--verbose"}},
        {"kbctl report side ", {}},
        {"kbctl effect 3 --brightness ", {}},
        {"kbctl side 2 --l", {"--level"}},
        {"kbctl filter ", {"mode", "monitor", "reload"}},
        {"kbctl filter monitor --", {"--count", "--help", "--verbose"}},
        {"kbctl filter monitor --count ", {}},
        {"kbctl filter mode ", {}},
        {"kbctl records ", {"file.bin", "folder"}},
        {"kbctl help ef", {"effect"}},
        {"kbctl key ", {}},
        {"kbctl bogus ", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Words got = Complete(c.line, scratch.path());
        for (std::string& w : got) {
            if (!w.empty() && w.back() == '/') {
                w.pop_back();  // folders may come with their slash
            }
        }
        EXPECT_THAT(got, UnorderedElementsAreArray(c.expected));
    }
}

}  // namespace
