#include <memory>
#include <new>

#include "Win32Api_win32.h"
#include "kb/common/Trace.h"
#include "kb/device/HidDiscovery.h"
#include "kb/device/VirtualKeyboard.h"

namespace kb {
namespace {

// The device path of one interface entry, asking for the size first. Empty when it cannot be read.
std::wstring ReadInterfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& entry) {
    DWORD size = 0;
    if (SetupDiGetDeviceInterfaceDetailW(set, &entry, nullptr, 0, &size, nullptr) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
        return {};
    }
    // operator new aligns for any fundamental type, as the detail record needs.
    std::unique_ptr<std::byte[]> buffer(new (std::nothrow) std::byte[size]);
    if (buffer == nullptr) {
        return {};
    }
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(set, &entry, detail, size, nullptr, nullptr)) {
        return {};
    }
    // The record's size bounds the text even if the system left it unterminated.
    const std::size_t maxChars = (size - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / 2;
    std::size_t length = 0;
    while (length < maxChars && detail->DevicePath[length] != L'\0') {
        ++length;
    }
    return std::wstring(detail->DevicePath, length);
}

// Version, usage page and usage of an interface opened for reading and writing; left at 0 otherwise.
void Describe(const std::wstring& path, HidInterfaceInfo& info) {
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    Trace("open dev: %08x\n", static_cast<unsigned>(reinterpret_cast<uintptr_t>(handle) & 0xFFFFFFFFu));
    if (!win32::IsOpenHandle(handle)) {
        return;
    }
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (HidD_GetAttributes(handle, &attributes)) {
        info.version = attributes.VersionNumber;
    }
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (HidD_GetPreparsedData(handle, &preparsed)) {
        HIDP_CAPS caps{};
        if (HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS) {
            info.usagePage = caps.UsagePage;
            info.usage = caps.Usage;
        }
        HidD_FreePreparsedData(preparsed);
    }
    CloseHandle(handle);
}

}  // namespace

std::vector<HidInterfaceInfo> EnumHidInterfaces(const HidMatch& match) {
    std::vector<HidInterfaceInfo> result;
    if (!HasDeviceFilter(match)) {
        return result;
    }
    // Asked for explicitly, so it comes before any real keyboard of the same identity.
    VirtualKeyboard::AppendListing(match, result);

    const GUID hidClass = win32::ToGuid(kHidInterfaceClass);
    const win32::ScopedDeviceInfoSet set(
        SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set.IsValid()) {
        return result;
    }
    Trace("got classs: guid={%s}\n", FormatHidGuid(kHidInterfaceClass).c_str());
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA entry{};
        entry.cbSize = sizeof entry;
        if (!SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &hidClass, index, &entry)) {
            break;  // no further entry (or the list cannot be walked any further)
        }
        const HidGuid entryClass = win32::FromGuid(entry.InterfaceClassGuid);
        Trace("enum interface: guid={%s} index=%d\n", FormatHidGuid(entryClass).c_str(),
              static_cast<int>(index));
        const std::wstring path = ReadInterfacePath(set.Get(), entry);
        if (path.empty()) {
            Trace("获取接口信息失败\n");
            continue;
        }
        HidInterfaceInfo info;
        info.path = std::u16string(path.begin(), path.end());
        HidPathIds ids;
        if (!ParseHidPath(info.path, ids) || !MatchesHidIds(match, ids)) {
            continue;
        }
        info.classGuid = entryClass;
        info.flags = static_cast<uint32_t>(entry.Flags);
        info.vid = ids.vid;
        info.pid = ids.pid;
        info.interfaceNumber = ids.interfaceNumber;
        info.collection = ids.collection;
        Describe(path, info);
        result.push_back(std::move(info));
    }
    return result;
}

}  // namespace kb
