// The keyboard picture's key names as kbctl reads them: any bytes give keys or none.
#include "FuzzSupport.h"
#include "kb/profiles/PictureKeys.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const kb::PictureKeys keys(kb::ParsePictureKeys(kbfuzz::Text(data, size)));
    for (const kb::PictureKey& key : keys.Keys()) {
        if (keys.NameOf(key.code) == std::nullopt || keys.Find(key.name) == std::nullopt) {
            kbfuzz::Fail("a key read from the file cannot be found again");
        }
    }
    return 0;
}
