// What the program needs from a HID report descriptor: its top-level collections with their usage and
// report lengths. Portable; total on any bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kb {

struct HidTopLevelCollection {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    // Longest report of each kind in this collection, in bytes: its bits rounded up, plus the report-ID
    // byte (counted also when the device uses no report IDs, as the HID class driver does). 0 when the
    // collection has no report of that kind.
    uint16_t inputReportLength = 0;
    uint16_t outputReportLength = 0;
    uint16_t featureReportLength = 0;

    friend bool operator==(const HidTopLevelCollection&, const HidTopLevelCollection&) = default;
};

// Top-level collections in descriptor order. Short items are interpreted, long items skipped; a truncated
// item ends the parse with what was found so far.
std::vector<HidTopLevelCollection> ParseReportDescriptor(std::span<const uint8_t> descriptor);

}  // namespace kb
