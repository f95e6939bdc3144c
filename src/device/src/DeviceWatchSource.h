// The system's part of the device watcher: its arrival and removal notifications and the handle the owner
// waits on. DeviceWatcher.cpp adds the virtual keyboard's events, once for every system.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "kb/device/DeviceWatcher.h"

namespace kb {

class DeviceWatchSource {
  public:
    virtual ~DeviceWatchSource() = default;

    // What the owner waits on (DeviceWatcher::PollHandle).
    virtual intptr_t PollHandle() const = 0;
    // Whether the system's notifications come; without them only the virtual keyboard's can.
    virtual bool Watching() const = 0;
    // Whether Wake() works, so that the virtual keyboard's news can be announced.
    virtual bool CanWake() const = 0;
    // From any thread: the virtual keyboard has news, or its next deadline changed.
    virtual void Wake() = 0;
    // The system's events since the last call, in order, without blocking; the handle is quiet again.
    virtual std::vector<DeviceEvent> TakePending() = 0;
    // The virtual keyboard's next deadline (its return) makes the handle ready when it passes.
    virtual void ArmDeadline() = 0;
};

// `virtualKeyboard`: the virtual keyboard is simulated, so Wake and its deadline are needed too. Null
// when nothing can be set up at all.
std::unique_ptr<DeviceWatchSource> OpenDeviceWatchSource(bool virtualKeyboard);

}  // namespace kb
