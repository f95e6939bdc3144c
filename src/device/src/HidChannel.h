// The end of an open HID interface that HidDevice talks to: a system device or the virtual keyboard.
#pragma once

#include "kb/device/HidDevice.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kb {

struct HidWriteResult {
    enum class Status { Done, Failed, TimedOut };
    Status status = Status::Failed;
    int32_t bytes = 0;
    int error = 0;  // the system's error code when Failed
};

class HidChannel {
  public:
    virtual ~HidChannel() = default;
    // The value traced as the handle.
    virtual intptr_t Handle() const = 0;
    virtual HidCapabilities Capabilities() const = 0;
    // The number of bytes the reply filled (the report ID included); nullopt when the read failed.
    virtual std::optional<std::size_t> GetFeature(Report& report) = 0;
    virtual bool SetFeature(const Report& report) = 0;
    virtual HidWriteResult Write(const uint8_t* data, std::size_t length,
                                 std::chrono::milliseconds timeout) = 0;
};

struct HidOpenResult {
    std::unique_ptr<HidChannel> channel;  // null when the open failed
    intptr_t handle = -1;                 // traced; the invalid value when the open failed
    int error = 0;
    std::string nodePath;
};

// The platform's open of an identity path (Linux: the hidraw node before '#').
HidOpenResult OpenSystemHidChannel(std::u16string_view path, uint32_t access);
// The simulated keyboard's end; fails with ENODEV when it is disabled, absent or the path is not its own.
HidOpenResult OpenVirtualHidChannel(std::u16string_view path);

}  // namespace kb
