// The keyboard as the window shows it: the firmware version label, the more-menu's firmware check and
// the factory reset.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

class QLabel;
class QWidget;

namespace kb {
class HidDevice;
class LightingSender;
class PacingClock;
namespace KbFiltrDevice {
class FilterChannel;
}
namespace ui {
class IPrompt;
}
}  // namespace kb

namespace kb::app {

class DevicePart {
  public:
    struct Services {
        HidDevice& hid;
        LightingSender& sender;  // keeps the firmware version
        KbFiltrDevice::FilterChannel& filter;
        PacingClock& pacing;  // the reset's pauses between reload requests
        kb::ui::IPrompt& prompt;
        // The reset's settings are gone: the pages show the factory values; the keys in the list had
        // assignments until now.
        std::function<void(const std::vector<int32_t>& assignedKeys)> showFactorySettings;
    };

    explicit DevicePart(Services services);

    DevicePart(const DevicePart&) = delete;
    DevicePart& operator=(const DevicePart&) = delete;

    // The version label below `window`, which also owns the reset's question.
    void FindWidgets(QWidget* window);

    // The version read last; while it is unknown (-1) the label keeps the last one shown.
    void ShowFirmwareVersion();
    void OnFirmwareCheck();
    // Asks first; then every setting goes back to the factory's, the filter reloads and the keyboard is
    // told to reset itself. It goes away and comes back meanwhile (see ResetPending).
    void OnBtnRestoreFactory();
    // True from a confirmed reset until the keyboard is back: its removal does not end the program.
    bool ResetPending() const { return resetPending_; }
    void KeyboardBack() { resetPending_ = false; }

  private:
    Services s_;
    QWidget* window_ = nullptr;
    QLabel* versionLabel_ = nullptr;
    bool resetPending_ = false;
};

}  // namespace kb::app
