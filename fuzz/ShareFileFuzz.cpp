// Sharing files: any bytes give a checked file or a reason. What is accepted writes again and reads back
// as the same assignments and macros.
#include "FuzzSupport.h"
#include "kb/profiles/Sharing.h"

namespace {

bool SameAssignments(const std::vector<kb::KeyRecord>& a, const std::vector<kb::KeyRecord>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].code != b[i].code || a[i].mode != b[i].mode || a[i].parameter != b[i].parameter ||
            a[i].steps.size() != b[i].steps.size()) {
            return false;
        }
        for (std::size_t s = 0; s < a[i].steps.size(); ++s) {
            const kb::MacroStep& x = a[i].steps[s];
            const kb::MacroStep& y = b[i].steps[s];
            if (x.code != y.code || x.state != y.state || x.delay != y.delay) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const kb::SharedFileReadResult first = kb::ReadSharedFile(kbfuzz::Text(data, size));
    if (!first.ok) {
        if (first.error.empty()) {
            kbfuzz::Fail("a refused file gave no reason");
        }
        return 0;
    }
    for (const kb::MacroGroup& group : first.file.macros) {
        const kb::SharedFileReadResult again = kb::ReadSharedFile(kb::WriteSharedMacro(group));
        if (!again.ok || again.file.macros.size() != 1 || !(again.file.macros[0] == group)) {
            kbfuzz::Fail("an imported macro does not export and import as itself");
        }
    }
    if (first.file.profile) {
        kb::MacroLibrary library;
        library.groups = first.file.macros;
        std::string text;
        std::string error;
        if (!kb::WriteSharedProfile(first.file.profile->name, first.file.profile->ToFiles(), library, text,
                                    error)) {
            kbfuzz::Fail("an imported profile cannot be exported");
        }
        const kb::SharedFileReadResult again = kb::ReadSharedFile(text);
        if (!again.ok || !again.file.profile) {
            kbfuzz::Fail("an exported profile does not import");
        }
        if (!SameAssignments(first.file.profile->records, again.file.profile->records)) {
            kbfuzz::Fail("assignments changed on their way through export and import");
        }
    }
    return 0;
}
