// kbfilterd --script: every line of any text parses to an event, nothing, or a reason, and no time beyond
// the bound gets through.
#include <string>

#include "FuzzSupport.h"
#include "src/ScriptLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view text = kbfuzz::Text(data, size);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        std::string problem;
        const std::optional<kb::filterd::ScriptLine> parsed = kb::filterd::ParseScriptLine(line, problem);
        if (parsed && !problem.empty()) {
            kbfuzz::Fail("a parsed line with a problem");
        }
        if (parsed && parsed->at &&
            (parsed->at->count() < 0 || parsed->at->count() > kb::filterd::kMaxScriptTimeMs)) {
            kbfuzz::Fail("a time out of bounds got through");
        }
    }
    return 0;
}
