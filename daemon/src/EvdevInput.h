// The keyboard's evdev devices: every event node with keys whose vendor and product match, found at
// start and followed through udev as the keyboard is unplugged and plugged back. Each node is grabbed
// (so that only the daemon sees its keys) once no key is held on it; until then its events go to the
// system as usual and are not handed on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kb/common/UniqueFd.h"
#include "src/Io.h"

struct libevdev;
struct udev;
struct udev_monitor;

namespace kb::filterd {

class EvdevInput : public IInput {
  public:
    // vendor/product as in config.xml; a value <= 0 matches any.
    EvdevInput(int32_t vendor, int32_t product);
    ~EvdevInput() override;
    EvdevInput(const EvdevInput&) = delete;
    EvdevInput& operator=(const EvdevInput&) = delete;

    // Starts the udev monitor and opens the nodes present now. False with `error` when udev fails.
    bool Open(std::string& error);

    void AppendPollFds(std::vector<pollfd>& fds) const override;
    void Service(IInputEvents& events, Time now) override;
    void SetLed(uint16_t led, bool on) override;

    // The event nodes in use, in the order found, and whether each is grabbed yet.
    struct NodeState {
        std::string node;
        bool grabbed = false;
        bool operator==(const NodeState&) const = default;
    };
    std::vector<NodeState> Nodes() const;

  private:
    struct Device {
        Device(std::string nodePath, UniqueFd nodeFd, libevdev* evdev)
            : node(std::move(nodePath)), fd(std::move(nodeFd)), dev(evdev) {}
        ~Device();  // ungrabs and frees `dev`; `fd` closes after it
        Device(const Device&) = delete;
        Device& operator=(const Device&) = delete;

        std::string node;
        UniqueFd fd;
        libevdev* dev = nullptr;
        bool grabbed = false;
        std::vector<uint16_t> held;  // keys handed on as down since the grab
        // The last grab failure's errno and how often it repeated since it was logged: a node another
        // program holds fails on every wake-up, and one line says as much as a thousand.
        int grabError = 0;
        unsigned long grabRepeats = 0;
    };

    void TryAdd(const char* node);
    void Remove(std::size_t index, IInputEvents& events, Time now);
    bool AnyKeyHeld(const Device& d) const;
    // The kernel's own view, which may be ahead of the events read so far.
    bool KernelKeyHeld(const Device& d) const;
    // False when the device is gone.
    bool Drain(Device& d, IInputEvents& events, Time now);
    void TryGrab(Device& d);

    int32_t vendor_;
    int32_t product_;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::vector<std::unique_ptr<Device>> devices_;
};

}  // namespace kb::filterd
