#include "src/KeyNames.h"

#include <libevdev/libevdev.h>
#include <linux/input-event-codes.h>

#include <cctype>
#include <optional>

#include "kb/common/NumberText.h"

namespace kb::filterd {

uint16_t LinuxKeyFromName(std::string_view name) {
    if (name.empty() || name.size() > 64) {
        return 0;
    }
    if (std::isdigit(static_cast<unsigned char>(name.front())) != 0) {
        const std::optional<int64_t> value = ParseWholeInteger(name, 0);
        return value && *value > 0 && *value < KEY_CNT ? static_cast<uint16_t>(*value) : uint16_t{0};
    }
    std::string upper;
    for (char c : name) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (upper.rfind("KEY_", 0) != 0 && upper.rfind("BTN_", 0) != 0) {
        upper = "KEY_" + upper;
    }
    const int code = libevdev_event_code_from_name(EV_KEY, upper.c_str());
    return code > 0 && code < KEY_CNT ? static_cast<uint16_t>(code) : uint16_t{0};
}

std::string LinuxKeyName(uint16_t key) {
    const char* name = libevdev_event_code_get_name(EV_KEY, key);
    return name != nullptr ? std::string(name) : "KEY_" + std::to_string(key);
}

}  // namespace kb::filterd
