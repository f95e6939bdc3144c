// The listener of the filter channel's monitor thread, and its adapter for a window class.
#pragma once

#include <cstdint>

namespace kb::KbFiltrDevice {

class IMonitorProxy {
  public:
    virtual ~IMonitorProxy() = default;
    // Runs on the monitor thread while the channel's lock is held: it must only hand the event on (post it
    // to a window, queue it) and return. `pressed` is 1 for a press, 0 for a release.
    virtual void OnMonitorKey(uint32_t keyCode, uint32_t pressed) = 0;
};

// Forwards each event to a member operation of a window object, which must outlive the proxy.
template <typename T>
class MonitorProxy final : public IMonitorProxy {
  public:
    using Handler = void (T::*)(uint32_t keyCode, uint32_t pressed);

    MonitorProxy(T* target, Handler handler) : target_(target), handler_(handler) {}

    void OnMonitorKey(uint32_t keyCode, uint32_t pressed) override {
        if (target_ != nullptr && handler_ != nullptr) {
            (target_->*handler_)(keyCode, pressed);
        }
    }

  private:
    T* target_;
    Handler handler_;
};

}  // namespace kb::KbFiltrDevice
