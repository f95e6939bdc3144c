#include <algorithm>
#include <mutex>

#include "HidChannel.h"
#include "Win32Api_win32.h"
#include "kb/common/Trace.h"
#include "kb/common/Utf.h"

namespace kb {
namespace {

unsigned Word(HANDLE handle) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(handle) & 0xFFFFFFFFu);
}

// Report lengths and top-level usage, read through a second, query-only handle on the same path.
HidCapabilities ReadCapabilities(const std::wstring& path) {
    HidCapabilities capabilities;
    const win32::ScopedHandle query(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!query.IsOpen()) {
        return capabilities;
    }
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    HidD_GetAttributes(query.Get(), &attributes);
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (HidD_GetPreparsedData(query.Get(), &preparsed)) {
        HIDP_CAPS caps{};
        if (HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS) {
            capabilities = {caps.UsagePage, caps.Usage, caps.InputReportByteLength,
                            caps.OutputReportByteLength, caps.FeatureReportByteLength};
        }
        HidD_FreePreparsedData(preparsed);
    }
    return capabilities;
}

class Win32HidChannel final : public HidChannel {
  public:
    Win32HidChannel(HANDLE handle, HidCapabilities capabilities)
        : handle_(handle),
          capabilities_(capabilities),
          writeDone_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    intptr_t Handle() const override { return reinterpret_cast<intptr_t>(handle_.Get()); }
    HidCapabilities Capabilities() const override { return capabilities_; }

    std::optional<std::size_t> GetFeature(Report& report) override {
        // The class driver fills the whole buffer or fails.
        if (HidD_GetFeature(handle_.Get(), report.data(), static_cast<ULONG>(report.size())) == FALSE) {
            return std::nullopt;
        }
        return report.size();
    }

    bool SetFeature(const Report& report) override {
        Report copy = report;  // the request takes a non-const buffer
        return HidD_SetFeature(handle_.Get(), copy.data(), static_cast<ULONG>(copy.size())) != FALSE;
    }

    HidWriteResult Write(const uint8_t* data, std::size_t length,
                         std::chrono::milliseconds timeout) override {
        const std::lock_guard guard(writeMutex_);
        if (!writeDone_.IsOpen() || length > buffer_.size()) {
            return {HidWriteResult::Status::Failed, 0, ERROR_INVALID_PARAMETER};
        }
        std::copy(data, data + length, buffer_.begin());
        // An event of the request's own: the handle itself is also signalled by feature requests that other
        // threads run on it, which would end the wait early.
        writeState_ = OVERLAPPED{};
        writeState_.hEvent = writeDone_.Get();
        ResetEvent(writeDone_.Get());
        DWORD written = 0;
        if (WriteFile(handle_.Get(), buffer_.data(), static_cast<DWORD>(length), nullptr, &writeState_)) {
            if (!GetOverlappedResult(handle_.Get(), &writeState_, &written, TRUE)) {
                return {HidWriteResult::Status::Failed, 0, static_cast<int>(GetLastError())};
            }
            return {HidWriteResult::Status::Done, static_cast<int32_t>(written), 0};
        }
        const DWORD error = GetLastError();
        Trace("写文件错误(%04x,%d)\n", Word(handle_.Get()), static_cast<int>(error));
        if (error != ERROR_IO_PENDING) {
            return {HidWriteResult::Status::Failed, 0, static_cast<int>(error)};
        }
        const DWORD waitMs = static_cast<DWORD>(timeout.count() < 0 ? 0 : timeout.count());
        if (WaitForSingleObject(writeDone_.Get(), waitMs) != WAIT_OBJECT_0) {
            // The request is still pending on the device and owns buffer_ and writeState_: cancel it and
            // wait until the system is done with both before they can be used again.
            CancelIoEx(handle_.Get(), &writeState_);
            GetOverlappedResult(handle_.Get(), &writeState_, &written, TRUE);
            return {HidWriteResult::Status::TimedOut, 0, 0};
        }
        if (!GetOverlappedResult(handle_.Get(), &writeState_, &written, FALSE)) {
            return {HidWriteResult::Status::Failed, 0, static_cast<int>(GetLastError())};
        }
        return {HidWriteResult::Status::Done, static_cast<int32_t>(written), 0};
    }

  private:
    win32::ScopedHandle handle_;
    HidCapabilities capabilities_;
    std::mutex writeMutex_;  // one request at a time owns buffer_ and writeState_
    win32::ScopedHandle writeDone_;
    OVERLAPPED writeState_{};
    Report buffer_{};
};

}  // namespace

HidOpenResult OpenSystemHidChannel(std::u16string_view path, uint32_t access) {
    HidOpenResult result;
    result.nodePath = Utf16ToUtf8(path);
    const std::wstring widePath = win32::WidePath(path);
    // The access word: requested access in the top byte, share mode in the low byte.
    const DWORD desiredAccess = access & 0xFF000000u;
    const DWORD shareMode = access & 0x000000FFu;
    const HANDLE handle = CreateFileW(widePath.c_str(), desiredAccess, shareMode, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    result.handle = reinterpret_cast<intptr_t>(handle);
    if (!win32::IsOpenHandle(handle)) {
        result.error = static_cast<int>(GetLastError());
        if (result.error == 0) {
            result.error = ERROR_INVALID_HANDLE;
        }
        return result;
    }
    result.channel = std::make_unique<Win32HidChannel>(handle, ReadCapabilities(widePath));
    return result;
}

}  // namespace kb
