#include "kb/device/DeviceWatcher.h"

#include <windows.h>
// windows.h first: the headers below rely on its types.
#include <dbt.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kb/device/DeviceNotification.h"

namespace kb {
namespace {

// A record built with the system's own structure: the portable parser must read it as the system means it.
std::vector<std::byte> SystemRecord(const std::wstring& path) {
    std::vector<std::byte> bytes(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                                 (path.size() + 1) * sizeof(wchar_t));
    auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
    record->dbcc_size = static_cast<DWORD>(bytes.size());
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(record->dbcc_name, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    return bytes;
}

const std::wstring kKeyboardPath =
    L"\\\\?\\HID#VID_1209&PID_A1E5&MI_01&COL02#7&1a2b3c4d&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030}";

TEST(DeviceWatcherWin32Test, SystemRecordParses) {
    const std::vector<std::byte> record = SystemRecord(kKeyboardPath);
    const auto event = ParseDeviceChangeMessage(DBT_DEVICEARRIVAL, record.data());
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->kind, DeviceEventKind::Arrival);
    EXPECT_EQ(event->path, std::u16string(kKeyboardPath.begin(), kKeyboardPath.end()));
}

TEST(DeviceWatcherWin32Test, NotificationsSentToItsWindowBecomePendingEvents) {
    DeviceWatcher watcher;
    ASSERT_TRUE(watcher.Start());
    const auto ready = reinterpret_cast<HANDLE>(watcher.PollHandle());
    ASSERT_NE(ready, nullptr);
    EXPECT_EQ(WaitForSingleObject(ready, 0), WAIT_TIMEOUT) << "nothing pending yet";

    HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"kbstudio.DeviceWatcher", nullptr);
    ASSERT_NE(window, nullptr);
    std::vector<std::byte> record = SystemRecord(kKeyboardPath);
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(record.data()));
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(record.data()));

    EXPECT_EQ(WaitForSingleObject(ready, 0), WAIT_OBJECT_0);
    const std::u16string path(kKeyboardPath.begin(), kKeyboardPath.end());
    EXPECT_EQ(watcher.ProcessPending(),
              (std::vector<DeviceEvent>{{DeviceEventKind::Removal, path}, {DeviceEventKind::Arrival, path}}));
    EXPECT_EQ(WaitForSingleObject(ready, 0), WAIT_TIMEOUT) << "taken";
    EXPECT_TRUE(watcher.ProcessPending().empty());

    watcher.Stop();
    EXPECT_FALSE(watcher.IsRunning());
    EXPECT_EQ(watcher.PollHandle(), -1);
    EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, L"kbstudio.DeviceWatcher", nullptr), nullptr);
}

}  // namespace
}  // namespace kb
