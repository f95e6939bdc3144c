#include "kb/keys/KeyTable.h"

#include <array>

namespace kb {
namespace {

// Rows in their fixed order; the order decides which row a shared key code finds. The last row is the
// empty row, returned when nothing matches and never searched.
constexpr std::array<KeyTableEntry, kKeyTableRowCount + 1> kRows = {{
    {0, 0x1B, 0x01, 0x29, u"Esc"},               // 0
    {0, 0x70, 0x3B, 0x3A, u"F1"},                // 1
    {0, 0x71, 0x3C, 0x3B, u"F2"},                // 2
    {0, 0x72, 0x3D, 0x3C, u"F3"},                // 3
    {0, 0x73, 0x3E, 0x3D, u"F4"},                // 4
    {0, 0x74, 0x3F, 0x3E, u"F5"},                // 5
    {0, 0x75, 0x40, 0x3F, u"F6"},                // 6
    {0, 0x76, 0x41, 0x40, u"F7"},                // 7
    {0, 0x77, 0x42, 0x41, u"F8"},                // 8
    {0, 0x78, 0x43, 0x42, u"F9"},                // 9
    {0, 0x79, 0x44, 0x43, u"F10"},               // 10
    {0, 0x7A, 0x57, 0x44, u"F11"},               // 11
    {0, 0x7B, 0x58, 0x45, u"F12"},               // 12
    {1, 0x2C, 0x37, 0x46, u"PrintScreen"},       // 13
    {0, 0x91, 0x46, 0x47, u"ScrollLock"},        // 14
    {0, 0x13, 0x45, 0x48, u"Pause"},             // 15
    {0, 0xC0, 0x29, 0x35, u"~"},                 // 16
    {0, 0x31, 0x02, 0x1E, u"1"},                 // 17
    {0, 0x32, 0x03, 0x1F, u"2"},                 // 18
    {0, 0x33, 0x04, 0x20, u"3"},                 // 19
    {0, 0x34, 0x05, 0x21, u"4"},                 // 20
    {0, 0x35, 0x06, 0x22, u"5"},                 // 21
    {0, 0x36, 0x07, 0x23, u"6"},                 // 22
    {0, 0x37, 0x08, 0x24, u"7"},                 // 23
    {0, 0x38, 0x09, 0x25, u"8"},                 // 24
    {0, 0x39, 0x0A, 0x26, u"9"},                 // 25
    {0, 0x30, 0x0B, 0x27, u"0"},                 // 26
    {0, 0xBD, 0x0C, 0x2D, u"-"},                 // 27
    {0, 0xBB, 0x0D, 0x2E, u"="},                 // 28
    {0, 0x08, 0x0E, 0x2A, u"Backspace"},         // 29
    {1, 0x2D, 0x52, 0x49, u"Insert"},            // 30
    {1, 0x24, 0x47, 0x4A, u"Home"},              // 31
    {1, 0x21, 0x49, 0x4B, u"PageUp"},            // 32
    {1, 0x90, 0x45, 0x53, u"NumLock"},           // 33
    {1, 0x6F, 0x35, 0x54, u"Pad /"},             // 34
    {0, 0x6A, 0x37, 0x55, u"Pad *"},             // 35
    {0, 0x6D, 0x4A, 0x56, u"Pad -"},             // 36
    {0, 0x09, 0x0F, 0x2B, u"Tab"},               // 37
    {0, 0x51, 0x10, 0x14, u"Q"},                 // 38
    {0, 0x57, 0x11, 0x1A, u"W"},                 // 39
    {0, 0x45, 0x12, 0x08, u"E"},                 // 40
    {0, 0x52, 0x13, 0x15, u"R"},                 // 41
    {0, 0x54, 0x14, 0x17, u"T"},                 // 42
    {0, 0x59, 0x15, 0x1C, u"Y"},                 // 43
    {0, 0x55, 0x16, 0x18, u"U"},                 // 44
    {0, 0x49, 0x17, 0x0C, u"I"},                 // 45
    {0, 0x4F, 0x18, 0x12, u"O"},                 // 46
    {0, 0x50, 0x19, 0x13, u"P"},                 // 47
    {0, 0xDB, 0x1A, 0x2F, u"["},                 // 48
    {0, 0xDD, 0x1B, 0x30, u"]"},                 // 49
    {0, 0xDC, 0x2B, 0x31, u"\\"},                // 50
    {1, 0x2E, 0x53, 0x4C, u"Delete"},            // 51
    {1, 0x23, 0x4F, 0x4D, u"End"},               // 52
    {1, 0x22, 0x51, 0x4E, u"PageDown"},          // 53
    {0, 0x67, 0x47, 0x5F, u"Pad 7"},             // 54
    {0, 0x68, 0x48, 0x60, u"Pad 8"},             // 55
    {0, 0x69, 0x49, 0x61, u"Pad 9"},             // 56
    {0, 0x6B, 0x4E, 0x57, u"Pad +"},             // 57
    {0, 0x14, 0x3A, 0x39, u"CapsLock"},          // 58
    {0, 0x41, 0x1E, 0x04, u"A"},                 // 59
    {0, 0x53, 0x1F, 0x16, u"S"},                 // 60
    {0, 0x44, 0x20, 0x07, u"D"},                 // 61
    {0, 0x46, 0x21, 0x09, u"F"},                 // 62
    {0, 0x47, 0x22, 0x0A, u"G"},                 // 63
    {0, 0x48, 0x23, 0x0B, u"H"},                 // 64
    {0, 0x4A, 0x24, 0x0D, u"J"},                 // 65
    {0, 0x4B, 0x25, 0x0E, u"K"},                 // 66
    {0, 0x4C, 0x26, 0x0F, u"L"},                 // 67
    {0, 0xBA, 0x27, 0x33, u";"},                 // 68
    {0, 0xDE, 0x28, 0x34, u"\u2018"},            // 69
    {0, 0x0D, 0x1C, 0x28, u"Enter"},             // 70
    {0, 0x64, 0x4B, 0x5C, u"Pad 4"},             // 71
    {0, 0x65, 0x4C, 0x5D, u"Pad 5"},             // 72
    {0, 0x66, 0x4D, 0x5E, u"Pad 6"},             // 73
    {0, 0xA0, 0x2A, 0xE1, u"ShiftLeft"},         // 74
    {0, 0x5A, 0x2C, 0x1D, u"Z"},                 // 75
    {0, 0x58, 0x2D, 0x1B, u"X"},                 // 76
    {0, 0x43, 0x2E, 0x06, u"C"},                 // 77
    {0, 0x56, 0x2F, 0x19, u"V"},                 // 78
    {0, 0x42, 0x30, 0x05, u"B"},                 // 79
    {0, 0x4E, 0x31, 0x11, u"N"},                 // 80
    {0, 0x4D, 0x32, 0x10, u"M"},                 // 81
    {0, 0xBC, 0x33, 0x36, u","},                 // 82
    {0, 0xBE, 0x34, 0x37, u"."},                 // 83
    {0, 0xBF, 0x35, 0x38, u"/"},                 // 84
    {1, 0xA1, 0x36, 0xE5, u"ShiftRight"},        // 85
    {1, 0x26, 0x48, 0x52, u"ArrowUp"},           // 86
    {0, 0x61, 0x4F, 0x59, u"Pad 1"},             // 87
    {0, 0x62, 0x50, 0x5A, u"Pad 2"},             // 88
    {0, 0x63, 0x51, 0x5B, u"Pad 3"},             // 89
    {1, 0x0D, 0x1C, 0x58, u"Pad Enter"},         // 90
    {0, 0xA2, 0x1D, 0xE0, u"CtrlLeft"},          // 91
    {1, 0x5B, 0x5B, 0xE3, u"WinLeft"},           // 92
    {0, 0xA4, 0x38, 0xE2, u"AltLeft"},           // 93
    {0, 0x20, 0x39, 0x2C, u"SpaceBar"},          // 94
    {1, 0xA5, 0x38, 0xE6, u"AltRight"},          // 95
    {1, 0x5C, 0x5C, 0xE7, u"WinRight"},          // 96
    {1, 0x5D, 0x5D, 0x65, u"App"},               // 97
    {1, 0xA3, 0x1D, 0xE4, u"CtrlRight"},         // 98
    {1, 0x25, 0x4B, 0x50, u"ArrowLeft"},         // 99
    {1, 0x28, 0x50, 0x51, u"ArrowDown"},         // 100
    {1, 0x27, 0x4D, 0x4F, u"ArrowRight"},        // 101
    {0, 0x60, 0x52, 0x62, u"Pad 0"},             // 102
    {0, 0x6E, 0x53, 0x63, u"Pad ."},             // 103
    {0, 0x2D, 0x52, 0x62, u"Insert/Pad 0"},      // 104
    {0, 0x24, 0x47, 0x5F, u"Home/Pad 7"},        // 105
    {0, 0x21, 0x49, 0x61, u"PageUp/Pad 9"},      // 106
    {0, 0x2E, 0x53, 0x63, u"Delete/Pad ."},      // 107
    {0, 0x23, 0x4F, 0x59, u"End/Pad 1"},         // 108
    {0, 0x22, 0x51, 0x5B, u"PageDown/Pad 3"},    // 109
    {0, 0x26, 0x48, 0x60, u"ArrowUp/Pad 8"},     // 110
    {0, 0x25, 0x4B, 0x5C, u"ArrowLeft/Pad 4"},   // 111
    {0, 0x28, 0x50, 0x5A, u"ArrowDown/Pad 2"},   // 112
    {0, 0x27, 0x4D, 0x5E, u"ArrowRight/Pad 6"},  // 113
    {0, 0x0C, 0x4C, 0x5D, u"Clear/Pad 5"},       // 114
    {0, 0xE2, 0x56, 0x64, u"K45"},               // 115
    {0, 0xC1, 0x73, 0x87, u"K56"},               // 116
    {0, 0x10, 0x2A, 0xE1, u"ShiftLeft"},         // 117
    {0, 0x11, 0x1D, 0xE0, u"CtrlLeft"},          // 118
    {1, 0x5D, 0x5D, 0xE3, u"App"},               // 119
    {0, 0, 0, 0, u""},
}};

}  // namespace

std::span<const KeyTableEntry> KeyTableRows() {
    return {kRows.data(), kKeyTableRowCount};
}

const KeyTableEntry& EmptyKeyTableEntry() {
    return kRows[kKeyTableRowCount];
}

const KeyTableEntry& FindKeyByCode(uint32_t code) {
    // Only bit 16 is cleared: a code with higher bits set matches no row.
    const uint32_t scan = code & ~kExtendedKeyBit;
    const uint32_t extended = (code & kExtendedKeyBit) != 0 ? 1u : 0u;
    for (const KeyTableEntry& row : KeyTableRows()) {
        if (row.scanCode == scan && row.extended == extended) {
            return row;
        }
    }
    return EmptyKeyTableEntry();
}

std::u16string KeyNameForCode(uint32_t code) {
    return FindKeyByCode(code).name;
}

}  // namespace kb
