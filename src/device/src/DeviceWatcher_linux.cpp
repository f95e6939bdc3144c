#include "HidrawNode_linux.h"
#include "kb/common/UniqueFd.h"
#include "kb/common/Utf.h"
#include "kb/device/DeviceWatcher.h"
#include "kb/device/VirtualKeyboard.h"

#include <libudev.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace kb {

namespace {

// The eventfd that wakes the watcher. The virtual keyboard calls its listeners outside its own lock, so a
// call may still be under way on another thread after the listener was removed: the descriptor is closed
// only under this mutex, and a late call then finds it gone instead of writing to a reused number.
struct WakeSignal {
    std::mutex mutex;
    UniqueFd fd;

    void Signal() {
        const std::lock_guard guard(mutex);
        if (fd) {
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t ignored = ::write(fd.Get(), &one, sizeof one);
        }
    }
    void Close() {
        const std::lock_guard guard(mutex);
        fd.Reset();
    }
};

}  // namespace

struct DeviceWatcher::Impl {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    UniqueFd epoll;
    std::shared_ptr<WakeSignal> wakeSignal;
    int wake = -1;   // eventfd: the virtual keyboard has news (owned by wakeSignal)
    UniqueFd timer;  // timerfd: the virtual keyboard's return is due
    int listener = 0;

    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    ~Impl() {
        // The listener first, so that no new wake-up starts; one already under way finds the eventfd gone.
        if (listener != 0) {
            VirtualKeyboard::Instance().RemoveListener(listener);
        }
        if (monitor != nullptr) {
            udev_monitor_unref(monitor);
        }
        if (context != nullptr) {
            udev_unref(context);
        }
        if (wakeSignal != nullptr) {
            wakeSignal->Close();
        }
    }
    // Identity paths by DEVPATH, learnt while the sysfs tree exists, for naming a later removal.
    std::map<std::string, std::vector<std::string>> known;

    void Remember(udev_device* device, std::vector<DeviceEvent>* arrivals) {
        HidrawNode node;
        if (!DescribeHidrawNode(device, node)) {
            return;
        }
        std::vector<std::string>& paths = known[node.devpath];
        paths.clear();
        for (const HidrawEntry& entry : node.entries) {
            paths.push_back(entry.path);
            if (arrivals != nullptr) {
                arrivals->push_back({DeviceEventKind::Arrival, Utf8ToUtf16(entry.path)});
            }
        }
    }

    void Forget(udev_device* device, std::vector<DeviceEvent>& removals) {
        const char* devpath = udev_device_get_devpath(device);
        const auto it = devpath != nullptr ? known.find(devpath) : known.end();
        if (it == known.end()) {
            return;  // never seen: its identity cannot be told any more
        }
        for (const std::string& path : it->second) {
            removals.push_back({DeviceEventKind::Removal, Utf8ToUtf16(path)});
        }
        known.erase(it);
    }

    void EnumeratePresent() {
        udev_enumerate* enumerate = udev_enumerate_new(context);
        if (enumerate == nullptr) {
            return;
        }
        udev_enumerate_add_match_subsystem(enumerate, "hidraw");
        udev_enumerate_scan_devices(enumerate);
        udev_list_entry* item = nullptr;
        udev_list_entry_foreach(item, udev_enumerate_get_list_entry(enumerate)) {
            if (udev_device* device = udev_device_new_from_syspath(context, udev_list_entry_get_name(item))) {
                Remember(device, nullptr);
                udev_device_unref(device);
            }
        }
        udev_enumerate_unref(enumerate);
    }

    // Arms the timer for the virtual keyboard's return (or disarms it).
    void ArmTimer() {
        if (!timer) {
            return;
        }
        itimerspec spec{};
        if (const auto deadline = VirtualKeyboard::Instance().NextDeadline()) {
            const auto ns =
                std::chrono::duration_cast<std::chrono::nanoseconds>(deadline->time_since_epoch()).count();
            const long long at = ns > 0 ? ns : 1;  // 0 would disarm
            spec.it_value.tv_sec = static_cast<time_t>(at / 1000000000LL);
            spec.it_value.tv_nsec = static_cast<long>(at % 1000000000LL);
        }
        timerfd_settime(timer.Get(), TFD_TIMER_ABSTIME, &spec, nullptr);
    }

    void Add(int fd) const {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        epoll_ctl(epoll.Get(), EPOLL_CTL_ADD, fd, &event);
    }

    static void Drain(int fd) {
        uint64_t count = 0;
        while (fd >= 0 && ::read(fd, &count, sizeof count) > 0) {
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
    impl->epoll.Reset(epoll_create1(EPOLL_CLOEXEC));
    if (!impl->epoll) {
        return false;
    }
    impl->context = udev_new();
    if (impl->context != nullptr) {
        impl->monitor = udev_monitor_new_from_netlink(impl->context, "udev");
        if (impl->monitor != nullptr &&
            (udev_monitor_filter_add_match_subsystem_devtype(impl->monitor, "hidraw", nullptr) < 0 ||
             udev_monitor_enable_receiving(impl->monitor) < 0)) {
            udev_monitor_unref(impl->monitor);
            impl->monitor = nullptr;
        }
        if (impl->monitor != nullptr) {
            impl->Add(udev_monitor_get_fd(impl->monitor));
        }
        // After the monitor listens, so that no node slips between the two.
        impl->EnumeratePresent();
    }
    if (VirtualKeyboard::Enabled()) {
        impl->wakeSignal = std::make_shared<WakeSignal>();
        impl->wakeSignal->fd.Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        impl->wake = impl->wakeSignal->fd.Get();
        impl->timer.Reset(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
        if (impl->wake >= 0 && impl->timer) {
            impl->Add(impl->wake);
            impl->Add(impl->timer.Get());
            impl->listener =
                VirtualKeyboard::Instance().AddListener([signal = impl->wakeSignal] { signal->Signal(); });
        }
    }
    if (impl->monitor == nullptr && impl->listener == 0) {
        return false;
    }
    impl_ = std::move(impl);
    impl_->ArmTimer();
    return true;
}

void DeviceWatcher::Stop() {
    impl_.reset();
}

bool DeviceWatcher::IsRunning() const {
    return impl_ != nullptr;
}

intptr_t DeviceWatcher::PollHandle() const {
    return impl_ != nullptr ? impl_->epoll.Get() : -1;
}

std::vector<DeviceEvent> DeviceWatcher::ProcessPending() {
    std::vector<DeviceEvent> events;
    if (impl_ == nullptr) {
        return events;
    }
    if (impl_->monitor != nullptr) {
        while (udev_device* device = udev_monitor_receive_device(impl_->monitor)) {
            const char* action = udev_device_get_action(device);
            if (action != nullptr && std::strcmp(action, "add") == 0) {
                impl_->Remember(device, &events);
            } else if (action != nullptr && std::strcmp(action, "remove") == 0) {
                impl_->Forget(device, events);
            }
            udev_device_unref(device);
        }
    }
    if (impl_->listener != 0) {
        Impl::Drain(impl_->wake);
        Impl::Drain(impl_->timer.Get());
        std::vector<DeviceEvent> simulated = VirtualKeyboard::Instance().TakeEvents(impl_->listener);
        events.insert(events.end(), simulated.begin(), simulated.end());
        impl_->ArmTimer();
    }
    return events;
}

}  // namespace kb
