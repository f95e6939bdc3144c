#include "kb/device/DeviceNotification.h"

#include <cstring>

namespace kb {
namespace {

// Record size, record type and a reserved word, then the 16-byte interface class.
constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kPathOffset = kHeaderBytes + 16;

uint32_t ReadU32(std::span<const std::byte> bytes, std::size_t offset) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(std::to_integer<uint8_t>(bytes[offset + i])) << (8 * i);
    }
    return value;
}

bool IsHandledEvent(uintptr_t event) {
    return event == kDeviceArrivalEvent || event == kDeviceRemoveCompleteEvent;
}

}  // namespace

std::optional<DeviceEvent> ParseDeviceInterfaceRecord(uint32_t event, std::span<const std::byte> record) {
    if (!IsHandledEvent(event) || record.size() < kHeaderBytes) {
        return std::nullopt;
    }
    const uint32_t size = ReadU32(record, 0);
    if (ReadU32(record, 4) != kDeviceInterfaceRecordType || size < kPathOffset || size > record.size()) {
        return std::nullopt;
    }
    DeviceEvent result;
    result.kind = event == kDeviceArrivalEvent ? DeviceEventKind::Arrival : DeviceEventKind::Removal;
    for (std::size_t offset = kPathOffset; offset + 2 <= size; offset += 2) {
        const auto unit = static_cast<char16_t>(std::to_integer<uint16_t>(record[offset]) |
                                                (std::to_integer<uint16_t>(record[offset + 1]) << 8));
        if (unit == u'\0') {
            return result;
        }
        result.path.push_back(unit);
    }
    return std::nullopt;  // no terminator within the record: it cannot be trusted
}

std::optional<DeviceEvent> ParseDeviceChangeMessage(uintptr_t event, const void* data) {
    if (!IsHandledEvent(event) || data == nullptr) {
        return std::nullopt;
    }
    // Every broadcast record starts with its size and type; only interface records are read further.
    std::byte header[8];
    std::memcpy(header, data, sizeof header);
    const uint32_t size = ReadU32(header, 0);
    if (ReadU32(header, 4) != kDeviceInterfaceRecordType) {
        return std::nullopt;
    }
    return ParseDeviceInterfaceRecord(static_cast<uint32_t>(event),
                                      std::span(static_cast<const std::byte*>(data), size));
}

}  // namespace kb
