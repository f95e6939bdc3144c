// Device notifications without the application's window: a message-only window on a thread of its own
// receives WM_DEVICECHANGE and queues the events; PollHandle() is an event object that is signalled while
// events are pending (a QWinEventNotifier in the application).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
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

// What the virtual keyboard's listener reaches: the event object and the window. The virtual keyboard
// calls its listeners outside its own lock, so a call may still be under way on another thread after the
// listener was removed: the listener co-owns this object, and a late call finds it closed instead of
// touching a watcher that is gone.
struct WakeSignal {
    std::mutex mutex;
    win32::ScopedHandle ready{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HWND window = nullptr;  // guarded by mutex; the message-only window, once it exists
    bool closed = false;    // guarded by mutex

    void Signal() {
        const std::lock_guard guard(mutex);
        if (closed) {
            return;
        }
        SetEvent(ready.Get());
        if (window != nullptr) {
            PostMessageW(window, kWakeMessage, 0, 0);
        }
    }
    void SetWindow(HWND hwnd) {
        const std::lock_guard guard(mutex);
        window = hwnd;
    }
    void Close() {
        const std::lock_guard guard(mutex);
        closed = true;
        window = nullptr;
    }
};

}  // namespace

struct DeviceWatcher::Impl {
    std::mutex mutex;
    std::vector<DeviceEvent> pending;  // guarded by mutex
    std::shared_ptr<WakeSignal> wake = std::make_shared<WakeSignal>();
    HANDLE ready = wake->ready.Get();    // signalled while events are pending; owned by wake
    std::atomic<HWND> window = nullptr;  // the message-only window, once it exists
    std::thread thread;
    int listener = 0;

    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    ~Impl() {
        // The listener first, so that no new call starts; one already under way finds the signal closed.
        if (listener != 0) {
            VirtualKeyboard::Instance().RemoveListener(listener);
        }
        wake->Close();
        if (thread.joinable()) {
            if (const HWND hwnd = window.load(); hwnd != nullptr) {
                PostMessageW(hwnd, WM_QUIT, 0, 0);
            }
            thread.join();
        }
    }

    void Queue(DeviceEvent event) {
        const std::lock_guard guard(mutex);
        pending.push_back(std::move(event));
        SetEvent(ready);
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
        wake->SetWindow(hwnd);
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
                SetEvent(ready);
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
    if (!impl->wake->ready.IsOpen()) {
        return false;
    }
    const bool simulated = VirtualKeyboard::Enabled();
    if (simulated) {
        impl->listener = VirtualKeyboard::Instance().AddListener([wake = impl->wake] { wake->Signal(); });
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
    impl_.reset();
}

bool DeviceWatcher::IsRunning() const {
    return impl_ != nullptr;
}

intptr_t DeviceWatcher::PollHandle() const {
    return impl_ != nullptr ? reinterpret_cast<intptr_t>(impl_->ready) : -1;
}

std::vector<DeviceEvent> DeviceWatcher::ProcessPending() {
    std::vector<DeviceEvent> events;
    if (impl_ == nullptr) {
        return events;
    }
    {
        const std::lock_guard guard(impl_->mutex);
        ResetEvent(impl_->ready);
        events.swap(impl_->pending);
    }
    if (impl_->listener != 0) {
        std::vector<DeviceEvent> simulated = VirtualKeyboard::Instance().TakeEvents(impl_->listener);
        events.insert(events.end(), simulated.begin(), simulated.end());
    }
    return events;
}

}  // namespace kb
