// The Windows SDK headers the device layer needs, included in one place. MinGW's HID headers have no
// C++ linkage block of their own, so their functions would otherwise be looked up under mangled names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: the headers below rely on its types.
#include <dbt.h>
#include <setupapi.h>

// hidsdi.h brings hidusage.h and hidpi.h in the order they need.
extern "C" {
#include <hidsdi.h>
}

#include <string>
#include <string_view>

#include "kb/device/HidDiscovery.h"

namespace kb::win32 {

// A handle counts as open only when it is neither 0 nor the invalid-handle value.
inline bool IsOpenHandle(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// Closes the handle when the owner goes out of scope.
class ScopedHandle {
  public:
    explicit ScopedHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool IsOpen() const { return IsOpenHandle(handle_); }
    void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
        if (IsOpen()) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }

  private:
    HANDLE handle_;
};

// Releases a SetupDi interface set when the owner goes out of scope.
class ScopedDeviceInfoSet {
  public:
    explicit ScopedDeviceInfoSet(HDEVINFO set) : set_(set) {}
    ~ScopedDeviceInfoSet() {
        if (IsValid()) {
            SetupDiDestroyDeviceInfoList(set_);
        }
    }
    ScopedDeviceInfoSet(const ScopedDeviceInfoSet&) = delete;
    ScopedDeviceInfoSet& operator=(const ScopedDeviceInfoSet&) = delete;

    HDEVINFO Get() const { return set_; }
    bool IsValid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }

  private:
    HDEVINFO set_;
};

inline std::wstring WidePath(std::u16string_view path) {
    return std::wstring(path.begin(), path.end());
}

inline std::u16string Utf16Path(const wchar_t* path) {
    std::u16string result;
    for (; *path != L'\0'; ++path) {
        result.push_back(static_cast<char16_t>(*path));
    }
    return result;
}

inline GUID ToGuid(const HidGuid& guid) {
    GUID result{};
    result.Data1 = static_cast<unsigned long>(guid.data1);
    result.Data2 = guid.data2;
    result.Data3 = guid.data3;
    for (int i = 0; i < 8; ++i) {
        result.Data4[i] = guid.data4[i];
    }
    return result;
}

inline HidGuid FromGuid(const GUID& guid) {
    HidGuid result;
    result.data1 = static_cast<uint32_t>(guid.Data1);
    result.data2 = guid.Data2;
    result.data3 = guid.Data3;
    for (int i = 0; i < 8; ++i) {
        result.data4[i] = guid.Data4[i];
    }
    return result;
}

}  // namespace kb::win32
