// One open interface of the keyboard filter: a connection to kbfilterd's socket on Linux, the driver's
// device interface on Windows, or the in-process virtual filter. The platform files implement
// OpenFilterInterface; the channel's logic only sees this interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kb/device/FilterWire.h"

namespace kb::KbFiltrDevice {

// One request to the filter.
struct FilterRequest {
    uint32_t code = 0;
    std::span<const std::byte> input;
    // A file handed over with the request (reload: the program's record file). Where the filter takes
    // descriptors it is opened read-only without following a final symbolic link and passed along; a
    // filter that reads its own file ignores it. Empty: nothing is handed over.
    std::filesystem::path handOver;
};

// What became of one request.
struct FilterReply {
    bool ok = false;           // the filter accepted the request
    bool refused = false;      // the filter answered, refusing it (else, when not ok, it was not reached)
    std::size_t returned = 0;  // output bytes copied
    std::string reason;        // when not ok: the filter's own reason, or what failed on the way
};

// Pushed key presses and releases of one subscription, in the order they happened.
class IKeyEventStream {
  public:
    virtual ~IKeyEventStream() = default;
    // What the subscription started from: the events that arrived while it was being set up, then the
    // keys held once it was. Called once, before the first Wait.
    virtual std::vector<filterwire::KeyEvent> EarlyEvents() = 0;
    virtual std::vector<uint32_t> HeldAtStart() = 0;
    // Sleeps until events arrive and appends them to `events`. True while the subscription lasts; false
    // once it ended (the filter went away or broke the protocol) or Interrupt was called.
    virtual bool Wait(std::vector<filterwire::KeyEvent>& events) = 0;
    // From any thread: the waiting Wait and every later one return false.
    virtual void Interrupt() = 0;
};

class IFilterConnection {
  public:
    virtual ~IFilterConnection() = default;
    // Sends one request and waits (boundedly) for its reply. Copies up to output.size() bytes of the
    // reply's output into `output`. Safe to call from several threads at once.
    virtual FilterReply Request(const FilterRequest& request, std::span<std::byte> output) = 0;

    // Whether this filter pushes key events (else its held keys are polled).
    virtual bool PushesKeys() const { return false; }
    // A new subscription to the pushed key events; null when the filter does not push or cannot be reached.
    virtual std::unique_ptr<IKeyEventStream> SubscribeKeys() { return nullptr; }
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
