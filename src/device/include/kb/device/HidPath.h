// Reading the USB identity out of a HID interface path, and deciding whether it is the one asked for.
// Windows paths carry "hid#vid_XXXX&pid_XXXX[&rev_XXXX][&mi_II][&colCC]"; Linux entries carry the same
// identity behind the node, e.g. "/dev/hidraw3#hid#vid_1209&pid_a1e5&mi_01&col02".
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kb {

struct HidPathIds {
    int32_t vid = 0;
    int32_t pid = 0;
    // USB interface number ("mi_" field); -1 when the path has none. Named so because the Windows SDK
    // defines `interface` as a macro.
    int32_t interfaceNumber = -1;
    int32_t collection = -1;  // top-level collection ("col" field); -1 when the path has none

    friend bool operator==(const HidPathIds&, const HidPathIds&) = default;
};

struct HidMatch {
    int32_t vid = 0;               // 0 or less: any vendor
    std::vector<int32_t> pids;     // empty: any product
    int32_t interfaceNumber = -1;  // -1: any (also none); other negative values: nothing
    int32_t collection = -1;       // -1: any (also none); other negative values: nothing
};

// Searches the path, ignoring letter case, for the HID identity pattern; the leftmost occurrence wins.
// Each field is read as hexadecimal with the C library's rules. Returns false (and leaves `ids` alone) when
// the pattern is absent. Total on any input.
bool ParseHidPath(std::u16string_view path, HidPathIds& ids);
bool ParseHidPath(std::string_view path, HidPathIds& ids);

// False when the request names neither a vendor nor a product: such a search finds nothing by design,
// without enumerating.
bool HasDeviceFilter(const HidMatch& match);

// Whether parsed identifiers satisfy the request (vendor, product list, interface, collection).
bool MatchesHidIds(const HidMatch& match, const HidPathIds& ids);

// Parse and match in one step; false also when the path does not parse.
bool MatchesHidPath(const HidMatch& match, std::u16string_view path, HidPathIds* ids = nullptr);
bool MatchesHidPath(const HidMatch& match, std::string_view path, HidPathIds* ids = nullptr);

}  // namespace kb
