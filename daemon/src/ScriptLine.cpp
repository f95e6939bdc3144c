#include "src/ScriptLine.h"

#include "kb/common/NumberText.h"
#include "src/KeyNames.h"

namespace kb::filterd {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n';
}

void SkipBlanks(std::string_view& s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
}

// The next blank-separated word; empty at the end of the line.
std::string_view NextWord(std::string_view& s) {
    SkipBlanks(s);
    std::size_t n = 0;
    while (n < s.size() && !IsBlank(s[n])) {
        ++n;
    }
    const std::string_view word = s.substr(0, n);
    s.remove_prefix(n);
    return word;
}

}  // namespace

std::optional<ScriptLine> ParseScriptLine(std::string_view text, std::string& problem) {
    problem.clear();
    std::string_view word = NextWord(text);
    if (word.empty() || word.front() == '#') {
        return std::nullopt;
    }
    ScriptLine line;
    if (word.substr(0, 2) == "t=") {
        const std::optional<int64_t> ms = ParseWholeInteger(word.substr(2), 10);
        if (!ms || *ms < 0) {
            problem = "bad time \"" + std::string(word) + "\"";
            return std::nullopt;
        }
        if (*ms > kMaxScriptTimeMs) {
            problem = "time \"" + std::string(word) +
                      "\" is beyond the latest allowed, t=" + std::to_string(kMaxScriptTimeMs);
            return std::nullopt;
        }
        line.at = std::chrono::milliseconds(*ms);
        word = NextWord(text);
        if (word.empty()) {
            problem = "nothing after the time";
            return std::nullopt;
        }
    }
    if (word == "mark") {
        SkipBlanks(text);
        line.text = text;
        return line;
    }
    const std::string_view keyName = NextWord(text);
    if ((word != "down" && word != "up") || keyName.empty()) {
        problem = "expected \"down <key>\", \"up <key>\" or \"mark <text>\"";
        return std::nullopt;
    }
    line.kind = word == "down" ? ScriptLine::Kind::Down : ScriptLine::Kind::Up;
    line.key = LinuxKeyFromName(keyName);
    if (line.key == 0) {
        problem = "unknown key \"" + std::string(keyName) + "\"";
        return std::nullopt;
    }
    return line;
}

}  // namespace kb::filterd
