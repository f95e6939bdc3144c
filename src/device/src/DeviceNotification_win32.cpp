#include "Win32Api_win32.h"
#include "kb/device/DeviceNotification.h"

namespace kb {

// The record layout the portable parser reads is the system's own.
static_assert(sizeof(DEV_BROADCAST_HDR) == 12);
static_assert(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_classguid) == 12);
static_assert(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) == 28);
static_assert(DBT_DEVICEARRIVAL == kDeviceArrivalEvent &&
              DBT_DEVICEREMOVECOMPLETE == kDeviceRemoveCompleteEvent);
static_assert(DBT_DEVTYP_DEVICEINTERFACE == kDeviceInterfaceRecordType);

bool RegisterDeviceInterfaceNotifications(void* window) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = win32::ToGuid(kHidInterfaceClass);
    // With every interface class, not only the HID class of the filter: the filter driver's interface
    // arrives with the keyboard too.
    return RegisterDeviceNotificationW(static_cast<HWND>(window), &filter,
                                       DEVICE_NOTIFY_WINDOW_HANDLE | DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) !=
           nullptr;
}

}  // namespace kb
