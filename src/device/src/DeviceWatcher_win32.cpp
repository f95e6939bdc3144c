// The device watcher's Windows part, without the application's window: a message-only window on a thread
// of its own receives WM_DEVICECHANGE and queues the events; the poll handle is an event object that is
// signalled while events are pending (a QWinEventNotifier in the application).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "DeviceWatchSource.h"
#include "Win32Api_win32.h"
#include "kb/device/DeviceNotification.h"
#include "kb/device/VirtualKeyboard.h"

namespace kb {
namespace {

constexpr wchar_t kWindowClass[] = L"kbstudio.DeviceWatcher";
constexpr UINT kWakeMessage = WM_APP + 1;  // the virtual keyboard's deadline may have changed

class WindowWatchSource final : public DeviceWatchSource {
  public:
    explicit WindowWatchSource(bool virtualKeyboard) : virtualKeyboard_(virtualKeyboard) {}
    WindowWatchSource(const WindowWatchSource&) = delete;
    WindowWatchSource& operator=(const WindowWatchSource&) = delete;

    ~WindowWatchSource() override {
        if (thread_.joinable()) {
            if (const HWND hwnd = window_.load(); hwnd != nullptr) {
                PostMessageW(hwnd, WM_QUIT, 0, 0);
            }
            thread_.join();
        }
    }

    // Starts the window's thread; false when the event object is missing. Watching() tells whether the
    // system's notifications will come.
    bool Open() {
        if (!ready_.IsOpen()) {
            return false;
        }
        std::promise<bool> started;
        std::future<bool> result = started.get_future();
        // The thread owns the promise, so setting it never races with its destruction here.
        thread_ = std::thread([this, promise = std::move(started)]() mutable { Run(promise); });
        watching_ = result.get();
        return true;
    }

    intptr_t PollHandle() const override { return reinterpret_cast<intptr_t>(ready_.Get()); }
    bool Watching() const override { return watching_; }
    bool CanWake() const override { return true; }

    void Wake() override {
        SetEvent(ready_.Get());
        if (const HWND hwnd = window_.load(); hwnd != nullptr) {
            PostMessageW(hwnd, kWakeMessage, 0, 0);  // the thread computes the next deadline again
        }
    }

    std::vector<DeviceEvent> TakePending() override {
        std::vector<DeviceEvent> events;
        const std::lock_guard guard(mutex_);
        ResetEvent(ready_.Get());
        events.swap(pending_);
        return events;
    }

    // The window's thread waits for the deadline itself.
    void ArmDeadline() override {}

  private:
    void Queue(DeviceEvent event) {
        const std::lock_guard guard(mutex_);
        pending_.push_back(std::move(event));
        SetEvent(ready_.Get());
    }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<WindowWatchSource*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
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
        windowClass.lpfnWndProc = &WindowWatchSource::WindowProc;
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
        window_ = hwnd;
        started.set_value(RegisterDeviceInterfaceNotifications(hwnd));

        std::optional<std::chrono::steady_clock::time_point> signalled;  // the deadline already reported
        for (;;) {
            DWORD timeout = INFINITE;
            std::optional<std::chrono::steady_clock::time_point> deadline;
            if (virtualKeyboard_) {
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
                SetEvent(ready_.Get());
                continue;
            }
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    window_ = nullptr;
                    DestroyWindow(hwnd);  // also ends the notification registration
                    return;
                }
                DispatchMessageW(&message);
            }
        }
    }

    const bool virtualKeyboard_;
    win32::ScopedHandle ready_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::mutex mutex_;
    std::vector<DeviceEvent> pending_;    // guarded by mutex_
    std::atomic<HWND> window_ = nullptr;  // the message-only window while it exists
    bool watching_ = false;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<DeviceWatchSource> OpenDeviceWatchSource(bool virtualKeyboard) {
    auto source = std::make_unique<WindowWatchSource>(virtualKeyboard);
    if (!source->Open()) {
        return nullptr;
    }
    return source;
}

}  // namespace kb
