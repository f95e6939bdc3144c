// One line of a key-event script (see ScriptInput.h), parsed without any I/O so that tests and fuzz
// targets can feed it any text.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kb::filterd {

struct ScriptLine {
    enum class Kind { Down, Up, Mark };
    std::optional<std::chrono::milliseconds> at;  // since the start; none: when read
    Kind kind = Kind::Mark;
    uint16_t key = 0;  // Linux key (Down, Up)
    std::string text;  // Mark
};

// The latest time a line may name (about 11.6 days): far beyond any script, and far below the range of
// the nanosecond clock the times are added to.
inline constexpr int64_t kMaxScriptTimeMs = 1'000'000'000;

// nullopt for an empty line or a comment (`problem` left empty) and for a bad line (`problem` says why).
std::optional<ScriptLine> ParseScriptLine(std::string_view text, std::string& problem);

}  // namespace kb::filterd
