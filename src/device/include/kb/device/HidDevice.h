// The keyboard's vendor HID interface: open by identity path or by identifiers, 8-byte feature reports in
// both directions and an output report write with a time-out. Every operation holds its named lock
// (in-process and across the user's processes) while it runs.
#pragma once

#include "kb/device/HidPath.h"
#include "kb/lighting/Reports.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace kb {

// Report lengths and top-level usage of the open interface, in bytes including the report-ID byte.
struct HidCapabilities {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t inputReportLength = 0;
    uint16_t outputReportLength = 0;
    uint16_t featureReportLength = 0;

    friend bool operator==(const HidCapabilities&, const HidCapabilities&) = default;
};

class HidChannel;  // the platform's (or the virtual keyboard's) end of an open interface

class HidDevice {
  public:
    // Read and write access, shared for reading and writing: what the program always asks for.
    static constexpr uint32_t kDefaultAccess = 0xC0000003;
    static constexpr int kWriteTimeoutMs = 3000;

    enum class State {
        Closed,  // never opened, or closed
        Open,
        Failed,  // the last Open failed; LastError() tells why
    };

    HidDevice();
    ~HidDevice();
    HidDevice(const HidDevice&) = delete;
    HidDevice& operator=(const HidDevice&) = delete;

    // Closes any open interface first, even when the new open then fails. An empty path gives false.
    bool Open(std::u16string_view path, uint32_t access = kDefaultAccess);
    // Opens the first interface EnumHidInterfaces lists. Without a match: false, the current interface is
    // left as it is and versionOut untouched. Otherwise versionOut gets the entry's version, also when the
    // open fails.
    bool OpenByIds(const HidMatch& match, uint16_t* versionOut = nullptr, uint32_t access = kDefaultAccess);
    void Close();

    // Writes the output report: 8 bytes, or the output report length when that is smaller and not 0.
    // Returns the bytes written; 0 on failure or after kWriteTimeoutMs.
    int32_t Write(const Report& report);
    // Feature read: byte 0 holds the report ID; on success the buffer holds the report and `received`
    // (when given) the number of bytes the reply filled, the report ID included. Bytes beyond the reply
    // keep what the buffer held.
    bool GetFeature(Report& report, std::size_t* received = nullptr);
    bool SetFeature(const Report& report);

    State GetState() const;
    bool IsOpen() const;
    // The system error of the last failed Open (Linux: errno; EACCES or EPERM mean no permission on the
    // node), 0 otherwise.
    int LastError() const;
    // The path given to the last Open, and the system node it names ("/dev/hidraw3"; empty for the
    // virtual keyboard).
    std::u16string Path() const;
    std::string NodePath() const;
    HidCapabilities Capabilities() const;

  private:
    std::shared_ptr<HidChannel> CurrentChannel() const;

    // Operations of different kinds may run at once on different threads (a Close beside a Write); each
    // keeps the channel it started with alive until it returns.
    mutable std::mutex mutex_;
    std::shared_ptr<HidChannel> channel_;
    State state_ = State::Closed;
    int lastError_ = 0;
    std::u16string path_;
    std::string nodePath_;
    HidCapabilities capabilities_;
};

}  // namespace kb
