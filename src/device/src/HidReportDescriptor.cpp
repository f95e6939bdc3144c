#include "kb/device/HidReportDescriptor.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>

namespace kb {
namespace {

// Item tags (prefix bits 7..4) by item type (bits 3..2).
enum : uint8_t {
    kTypeMain = 0,
    kTypeGlobal = 1,
    kTypeLocal = 2,
    kMainInput = 0x8,
    kMainOutput = 0x9,
    kMainCollection = 0xA,
    kMainFeature = 0xB,
    kMainEndCollection = 0xC,
    kGlobalUsagePage = 0x0,
    kGlobalReportSize = 0x7,
    kGlobalReportId = 0x8,
    kGlobalReportCount = 0x9,
    kGlobalPush = 0xA,
    kGlobalPop = 0xB,
    kLocalUsage = 0x0,
    kLongItemPrefix = 0xFE,
};

// A malicious descriptor could push without end; real ones nest a few levels at most.
constexpr std::size_t kMaxPushDepth = 64;

struct Globals {
    uint32_t usagePage = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint32_t reportId = 0;
};

struct CollectionBits {
    HidTopLevelCollection info;
    // Bits per (kind, report ID); kind 0 input, 1 output, 2 feature.
    std::map<std::pair<int, uint32_t>, uint64_t> bits;
};

uint16_t ByteLength(uint64_t bits) {
    const uint64_t bytes = bits / 8 + (bits % 8 != 0 ? 1 : 0) + 1;
    return static_cast<uint16_t>(std::min<uint64_t>(bytes, 0xFFFF));
}

}  // namespace

std::vector<HidTopLevelCollection> ParseReportDescriptor(std::span<const uint8_t> descriptor) {
    std::vector<CollectionBits> found;
    Globals globals;
    std::vector<Globals> stack;
    bool haveUsage = false;
    uint32_t firstUsage = 0;  // low 16 bits: usage; high 16 bits: page when given
    bool firstUsageHasPage = false;
    std::size_t depth = 0;
    bool inTopLevel = false;

    std::size_t pos = 0;
    while (pos < descriptor.size()) {
        const uint8_t prefix = descriptor[pos];
        if (prefix == kLongItemPrefix) {
            if (descriptor.size() - pos < 3) {
                break;
            }
            const std::size_t length = descriptor[pos + 1];
            if (descriptor.size() - pos - 3 < length) {
                break;
            }
            pos += 3 + length;
            continue;
        }
        const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (descriptor.size() - pos - 1 < size) {
            break;
        }
        uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            value |= static_cast<uint32_t>(descriptor[pos + 1 + i]) << (8 * i);
        }
        pos += 1 + size;
        const auto type = static_cast<uint8_t>((prefix >> 2) & 3);
        const auto tag = static_cast<uint8_t>(prefix >> 4);

        if (type == kTypeGlobal) {
            switch (tag) {
                case kGlobalUsagePage:
                    globals.usagePage = value;
                    break;
                case kGlobalReportSize:
                    globals.reportSize = value;
                    break;
                case kGlobalReportCount:
                    globals.reportCount = value;
                    break;
                case kGlobalReportId:
                    globals.reportId = value;
                    break;
                case kGlobalPush:
                    if (stack.size() < kMaxPushDepth) {
                        stack.push_back(globals);
                    }
                    break;
                case kGlobalPop:
                    if (!stack.empty()) {
                        globals = stack.back();
                        stack.pop_back();
                    }
                    break;
                default:
                    break;
            }
            continue;
        }
        if (type == kTypeLocal) {
            if (tag == kLocalUsage && !haveUsage) {
                haveUsage = true;
                firstUsage = value;
                firstUsageHasPage = size == 4;
            }
            continue;
        }
        if (type != kTypeMain) {
            continue;  // reserved item type
        }
        switch (tag) {
            case kMainCollection:
                if (depth == 0) {
                    CollectionBits collection;
                    const uint32_t page = firstUsageHasPage ? firstUsage >> 16 : globals.usagePage;
                    collection.info.usagePage = static_cast<uint16_t>(page);
                    collection.info.usage = haveUsage ? static_cast<uint16_t>(firstUsage & 0xFFFF) : 0;
                    found.push_back(std::move(collection));
                    inTopLevel = true;
                }
                ++depth;
                break;
            case kMainEndCollection:
                if (depth > 0) {
                    --depth;
                    inTopLevel = depth > 0;
                }
                break;
            case kMainInput:
            case kMainOutput:
            case kMainFeature:
                // Data outside every collection belongs to no top-level collection and is not counted.
                if (inTopLevel) {
                    const int kind = tag == kMainInput ? 0 : tag == kMainOutput ? 1 : 2;
                    uint64_t& bits = found.back().bits[{kind, globals.reportId}];
                    const uint64_t more = static_cast<uint64_t>(globals.reportSize) * globals.reportCount;
                    bits = bits > UINT64_MAX - more ? UINT64_MAX : bits + more;
                }
                break;
            default:
                break;
        }
        // Local items apply to the next main item only.
        haveUsage = false;
        firstUsageHasPage = false;
        firstUsage = 0;
    }

    std::vector<HidTopLevelCollection> result;
    result.reserve(found.size());
    for (CollectionBits& collection : found) {
        for (const auto& [key, bits] : collection.bits) {
            uint16_t& length = key.first == 0   ? collection.info.inputReportLength
                               : key.first == 1 ? collection.info.outputReportLength
                                                : collection.info.featureReportLength;
            length = std::max(length, ByteLength(bits));
        }
        result.push_back(collection.info);
    }
    return result;
}

}  // namespace kb
