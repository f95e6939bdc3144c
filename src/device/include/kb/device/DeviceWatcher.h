// Arrivals and removals of HID interfaces, as (kind, identity path) pairs in the form EnumHidInterfaces
// lists them. Not tied to any event loop: the owner waits for PollHandle() to become readable (a
// QSocketNotifier in the application) and then calls ProcessPending().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kb {

enum class DeviceEventKind { Arrival, Removal };

struct DeviceEvent {
    DeviceEventKind kind = DeviceEventKind::Arrival;
    std::u16string path;  // one event per top-level collection of the node

    friend bool operator==(const DeviceEvent&, const DeviceEvent&) = default;
};

class DeviceWatcher {
  public:
    DeviceWatcher();
    ~DeviceWatcher();
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    // Starts listening and remembers the identities of the nodes present now, so that their removal can
    // be named later. False when nothing can be watched (no system monitor and no virtual keyboard).
    bool Start();
    void Stop();
    bool IsRunning() const;

    // Linux: a file descriptor that becomes readable when events are pending; Windows: an event object
    // (HANDLE) that is signalled while events are pending (QWinEventNotifier). -1 when not running.
    intptr_t PollHandle() const;

    // Takes the pending events without blocking, in the order they happened.
    std::vector<DeviceEvent> ProcessPending();

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace kb
