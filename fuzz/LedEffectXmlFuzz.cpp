// "ledeffect.xml": any file loads (or gives the factory values), saves, and loads again as the same state.
#include "FuzzSupport.h"
#include "kb/lighting/LedEffectConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::filesystem::path path = kbfuzz::InputFile("ledeffect.xml", data, size);
    kb::LedEffectConfig first;
    first.Load(path);
    if (!first.Save()) {
        kbfuzz::Fail("the loaded state cannot be saved");
    }
    kb::LedEffectConfig again;
    if (!again.Load(path)) {
        kbfuzz::Fail("a saved file does not load");
    }
    if (again.Items() != first.Items() || again.GetSel() != first.GetSel()) {
        kbfuzz::Fail("the state changed through save and load");
    }
    return 0;
}
