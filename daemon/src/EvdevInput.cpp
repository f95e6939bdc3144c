#include "src/EvdevInput.h"

#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <libudev.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "src/Log.h"
#include "src/UinputOutput.h"

namespace kb::filterd {

EvdevInput::EvdevInput(int32_t vendor, int32_t product) : vendor_(vendor), product_(product) {}

EvdevInput::Device::~Device() {
    if (grabbed) {
        libevdev_grab(dev, LIBEVDEV_UNGRAB);
    }
    libevdev_free(dev);
}

EvdevInput::~EvdevInput() {
    devices_.clear();
    if (monitor_ != nullptr) {
        udev_monitor_unref(monitor_);
    }
    if (udev_ != nullptr) {
        udev_unref(udev_);
    }
}

bool EvdevInput::Open(std::string& error) {
    udev_ = udev_new();
    if (udev_ == nullptr) {
        error = "udev is not available";
        return false;
    }
    // Start listening before enumerating, so that no arrival falls between the two.
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "input", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        error = "cannot watch input devices through udev";
        return false;
    }
    udev_enumerate* e = udev_enumerate_new(udev_);
    udev_enumerate_add_match_subsystem(e, "input");
    udev_enumerate_scan_devices(e);
    for (udev_list_entry* it = udev_enumerate_get_list_entry(e); it != nullptr;
         it = udev_list_entry_get_next(it)) {
        if (udev_device* d = udev_device_new_from_syspath(udev_, udev_list_entry_get_name(it))) {
            if (const char* node = udev_device_get_devnode(d)) {
                TryAdd(node);
            }
            udev_device_unref(d);
        }
    }
    udev_enumerate_unref(e);
    if (devices_.empty()) {
        Log("the keyboard (vendor %04x, product %04x) is not connected; waiting for it",
            static_cast<unsigned>(vendor_), static_cast<unsigned>(product_));
    }
    return true;
}

