// The keyboard's constant key table: every key's display name with the codes by which the layers know
// it (extended flag and set-1 scan code from the filter, Windows virtual-key code, HID usage).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kb {

// Key codes: bits 0-15 the set-1 make code, bit 16 set for an E0 (extended) key.
inline constexpr uint32_t kExtendedKeyBit = 0x10000;

struct KeyTableEntry {
    uint32_t extended;    // 1 for an E0 key, else 0
    uint32_t virtualKey;  // Windows virtual-key code
    uint32_t scanCode;    // set-1 make code
    uint32_t hidUsage;    // usage on the HID keyboard/keypad page
    const char16_t* name;

    // The key code a lookup by this row would use.
    constexpr uint32_t KeyCode() const { return scanCode | (extended != 0 ? kExtendedKeyBit : 0u); }
};

inline constexpr std::size_t kKeyTableRowCount = 120;

// The 120 rows in table order (without the empty row). Several rows share a key code; lookups return
// the first of them.
std::span<const KeyTableEntry> KeyTableRows();

// The row returned when no key matches: all numbers 0, name "".
const KeyTableEntry& EmptyKeyTableEntry();

// First row, in table order, whose scan code equals `code` with bit 16 cleared and whose extended flag
// equals bit 16 of `code`; the empty row when none does. Never fails.
const KeyTableEntry& FindKeyByCode(uint32_t code);

// Name of the row FindKeyByCode returns; "" for a code without a row.
std::u16string KeyNameForCode(uint32_t code);

}  // namespace kb
