// Device-interface broadcast records of WM_DEVICECHANGE: the first four bytes pick the event, the rest is
// the record as the system would pass it.
#include <cstring>
#include <span>

#include "FuzzSupport.h"
#include "kb/device/DeviceNotification.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    uint32_t selector = 0;
    std::memcpy(&selector, data, 4);
    const uint32_t event = (selector & 1) != 0   ? kb::kDeviceArrivalEvent
                           : (selector & 2) != 0 ? kb::kDeviceRemoveCompleteEvent
                                                 : selector;
    const auto record = std::as_bytes(std::span<const uint8_t>(data + 4, size - 4));
    const std::optional<kb::DeviceEvent> parsed = kb::ParseDeviceInterfaceRecord(event, record);
    if (parsed && parsed->path.size() * 2 > record.size()) {
        kbfuzz::Fail("a path longer than its record");
    }
    return 0;
}
