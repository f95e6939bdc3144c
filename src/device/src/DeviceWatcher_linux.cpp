// The device watcher's Linux part: a udev monitor on subsystem "hidraw" and, for the virtual keyboard, an
// eventfd and a timerfd, all behind one epoll descriptor that the owner waits on.
#include <libudev.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "DeviceWatchSource.h"
#include "HidrawNode_linux.h"
#include "kb/common/UniqueFd.h"
#include "kb/common/Utf.h"
#include "kb/device/VirtualKeyboard.h"

namespace kb {
namespace {

class UdevWatchSource final : public DeviceWatchSource {
  public:
    UdevWatchSource() = default;
    UdevWatchSource(const UdevWatchSource&) = delete;
    UdevWatchSource& operator=(const UdevWatchSource&) = delete;

    ~UdevWatchSource() override {
        if (monitor_ != nullptr) {
            udev_monitor_unref(monitor_);
        }
        if (context_ != nullptr) {
            udev_unref(context_);
        }
    }

    bool Open(bool virtualKeyboard) {
        epoll_.Reset(epoll_create1(EPOLL_CLOEXEC));
        if (!epoll_) {
            return false;
        }
        context_ = udev_new();
        if (context_ != nullptr) {
            monitor_ = udev_monitor_new_from_netlink(context_, "udev");
            if (monitor_ != nullptr &&
                (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
                 udev_monitor_enable_receiving(monitor_) < 0)) {
                udev_monitor_unref(monitor_);
                monitor_ = nullptr;
            }
            if (monitor_ != nullptr) {
                Add(udev_monitor_get_fd(monitor_));
            }
            // After the monitor listens, so that no node slips between the two.
            EnumeratePresent();
        }
        if (virtualKeyboard) {
            wake_.Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
            timer_.Reset(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
            if (wake_ && timer_) {
                Add(wake_.Get());
                Add(timer_.Get());
            } else {
                wake_.Reset();
                timer_.Reset();
            }
        }
        return true;
    }

    intptr_t PollHandle() const override { return epoll_.Get(); }
    bool Watching() const override { return monitor_ != nullptr; }
    bool CanWake() const override { return static_cast<bool>(wake_); }

    void Wake() override {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(wake_.Get(), &one, sizeof one);
    }

    std::vector<DeviceEvent> TakePending() override {
        std::vector<DeviceEvent> events;
        if (monitor_ != nullptr) {
            while (udev_device* device = udev_monitor_receive_device(monitor_)) {
                const char* action = udev_device_get_action(device);
                if (action != nullptr && std::strcmp(action, "add") == 0) {
                    Remember(device, &events);
                } else if (action != nullptr && std::strcmp(action, "remove") == 0) {
                    Forget(device, events);
                }
                udev_device_unref(device);
            }
        }
        Drain(wake_.Get());
        Drain(timer_.Get());
        return events;
    }

    // Arms the timer for the virtual keyboard's return (or disarms it).
    void ArmDeadline() override {
        if (!timer_) {
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
        timerfd_settime(timer_.Get(), TFD_TIMER_ABSTIME, &spec, nullptr);
    }

  private:
    void Remember(udev_device* device, std::vector<DeviceEvent>* arrivals) {
        HidrawNode node;
        if (!DescribeHidrawNode(device, node)) {
            return;
        }
        std::vector<std::string>& paths = known_[node.devpath];
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
        const auto it = devpath != nullptr ? known_.find(devpath) : known_.end();
        if (it == known_.end()) {
            return;  // never seen: its identity cannot be told any more
        }
        for (const std::string& path : it->second) {
            removals.push_back({DeviceEventKind::Removal, Utf8ToUtf16(path)});
        }
        known_.erase(it);
    }

    void EnumeratePresent() {
        udev_enumerate* enumerate = udev_enumerate_new(context_);
        if (enumerate == nullptr) {
            return;
        }
        udev_enumerate_add_match_subsystem(enumerate, "hidraw");
        udev_enumerate_scan_devices(enumerate);
        udev_list_entry* item = nullptr;
        udev_list_entry_foreach(item, udev_enumerate_get_list_entry(enumerate)) {
            if (udev_device* device =
                    udev_device_new_from_syspath(context_, udev_list_entry_get_name(item))) {
                Remember(device, nullptr);
                udev_device_unref(device);
            }
        }
        udev_enumerate_unref(enumerate);
    }

    void Add(int fd) const {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, fd, &event);
    }

    static void Drain(int fd) {
        uint64_t count = 0;
        while (fd >= 0 && ::read(fd, &count, sizeof count) > 0) {
        }
    }

    udev* context_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    UniqueFd epoll_;
    UniqueFd wake_;   // eventfd: the virtual keyboard has news
    UniqueFd timer_;  // timerfd: the virtual keyboard's return is due
    // Identity paths by DEVPATH, learnt while the sysfs tree exists, for naming a later removal.
    std::map<std::string, std::vector<std::string>> known_;
};

}  // namespace

std::unique_ptr<DeviceWatchSource> OpenDeviceWatchSource(bool virtualKeyboard) {
    auto source = std::make_unique<UdevWatchSource>();
    if (!source->Open(virtualKeyboard)) {
        return nullptr;
    }
    return source;
}

}  // namespace kb
