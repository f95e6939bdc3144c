// Device notifications without the application's window: a message-only window on a thread of its own
// receives WM_DEVICECHANGE and queues the events; PollHandle() is an event object that is signalled while
// events are pending (a QWinEventNotifier in the application).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "Win32Api_win32.h"
#include "kb/device/DeviceNotification.h"
#include "kb/device/DeviceWatcher.h"
#include "kb/device/VirtualKeyboard.h"

namespace kb {
namespace {

constexpr wchar_t kWindowClass[] = L"kbstudio.DeviceWatcher";
constexpr UINT kWakeMessage = WM_APP + 1;  // the virtual keyboard's deadline may have changed

}  // namespace

struct DeviceWatcher::Impl {
    std::mutex mutex;
    std::vector<DeviceEvent> pending;  // guarded by mutex
    win32::ScopedHandle ready{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<HWND> window = nullptr;  // the message-only window, once it exists
    std::thread thread;
    int listener = 0;

    void Queue(DeviceEvent event) {
        const std::lock_guard guard(mutex);
        pending.push_back(std::move(event));
        SetEvent(ready.Get());
    }

    void Wake() {
        SetEvent(ready.Get());
        if (const HWND hwnd = window.load(); hwnd != nullptr) {
            PostMessageW(hwnd, kWakeMessage, 0, 0);
        }
    }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message == WM_DEVICECHANGE) {
            if (self != nullptr) {
                if (auto event = ParseDeviceChangeMessage(wParam, reinterpret_cast<const void*>(lParam))) {
                    self->Queue(std::move(*event));
                }
            }
            return TRUE;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    // Creates the window and its registration; reports to `started` whether notifications will come.
    void Run(std::promise<bool>& started) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &Impl::WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kWindowClass;
        if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            started.set_value(false);
            return;
        }
        HWND hwnd = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
        if (hwnd == nullptr) {
            started.set_value(false);
            return;
        }
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        window = hwnd;
        started.set_value(RegisterDeviceInterfaceNotifications(hwnd));

        std::optional<std::chrono::steady_clock::time_point> signalled;  // the deadline already reported
        for (;;) {
            DWORD timeout = INFINITE;
            std::optional<std::chrono::steady_clock::time_point> deadline;
            if (listener != 0) {
                deadline = VirtualKeyboard::Instance().NextDeadline();
                if (deadline && deadline != signalled) {
                    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                        *deadline - std::chrono::steady_clock::now());
                    timeout = static_cast<DWORD>(std::max<int64_t>(left.count(), 0));
                }
            }
            if (MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout, QS_ALLINPUT) == WAIT_TIMEOUT) {
                // The virtual keyboard's return is due: the owner's ProcessPending completes it.
                signalled = deadline;
                SetEvent(ready.Get());
                continue;
            }
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    DestroyWindow(hwnd);  // also ends the notification registration
                    return;
                }
                DispatchMessageW(&message);
            }
        }
    }
};

DeviceWatcher::DeviceWatcher() = default;

DeviceWatcher::~DeviceWatcher() {
    Stop();
}

bool DeviceWatcher::Start() {
    Stop();
    auto impl = std::make_unique<Impl>();
    if (!impl->ready.IsOpen()) {
        return false;
    }
    const bool simulated = VirtualKeyboard::Enabled();
    if (simulated) {
        Impl* raw = impl.get();
        impl->listener = VirtualKeyboard::Instance().AddListener([raw] { raw->Wake(); });
    }
    std::promise<bool> started;
    std::future<bool> result = started.get_future();
    // The thread owns the promise, so setting it never races with its destruction here.
    impl->thread =
        std::thread([raw = impl.get(), promise = std::move(started)]() mutable { raw->Run(promise); });
    const bool watching = result.get();
    impl_ = std::move(impl);
    if (!watching && !simulated) {
        Stop();
        return false;
    }
    return true;
}

void DeviceWatcher::Stop() {
    if (impl_ == nullptr) {
        return;
    }
    if (impl_->listener != 0) {
        VirtualKeyboard::Instance().RemoveListener(impl_->listener);
    }
    if (impl_->thread.joinable()) {
        if (const HWND hwnd = impl_->window.load(); hwnd != nullptr) {
            PostMessageW(hwnd, WM_QUIT, 0, 0);
        }
        impl_->thread.join();
    }
    impl_.reset();
}

bool DeviceWatcher::IsRunning() const {
    return impl_ != nullptr;
}

intptr_t DeviceWatcher::PollHandle() const {
    return impl_ != nullptr ? reinterpret_cast<intptr_t>(impl_->ready.Get()) : -1;
}

std::vector<DeviceEvent> DeviceWatcher::ProcessPending() {
    std::vector<DeviceEvent> events;
    if (impl_ == nullptr) {
        return events;
    }
    {
        const std::lock_guard guard(impl_->mutex);
        ResetEvent(impl_->ready.Get());
        events.swap(impl_->pending);
    }
    if (impl_->listener != 0) {
        std::vector<DeviceEvent> simulated = VirtualKeyboard::Instance().TakeEvents(impl_->listener);
        events.insert(events.end(), simulated.begin(), simulated.end());
    }
    return events;
}

}  // namespace kb
