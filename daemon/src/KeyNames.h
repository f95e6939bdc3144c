// Linux key names ("KEY_A") for the scripted input and the printed output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kb::filterd {

// "KEY_A", "key_a" or "a" -> KEY_A; a decimal or 0x number is taken as the Linux key itself.
// 0 when the text names no key below KEY_CNT.
uint16_t LinuxKeyFromName(std::string_view name);

// "KEY_A"; "KEY_<number>" for a key without a name.
std::string LinuxKeyName(uint16_t key);

}  // namespace kb::filterd
