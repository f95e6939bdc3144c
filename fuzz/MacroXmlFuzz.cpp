// "macro.xml": any file loads (or leaves the initial values), saves, and loads again as the same library.
#include "FuzzSupport.h"
#include "kb/macros/MacroLibrary.h"

namespace {

bool SameLibrary(const kb::MacroLibrary& a, const kb::MacroLibrary& b) {
    return a.type == b.type && a.repeat == b.repeat && a.delay == b.delay && a.mode == b.mode &&
           a.media == b.media && a.function == b.function && a.skcode == b.skcode && a.group == b.group &&
           a.play == b.play && a.groups == b.groups;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::filesystem::path path = kbfuzz::InputFile("macro.xml", data, size);
    kb::MacroLibrary first;
    first.Load(path);
    if (!first.Save()) {
        kbfuzz::Fail("the loaded library cannot be saved");
    }
    kb::MacroLibrary again;
    if (!again.Load(path)) {
        kbfuzz::Fail("a saved file does not load");
    }
    if (!SameLibrary(first, again)) {
        kbfuzz::Fail("the library changed through save and load");
    }
    return 0;
}
