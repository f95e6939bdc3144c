// Finding the keyboard's HID interfaces. On Linux every hidraw node is listed once per top-level collection
// of its report descriptor, with an identity path such as "/dev/hidraw3#hid#vid_1209&pid_a1e5&mi_01&col02"
// (no "&col" part when the node has a single top-level collection); opening such a path opens the node.
#pragma once

#include "kb/device/HidPath.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kb {

// A device interface class identifier, laid out like the Windows GUID.
struct HidGuid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};

    friend bool operator==(const HidGuid&, const HidGuid&) = default;
};

// The system's HID device interface class {4D1E55B2-F16F-11CF-88CB-001111000030}. Linux has no interface
// classes; its entries carry this value so that callers and trace lines look the same on both systems.
inline constexpr HidGuid kHidInterfaceClass{
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// "%04x-%02x-%02x-" and the last eight bytes as 16 lower-case hexadecimal digits.
std::string FormatHidGuid(const HidGuid& guid);

// The flag of an interface entry that is present and active, as the system's listing marks it.
inline constexpr uint32_t kActiveInterfaceEntry = 1;

struct HidInterfaceInfo {
    std::u16string path;  // identity path, accepted by HidDevice::Open
    HidGuid classGuid = kHidInterfaceClass;
    uint32_t flags = 0;  // the system's flags of the entry (Linux: 1, the entry is active)
    int32_t vid = 0;
    int32_t pid = 0;
    int32_t interfaceNumber = -1;  // as parsed from the path
    int32_t collection = -1;       // as parsed from the path
    uint16_t version = 0;          // device version (bcdDevice); 0 when the interface could not be opened
    uint16_t usagePage = 0;        // of the top-level collection; 0 when unknown or not opened
    uint16_t usage = 0;
};

// The matching interfaces in the system's enumeration order; empty at once when the request names neither
// a vendor nor a product. With KBSTUDIO_VIRTUAL_KEYBOARD=1 the simulated keyboard comes first while it is
// present and matches.
std::vector<HidInterfaceInfo> EnumHidInterfaces(const HidMatch& match);

}  // namespace kb
