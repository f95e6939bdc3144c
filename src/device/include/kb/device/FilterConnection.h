// One open interface of the keyboard filter: a connection to kbfilterd's socket on Linux, the driver's
// device interface on Windows, or the in-process virtual filter. The platform files implement
// OpenFilterInterface; the channel's logic only sees this interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace kb::KbFiltrDevice {

class IFilterConnection {
  public:
    virtual ~IFilterConnection() = default;
    // Sends one request (code and input bytes) and waits for its reply. Copies up to output.size() bytes
    // of the reply's output into `output` and returns how many it copied; nothing when the filter refused
    // the request or the connection failed. Safe to call from several threads at once.
    virtual std::optional<std::size_t> Request(uint32_t code, std::span<const std::byte> input,
                                               std::span<std::byte> output) = 0;
};

enum class FilterOpenError {
    None,          // opened
    NoInterface,   // no interface of the filter is present (no socket in the folder, no driver)
    NoPermission,  // an interface is present but this user may not open it
    Failed,        // present but could not be opened for another reason (see `problem`)
};

struct FilterOpenResult {
    std::shared_ptr<IFilterConnection> connection;  // null unless opened
    std::string path;  // the interface opened or tried; empty when none was listed
    FilterOpenError error = FilterOpenError::NoInterface;
    std::string problem;  // what went wrong, in words fit for a user; empty when opened
};

// Lists the filter's interfaces with the trace lines below, in the system's order, and opens the last
// one listed. On Linux these are the sockets in kbfilterd's socket folder, in name order.
//   "\nList of KBFILTER Device Interfaces\n", "---------------------------------\n",
//   "%d %s\n" per interface, "No device interfaces present\n" when there is none.
FilterOpenResult OpenFilterInterface();

}  // namespace kb::KbFiltrDevice
