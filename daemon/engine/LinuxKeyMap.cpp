#include "LinuxKeyMap.h"

#include <linux/input-event-codes.h>

#include <array>

namespace kb::filterd {
namespace {

constexpr uint32_t E0 = 0x10000;

struct Pair {
    uint32_t code;
    uint16_t key;
};

// Canonical pairs: each Linux key appears once, so both directions agree.
constexpr Pair kPairs[] = {
    // Set-1 codes 0x01..0x53 equal the Linux numbers, except 0x45 (Pause in the key table).
    {0x01, KEY_ESC},
    {0x02, KEY_1},
    {0x03, KEY_2},
    {0x04, KEY_3},
    {0x05, KEY_4},
    {0x06, KEY_5},
    {0x07, KEY_6},
    {0x08, KEY_7},
    {0x09, KEY_8},
    {0x0A, KEY_9},
    {0x0B, KEY_0},
    {0x0C, KEY_MINUS},
    {0x0D, KEY_EQUAL},
    {0x0E, KEY_BACKSPACE},
    {0x0F, KEY_TAB},
    {0x10, KEY_Q},
    {0x11, KEY_W},
    {0x12, KEY_E},
    {0x13, KEY_R},
    {0x14, KEY_T},
    {0x15, KEY_Y},
    {0x16, KEY_U},
    {0x17, KEY_I},
    {0x18, KEY_O},
    {0x19, KEY_P},
    {0x1A, KEY_LEFTBRACE},
    {0x1B, KEY_RIGHTBRACE},
    {0x1C, KEY_ENTER},
    {0x1D, KEY_LEFTCTRL},
    {0x1E, KEY_A},
    {0x1F, KEY_S},
    {0x20, KEY_D},
    {0x21, KEY_F},
    {0x22, KEY_G},
    {0x23, KEY_H},
    {0x24, KEY_J},
    {0x25, KEY_K},
    {0x26, KEY_L},
    {0x27, KEY_SEMICOLON},
    {0x28, KEY_APOSTROPHE},
    {0x29, KEY_GRAVE},
    {0x2A, KEY_LEFTSHIFT},
    {0x2B, KEY_BACKSLASH},
    {0x2C, KEY_Z},
    {0x2D, KEY_X},
    {0x2E, KEY_C},
    {0x2F, KEY_V},
    {0x30, KEY_B},
    {0x31, KEY_N},
    {0x32, KEY_M},
    {0x33, KEY_COMMA},
    {0x34, KEY_DOT},
    {0x35, KEY_SLASH},
    {0x37, KEY_KPASTERISK},
    {0x38, KEY_LEFTALT},
    {0x39, KEY_SPACE},
    {0x3A, KEY_CAPSLOCK},
    {0x3B, KEY_F1},
    {0x3C, KEY_F2},
    {0x3D, KEY_F3},
    {0x3E, KEY_F4},
    {0x3F, KEY_F5},
    {0x40, KEY_F6},
    {0x41, KEY_F7},
    {0x42, KEY_F8},
    {0x43, KEY_F9},
    {0x44, KEY_F10},
    {0x45, KEY_PAUSE},
    {0x46, KEY_SCROLLLOCK},
    {0x47, KEY_KP7},
    {0x48, KEY_KP8},
    {0x49, KEY_KP9},
    {0x4A, KEY_KPMINUS},
    {0x4B, KEY_KP4},
    {0x4C, KEY_KP5},
    {0x4D, KEY_KP6},
    {0x4E, KEY_KPPLUS},
    {0x4F, KEY_KP1},
    {0x50, KEY_KP2},
    {0x51, KEY_KP3},
    {0x52, KEY_KP0},
    {0x53, KEY_KPDOT},
    {0x56, KEY_102ND},
    {0x57, KEY_F11},
    {0x58, KEY_F12},
    {0x64, KEY_F13},
    {0x65, KEY_F14},
    {0x66, KEY_F15},
    {0x67, KEY_F16},
    {0x68, KEY_F17},
    {0x69, KEY_F18},
    {0x6A, KEY_F19},
    {0x6B, KEY_F20},
    {0x6C, KEY_F21},
    {0x6D, KEY_F22},
    {0x6E, KEY_F23},
    {0x76, KEY_F24},
    {0x70, KEY_KATAKANAHIRAGANA},
    {0x73, KEY_RO},
    {0x79, KEY_HENKAN},
    {0x7B, KEY_MUHENKAN},
    {0x7D, KEY_YEN},
    // E0 keys.
    {E0 | 0x1C, KEY_KPENTER},
    {E0 | 0x1D, KEY_RIGHTCTRL},
    {E0 | 0x35, KEY_KPSLASH},
    {E0 | 0x36, KEY_RIGHTSHIFT},
    {E0 | 0x37, KEY_SYSRQ},
    {E0 | 0x38, KEY_RIGHTALT},
    {E0 | 0x45, KEY_NUMLOCK},
    {E0 | 0x47, KEY_HOME},
    {E0 | 0x48, KEY_UP},
    {E0 | 0x49, KEY_PAGEUP},
    {E0 | 0x4B, KEY_LEFT},
    {E0 | 0x4D, KEY_RIGHT},
    {E0 | 0x4F, KEY_END},
    {E0 | 0x50, KEY_DOWN},
    {E0 | 0x51, KEY_PAGEDOWN},
    {E0 | 0x52, KEY_INSERT},
    {E0 | 0x53, KEY_DELETE},
    {E0 | 0x5B, KEY_LEFTMETA},
    {E0 | 0x5C, KEY_RIGHTMETA},
    {E0 | 0x5D, KEY_COMPOSE},
    // Media and system keys.
    {E0 | 0x10, KEY_PREVIOUSSONG},
    {E0 | 0x19, KEY_NEXTSONG},
    {E0 | 0x20, KEY_MUTE},
    {E0 | 0x21, KEY_CALC},
    {E0 | 0x22, KEY_PLAYPAUSE},
    {E0 | 0x24, KEY_STOPCD},
    {E0 | 0x2E, KEY_VOLUMEDOWN},
    {E0 | 0x30, KEY_VOLUMEUP},
    {E0 | 0x32, KEY_HOMEPAGE},
    {E0 | 0x5E, KEY_POWER},
    {E0 | 0x5F, KEY_SLEEP},
    {E0 | 0x63, KEY_WAKEUP},
    {E0 | 0x65, KEY_SEARCH},
    {E0 | 0x66, KEY_BOOKMARKS},
    {E0 | 0x67, KEY_REFRESH},
    {E0 | 0x68, KEY_STOP},
    {E0 | 0x69, KEY_FORWARD},
    {E0 | 0x6A, KEY_BACK},
    {E0 | 0x6B, KEY_COMPUTER},
    {E0 | 0x6C, KEY_MAIL},
    {E0 | 0x6D, KEY_MEDIA},
};

// Codes that name a key by another code as well; they map one way only.
constexpr Pair kAliases[] = {
    {0x36, KEY_RIGHTSHIFT},  // the PC's own code for the right shift key
};

struct Tables {
    std::array<uint16_t, 0x200> fromCode{};  // index: scan code (0..0xFF) + 0x100 for E0
    std::array<uint32_t, kLinuxKeyCount> fromKey{};
};

constexpr std::size_t Index(uint32_t code) {
    return (code & 0xFF) | ((code & E0) != 0 ? 0x100u : 0u);
}

constexpr Tables MakeTables() {
    Tables t;
    for (const Pair& p : kAliases) {
        t.fromCode[Index(p.code)] = p.key;
    }
    for (const Pair& p : kPairs) {
        t.fromCode[Index(p.code)] = p.key;
        t.fromKey[p.key] = p.code;
    }
    return t;
}

constexpr Tables kTables = MakeTables();

}  // namespace

uint16_t LinuxKeyForCode(uint32_t keyCode) {
    // Only the scan code's low byte and the E0 flag carry meaning; anything else names no key.
    if ((keyCode & ~(E0 | 0xFFu)) != 0) {
        return 0;
    }
    return kTables.fromCode[Index(keyCode)];
}

uint32_t CodeForLinuxKey(uint16_t linuxKey) {
    return linuxKey < kLinuxKeyCount ? kTables.fromKey[linuxKey] : 0;
}

}  // namespace kb::filterd
