#include "kb/device/HidDiscovery.h"

#include <cstdio>

namespace kb {

std::string FormatHidGuid(const HidGuid& guid) {
    char text[64];
    std::snprintf(text, sizeof text, "%04x-%02x-%02x-", static_cast<unsigned>(guid.data1),
                  static_cast<unsigned>(guid.data2), static_cast<unsigned>(guid.data3));
    std::string result = text;
    for (uint8_t byte : guid.data4) {
        std::snprintf(text, sizeof text, "%02x", static_cast<unsigned>(byte));
        result += text;
    }
    return result;
}

}  // namespace kb
