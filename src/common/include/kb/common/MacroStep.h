// One key event of a macro or of a key assignment.
#pragma once

#include <cstdint>
#include <string>

namespace kb {

struct MacroStep {
    uint32_t code = 0;    // key code: set-1 scan code, bit 16 for E0 keys
    int32_t state = 0;    // 0 key down, 1 key up
    int32_t delay = 0;    // milliseconds to wait after this event
    std::u16string name;  // key name, display only

    friend bool operator==(const MacroStep&, const MacroStep&) = default;
};

}  // namespace kb
