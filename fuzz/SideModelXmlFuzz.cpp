// "sidemodel.xml": any file loads (or gives the factory values), saves, and loads again as the same state.
#include "FuzzSupport.h"
#include "kb/lighting/SideLightConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::filesystem::path path = kbfuzz::InputFile("sidemodel.xml", data, size);
    kb::SideLightConfig first;
    first.Load(path);
    if (!first.Save()) {
        kbfuzz::Fail("the loaded state cannot be saved");
    }
    kb::SideLightConfig again;
    if (!again.Load(path)) {
        kbfuzz::Fail("a saved file does not load");
    }
    if (again.Items() != first.Items() || again.GetSel() != first.GetSel()) {
        kbfuzz::Fail("the state changed through save and load");
    }
    return 0;
}
