// Linux input key codes (KEY_*) <-> the keyboard's key codes (set-1 scan code, bit 16 for E0 keys).
// Follows the key table's own convention where it differs from a PC's: Pause is 0x45, NumLock 0x10045,
// PrintScreen 0x10037 and ShiftRight 0x10036. Media keys use their usual E0 codes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kb::filterd {

// Linux key codes run below KEY_CNT (0x300); the engine sizes its tables by this.
inline constexpr std::size_t kLinuxKeyCount = 0x300;

// The Linux key for a key code, or 0 when the code names no key this daemon knows.
uint16_t LinuxKeyForCode(uint32_t keyCode);

// The key code reported for a Linux key, or 0 when it has none.
uint32_t CodeForLinuxKey(uint16_t linuxKey);

}  // namespace kb::filterd
