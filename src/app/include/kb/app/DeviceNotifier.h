// Wakes the UI thread when the device watcher has events: a socket notifier on Linux, an event-object
// notifier on Windows.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>

namespace kb::app {

// Null when the handle is not valid.
std::unique_ptr<QObject> MakeDeviceNotifier(intptr_t handle, std::function<void()> onReady);

}  // namespace kb::app
