// The system's device-change notifications on Windows. The application's native event filter passes each
// WM_DEVICECHANGE message to ParseDeviceChangeMessage; DeviceWatcher does the same on a window of its own.
// The parsing is plain byte reading, so it builds and is tested on every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "kb/device/DeviceWatcher.h"

namespace kb {

// The two events of WM_DEVICECHANGE that are handled; every other event is ignored.
inline constexpr uint32_t kDeviceArrivalEvent = 0x8000;         // DBT_DEVICEARRIVAL
inline constexpr uint32_t kDeviceRemoveCompleteEvent = 0x8004;  // DBT_DEVICEREMOVECOMPLETE
// The record type of a device-interface broadcast (DBT_DEVTYP_DEVICEINTERFACE).
inline constexpr uint32_t kDeviceInterfaceRecordType = 5;

// Reads a device-interface broadcast record (little-endian: record size, record type, a reserved word, the
// interface class, then the device path as zero-terminated UTF-16) that came with `event`. Nothing when
// the event is neither arrival nor removal, the record is of another type, or it is malformed: shorter
// than its header, its size field larger than `record` or too small, or a path without its terminator.
std::optional<DeviceEvent> ParseDeviceInterfaceRecord(uint32_t event, std::span<const std::byte> record);

// The same for a WM_DEVICECHANGE message as it arrives (wParam, lParam): the record's extent is taken from
// its own size field. `data` is read only for the two events above, and may be null.
std::optional<DeviceEvent> ParseDeviceChangeMessage(uintptr_t event, const void* data);

#if defined(_WIN32)
// Registers `window` (an HWND) for the arrival and removal of device interfaces of every class (the HID
// class in the filter, plus DEVICE_NOTIFY_ALL_INTERFACE_CLASSES). The registration lasts as long as the
// window. False when the system refused it.
bool RegisterDeviceInterfaceNotifications(void* window);
#endif

}  // namespace kb
