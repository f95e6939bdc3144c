// The filter's interface on Windows: the device interface of the installed keyboard filter driver.
#include <algorithm>
#include <memory>
#include <new>
#include <string>

#include "Win32Api_win32.h"
#include "kb/common/Trace.h"
#include "kb/common/Utf.h"
#include "kb/device/FilterConnection.h"
#include "kb/device/FilterWire.h"

#include <winioctl.h>

namespace kb::KbFiltrDevice {
namespace {

// The driver's device interface class {3FB7299D-6847-4490-B0C9-99E0986AB886}.
constexpr GUID kFilterInterfaceClass{
    0x3FB7299D, 0x6847, 0x4490, {0xB0, 0xC9, 0x99, 0xE0, 0x98, 0x6A, 0xB8, 0x86}};

// The request codes the channel sends are the driver's buffered keyboard-device control codes.
static_assert(filterwire::kReadHeldKeys ==
              CTL_CODE(FILE_DEVICE_KEYBOARD, 0x803, METHOD_BUFFERED, FILE_READ_ACCESS));
static_assert(filterwire::kReloadAssignments ==
              CTL_CODE(FILE_DEVICE_KEYBOARD, 0x807, METHOD_BUFFERED, FILE_READ_ACCESS));
static_assert(filterwire::kSetMode ==
              CTL_CODE(FILE_DEVICE_KEYBOARD, 0x809, METHOD_BUFFERED, FILE_READ_ACCESS));

class DriverConnection final : public IFilterConnection {
  public:
    explicit DriverConnection(HANDLE handle) : handle_(handle) {}

    // Buffered, synchronous requests: the system serialises them on the handle, so several threads may
    // send at once. The driver reads its own record file: nothing is handed over.
    FilterReply Request(const FilterRequest& request, std::span<std::byte> output) override {
        DWORD returned = 0;
        const std::span<const std::byte> input = request.input;
        const BOOL ok = DeviceIoControl(
            handle_.Get(), request.code, input.empty() ? nullptr : const_cast<std::byte*>(input.data()),
            static_cast<DWORD>(input.size()), output.empty() ? nullptr : output.data(),
            static_cast<DWORD>(output.size()), &returned, nullptr);
        if (!ok) {
            return {false, true, 0,
                    "the filter driver refused the request (error " + std::to_string(GetLastError()) + ")"};
        }
        return {true, false, std::min<std::size_t>(returned, output.size()), {}};
    }

  private:
    win32::ScopedHandle handle_;
};

// Lists the driver's interfaces with the trace lines and returns the path of the last one read; empty when
// there is none or the listing broke off.
std::wstring FindLastInterface(FilterOpenResult& result) {
    const win32::ScopedDeviceInfoSet set(SetupDiGetClassDevsW(&kFilterInterfaceClass, nullptr, nullptr,
                                                              DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set.IsValid()) {
        const DWORD error = GetLastError();
        Trace("SetupDiGetClassDevs failed: %x\n", static_cast<unsigned>(error));
        result.error = FilterOpenError::Failed;
        result.problem = "cannot list the filter driver's interfaces (error " + std::to_string(error) + ")";
        return {};
    }
    Trace("\nList of KBFILTER Device Interfaces\n");
    Trace("---------------------------------\n");
    std::wstring last;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA entry{};
        entry.cbSize = sizeof entry;
        if (!SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &kFilterInterfaceClass, index, &entry)) {
            const DWORD error = GetLastError();
            if (error != ERROR_NO_MORE_ITEMS) {
                result.error = FilterOpenError::Failed;
                result.problem =
                    "listing the filter driver's interfaces failed (error " + std::to_string(error) + ")";
                return {};
            }
            break;
        }
        DWORD size = 0;
        if (!SetupDiGetDeviceInterfaceDetailW(set.Get(), &entry, nullptr, 0, &size, nullptr) &&
            GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            const DWORD error = GetLastError();
            Trace("SetupDiGetDeviceInterfaceDetail failed %d\n", static_cast<int>(error));
            result.error = FilterOpenError::Failed;
            result.problem = "cannot read a filter driver interface (error " + std::to_string(error) + ")";
            return {};
        }
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
            size = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        }
        // operator new aligns for any fundamental type, as the detail record needs.
        const std::unique_ptr<std::byte[]> buffer(new (std::nothrow) std::byte[size]);
        if (buffer == nullptr) {
            Trace("Couldn't allocate %d bytes for device interface details.\n", static_cast<int>(size));
            result.error = FilterOpenError::Failed;
            result.problem = "out of memory while listing the filter driver's interfaces";
            return {};
        }
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.get());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set.Get(), &entry, detail, size, nullptr, nullptr)) {
            Trace("Error in SetupDiGetDeviceInterfaceDetail\n");
            result.error = FilterOpenError::Failed;
            result.problem = "cannot read a filter driver interface";
            return {};
        }
        // The record's size bounds the text even if the system left it unterminated.
        const std::size_t maxChars = (size - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / 2;
        std::size_t length = 0;
        while (length < maxChars && detail->DevicePath[length] != L'\0') {
            ++length;
        }
        last.assign(detail->DevicePath, length);
        Trace("%d %s\n", static_cast<int>(index + 1),
              Utf16ToUtf8(std::u16string(last.begin(), last.end())).c_str());
    }
    if (last.empty()) {
        Trace("No device interfaces present\n");
        result.error = FilterOpenError::NoInterface;
        result.problem = "the keyboard filter driver is not installed (no interface present)";
    }
    return last;
}

}  // namespace

FilterOpenResult OpenFilterInterface() {
    FilterOpenResult result;
    const std::wstring path = FindLastInterface(result);
    if (path.empty()) {
        return result;
    }
    result.path = Utf16ToUtf8(std::u16string(path.begin(), path.end()));
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!win32::IsOpenHandle(handle)) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED) {
            result.error = FilterOpenError::NoPermission;
            result.problem = "no permission to open the filter driver's interface " + result.path;
        } else {
            result.error = FilterOpenError::Failed;
            result.problem = "cannot open the filter driver's interface " + result.path + " (error " +
                             std::to_string(error) + ")";
        }
        return result;
    }
    result.connection = std::make_shared<DriverConnection>(handle);
    result.error = FilterOpenError::None;
    result.problem.clear();
    return result;
}

}  // namespace kb::KbFiltrDevice
