#include "kb/device/HidReportDescriptor.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
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

// One short item; long items are skipped by the reader and never returned.
struct Item {
    uint8_t type = 0;
    uint8_t tag = 0;
    std::size_t size = 0;  // data bytes: 0, 1, 2 or 4
    uint32_t value = 0;    // little-endian data
};

// Walks the items of a descriptor; stops at the end or at an item that runs past it.
class ItemReader {
  public:
    explicit ItemReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    std::optional<Item> Next() {
        while (pos_ < bytes_.size()) {
            const uint8_t prefix = bytes_[pos_];
            const std::size_t left = bytes_.size() - pos_;
            if (prefix == kLongItemPrefix) {
                if (left < 3 || left - 3 < bytes_[pos_ + 1]) {
                    return std::nullopt;
                }
                pos_ += 3 + std::size_t{bytes_[pos_ + 1]};
                continue;
            }
            Item item;
            item.size = (prefix & 3) == 3 ? 4 : (prefix & 3);
            if (left - 1 < item.size) {
                return std::nullopt;
            }
            for (std::size_t i = 0; i < item.size; ++i) {
                item.value |= static_cast<uint32_t>(bytes_[pos_ + 1 + i]) << (8 * i);
            }
            item.type = static_cast<uint8_t>((prefix >> 2) & 3);
            item.tag = static_cast<uint8_t>(prefix >> 4);
            pos_ += 1 + item.size;
            return item;
        }
        return std::nullopt;
    }

  private:
    std::span<const uint8_t> bytes_;
    std::size_t pos_ = 0;
};

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

// The state of one parse: global items with their push stack, the first usage of the pending main item,
// the collection depth and the top-level collections found so far.
class DescriptorParser {
  public:
    void Take(const Item& item) {
        switch (item.type) {
            case kTypeGlobal:
                TakeGlobal(item);
                return;
            case kTypeLocal:
                TakeLocal(item);
                return;
            case kTypeMain:
                TakeMain(item);
                // Local items apply to the next main item only.
                haveUsage_ = false;
                firstUsageHasPage_ = false;
                firstUsage_ = 0;
                return;
            default:
                return;  // reserved item type
        }
    }

    std::vector<HidTopLevelCollection> Result() {
        std::vector<HidTopLevelCollection> result;
        result.reserve(found_.size());
        for (CollectionBits& collection : found_) {
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

  private:
    void TakeGlobal(const Item& item) {
        switch (item.tag) {
            case kGlobalUsagePage:
                globals_.usagePage = item.value;
                break;
            case kGlobalReportSize:
                globals_.reportSize = item.value;
                break;
            case kGlobalReportCount:
                globals_.reportCount = item.value;
                break;
            case kGlobalReportId:
                globals_.reportId = item.value;
                break;
            case kGlobalPush:
                if (stack_.size() < kMaxPushDepth) {
                    stack_.push_back(globals_);
                }
                break;
            case kGlobalPop:
                if (!stack_.empty()) {
                    globals_ = stack_.back();
                    stack_.pop_back();
                }
                break;
            default:
                break;
        }
    }

    void TakeLocal(const Item& item) {
        if (item.tag == kLocalUsage && !haveUsage_) {
            haveUsage_ = true;
            firstUsage_ = item.value;
            firstUsageHasPage_ = item.size == 4;  // an extended usage carries its page in the high word
        }
    }

    void TakeMain(const Item& item) {
        switch (item.tag) {
            case kMainCollection:
                if (depth_ == 0) {
                    OpenTopLevel();
                }
                ++depth_;
                break;
            case kMainEndCollection:
                if (depth_ > 0) {
                    --depth_;
                }
                break;
            case kMainInput:
            case kMainOutput:
            case kMainFeature:
                // Data outside every collection belongs to no top-level collection and is not counted.
                if (depth_ > 0) {
                    CountBits(item.tag == kMainInput ? 0 : item.tag == kMainOutput ? 1 : 2);
                }
                break;
            default:
                break;
        }
    }

    void OpenTopLevel() {
        CollectionBits collection;
        const uint32_t page = firstUsageHasPage_ ? firstUsage_ >> 16 : globals_.usagePage;
        collection.info.usagePage = static_cast<uint16_t>(page);
        collection.info.usage = haveUsage_ ? static_cast<uint16_t>(firstUsage_ & 0xFFFF) : 0;
        found_.push_back(std::move(collection));
    }

    void CountBits(int kind) {
        uint64_t& bits = found_.back().bits[{kind, globals_.reportId}];
        const uint64_t more = static_cast<uint64_t>(globals_.reportSize) * globals_.reportCount;
        bits = bits > UINT64_MAX - more ? UINT64_MAX : bits + more;
    }

    std::vector<CollectionBits> found_;
    Globals globals_;
    std::vector<Globals> stack_;
    bool haveUsage_ = false;
    uint32_t firstUsage_ = 0;  // low 16 bits: usage; high 16 bits: page when given
    bool firstUsageHasPage_ = false;
    std::size_t depth_ = 0;
};

}  // namespace

std::vector<HidTopLevelCollection> ParseReportDescriptor(std::span<const uint8_t> descriptor) {
    ItemReader reader(descriptor);
    DescriptorParser parser;
    while (const std::optional<Item> item = reader.Next()) {
        parser.Take(*item);
    }
    return parser.Result();
}

}  // namespace kb