void EvdevInput::TryAdd(const char* node) {
    if (std::strncmp(node, "/dev/input/event", 16) != 0) {
        return;
    }
    for (const auto& d : devices_) {
        if (d->node == node) {
            return;
        }
    }
    UniqueFd fd(::open(node, O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        return;  // not ours to read (or already gone)
    }
    libevdev* dev = nullptr;
    if (libevdev_new_from_fd(fd.Get(), &dev) < 0) {
        return;
    }
    const bool matches =
        (vendor_ <= 0 || libevdev_get_id_vendor(dev) == vendor_) &&
        (product_ <= 0 || libevdev_get_id_product(dev) == product_) &&
        libevdev_has_event_type(dev, EV_KEY) != 0 &&
        std::strcmp(libevdev_get_name(dev), kVirtualKeyboardName) != 0;  // never our own output
    auto d = std::make_unique<Device>(node, std::move(fd), dev);         // owns dev from here on
    if (!matches) {
        return;
    }
    Log("keyboard node %s (%s) found", node, libevdev_get_name(dev));
    devices_.push_back(std::move(d));
}

bool EvdevInput::AnyKeyHeld(const Device& d) const {
    for (unsigned k = 1; k < KEY_CNT; ++k) {
        if (libevdev_has_event_code(d.dev, EV_KEY, k) != 0 &&
            libevdev_get_event_value(d.dev, EV_KEY, k) != 0) {
            return true;
        }
    }
    return false;
}

bool EvdevInput::KernelKeyHeld(const Device& d) const {
    std::array<uint8_t, KEY_CNT / 8> bits{};
    if (::ioctl(d.fd.Get(), EVIOCGKEY(bits.size()), bits.data()) < 0) {
        return false;
    }
    return std::any_of(bits.begin(), bits.end(), [](uint8_t b) { return b != 0; });
}

void EvdevInput::AppendPollFds(std::vector<pollfd>& fds) const {
    if (monitor_ != nullptr) {
        fds.push_back({udev_monitor_get_fd(monitor_), POLLIN, 0});
    }
    for (const auto& d : devices_) {
        fds.push_back({d->fd.Get(), POLLIN, 0});
    }
}

bool EvdevInput::Drain(Device& d, IInputEvents& events, Time now) {
    input_event ev{};
    int flag = LIBEVDEV_READ_FLAG_NORMAL;
    for (;;) {
        const int rc = libevdev_next_event(d.dev, flag, &ev);
        if (rc == -EAGAIN) {
            if (flag == LIBEVDEV_READ_FLAG_SYNC) {
                flag = LIBEVDEV_READ_FLAG_NORMAL;  // resynchronised; go on with new events
                continue;
            }
            break;
        }
        if (rc < 0) {
            return rc != -ENODEV && rc != -EIO ? true : false;
        }
        if (rc == LIBEVDEV_READ_STATUS_SYNC) {
            flag = LIBEVDEV_READ_FLAG_SYNC;  // events were dropped: ev is one of the catch-up events
        }
        // Autorepeat (value 2) is left to the emitting device's own repeat.
        if (!d.grabbed || ev.type != EV_KEY || ev.value == 2 || ev.code >= KEY_CNT) {
            continue;
        }
        const auto key = static_cast<uint16_t>(ev.code);
        const auto it = std::find(d.held.begin(), d.held.end(), key);
        if (ev.value != 0 && it == d.held.end()) {
            d.held.push_back(key);
        } else if (ev.value == 0 && it != d.held.end()) {
            d.held.erase(it);
        }
        events.OnKey(key, ev.value != 0, now);
    }
    if (!d.grabbed && !AnyKeyHeld(d)) {
        TryGrab(d);
    }
    return true;
}

void EvdevInput::TryGrab(Device& d) {
    const int rc = libevdev_grab(d.dev, LIBEVDEV_GRAB);
    if (rc == 0) {
        // A key that went down after the last read reached the system, which would never see its
        // release through a grabbed node: let go, and grab once that key is up.
        if (KernelKeyHeld(d)) {
            libevdev_grab(d.dev, LIBEVDEV_UNGRAB);
            return;
        }
        d.grabbed = true;
        if (d.grabError != 0) {
            Log("keyboard node %s grabbed after %lu more failed attempts", d.node.c_str(), d.grabRepeats);
        } else {
            Log("keyboard node %s grabbed", d.node.c_str());
        }
        d.grabError = 0;
        d.grabRepeats = 0;
        return;
    }
    const int error = -rc;
    if (error == d.grabError) {
        ++d.grabRepeats;
        return;
    }
    if (d.grabRepeats > 0) {
        Log("cannot grab %s: %s (%lu more times)", d.node.c_str(), std::strerror(d.grabError), d.grabRepeats);
    }
    Log("cannot grab %s: %s%s", d.node.c_str(), std::strerror(error),
        error == EBUSY ? " (another program holds it); trying again at each event" : "");
    d.grabError = error;
    d.grabRepeats = 0;
}

void EvdevInput::Remove(std::size_t index, IInputEvents& events, Time now) {
    Device& d = *devices_[index];
    Log("keyboard node %s gone", d.node.c_str());
    for (uint16_t key : d.held) {
        events.OnKey(key, false, now);
    }
    devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(index));
    // Whatever was played or remapped from that keyboard is let go.
    events.OnKeyboardGone(now);
}

void EvdevInput::Service(IInputEvents& events, Time now) {
    while (udev_device* d = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(d);
        const char* node = udev_device_get_devnode(d);
        if (action != nullptr && node != nullptr) {
            if (std::strcmp(action, "add") == 0) {
                TryAdd(node);
            } else if (std::strcmp(action, "remove") == 0) {
                for (std::size_t i = 0; i < devices_.size(); ++i) {
                    if (devices_[i]->node == node) {
                        Remove(i, events, now);
                        break;
                    }
                }
            }
        }
        udev_device_unref(d);
    }
    for (std::size_t i = 0; i < devices_.size();) {
        if (Drain(*devices_[i], events, now)) {
            ++i;
        } else {
            Remove(i, events, now);
        }
    }
}

std::vector<EvdevInput::NodeState> EvdevInput::Nodes() const {
    std::vector<NodeState> out;
    for (const auto& d : devices_) {
        out.push_back({d->node, d->grabbed});
    }
    return out;
}

void EvdevInput::SetLed(uint16_t led, bool on) {
    for (const auto& d : devices_) {
        if (libevdev_has_event_code(d->dev, EV_LED, led) != 0) {
            libevdev_kernel_set_led_value(d->dev, led, on ? LIBEVDEV_LED_ON : LIBEVDEV_LED_OFF);
        }
    }
}

}  // namespace kb::filterd
