#include "src/UinputOutput.h"

#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "src/Log.h"

namespace kb::filterd {

UinputOutput::~UinputOutput() {
    if (uinput_ != nullptr) {
        libevdev_uinput_destroy(uinput_);
    }
    if (dev_ != nullptr) {
        libevdev_free(dev_);
    }
}

bool UinputOutput::Open(std::string& error) {
    dev_ = libevdev_new();
    libevdev_set_name(dev_, kVirtualKeyboardName);
    libevdev_set_id_bustype(dev_, BUS_VIRTUAL);
    libevdev_enable_event_type(dev_, EV_KEY);
    // Keyboard keys only: button codes (0x100..0x15F and the trigger-happy range) would make desktops
    // take the device for a mouse or a joystick.
    for (unsigned k = 1; k < BTN_MISC; ++k) {
        libevdev_enable_event_code(dev_, EV_KEY, k, nullptr);
    }
    for (unsigned k = KEY_OK; k < BTN_TRIGGER_HAPPY; ++k) {
        libevdev_enable_event_code(dev_, EV_KEY, k, nullptr);
    }
    // The kernel repeats held keys of this device itself; the keyboard's own repeats are dropped.
    libevdev_enable_event_type(dev_, EV_REP);
    libevdev_enable_event_type(dev_, EV_LED);
    for (unsigned led : {LED_NUML, LED_CAPSL, LED_SCROLLL, LED_COMPOSE, LED_KANA}) {
        libevdev_enable_event_code(dev_, EV_LED, led, nullptr);
    }
    const int rc = libevdev_uinput_create_from_device(dev_, LIBEVDEV_UINPUT_OPEN_MANAGED, &uinput_);
    if (rc != 0) {
        error = std::string("cannot create the uinput keyboard: ") + std::strerror(-rc);
        uinput_ = nullptr;
        return false;
    }
    const int fd = libevdev_uinput_get_fd(uinput_);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    Log("emitting through %s",
        libevdev_uinput_get_devnode(uinput_) ? libevdev_uinput_get_devnode(uinput_) : "uinput");
    return true;
}

void UinputOutput::Emit(uint16_t key, bool down) {
    // One report per key event, so that every reader sees the events in exactly this order.
    if (libevdev_uinput_write_event(uinput_, EV_KEY, key, down ? 1 : 0) != 0 ||
        libevdev_uinput_write_event(uinput_, EV_SYN, SYN_REPORT, 0) != 0) {
        Log("uinput write failed for key %u", static_cast<unsigned>(key));
    }
}

int UinputOutput::LedFd() const {
    return uinput_ != nullptr ? libevdev_uinput_get_fd(uinput_) : -1;
}

void UinputOutput::ServiceLeds(IInput& input) {
    input_event ev{};
    while (::read(LedFd(), &ev, sizeof ev) == static_cast<ssize_t>(sizeof ev)) {
        if (ev.type == EV_LED) {
            input.SetLed(ev.code, ev.value != 0);
        }
    }
}

}  // namespace kb::filterd
