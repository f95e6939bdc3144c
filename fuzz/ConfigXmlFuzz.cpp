// "config.xml" (read only): any bytes load or leave the defaults.
#include "FuzzSupport.h"
#include "kb/common/AppConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    kb::AppConfig config;
    config.LoadFromBuffer(kbfuzz::Text(data, size));
    return 0;
}
