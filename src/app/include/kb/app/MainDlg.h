// The main window: owner of the keyboard's HID interface, the filter channel and the task thread, and of
// the pages that make it up: the lighting page, the assignment page (the keyboard picture), the device
// part (firmware, factory reset) and the chrome (title bar, menus, tray, language). It builds the window,
// routes the layout's events to the pages, starts up, follows the keyboard's arrival and removal, and
// ends.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "kb/app/DevicePart.h"
#include "kb/app/LightingPage.h"
#include "kb/app/ProfilePage.h"
#include "kb/app/WindowChrome.h"
#include "kb/assignment/KeyAssignmentPage.h"
#include "kb/common/TaskThread.h"
#include "kb/device/DeviceWatcher.h"
#include "kb/device/FilterChannel.h"
#include "kb/device/HidDevice.h"
#include "kb/device/LightingSender.h"
#include "kb/ui/Events.h"
#include "kb/ui/Prompt.h"
#include "kb/widgets/CoordButtonImage.h"

class QComboBox;

namespace kb::ui {
class LayoutLoader;
}

namespace kb::app {

class SingleInstance;

// What the window is given from outside; tests replace the clocks, the prompt and the filter.
struct MainDlgOptions {
    kb::ui::IPrompt* prompt = nullptr;         // message boxes; QMessageBox when null
    std::shared_ptr<TaskClock> taskClock;      // the task thread's time; the steady clock when null
    std::shared_ptr<PacingClock> pacingClock;  // paced reports and the reset's pauses
    KbFiltrDevice::FilterOpener filterOpener;  // how the filter is found; the default when empty
    bool watchDevices = true;                  // false: device events are delivered by hand
    SingleInstance* instance = nullptr;        // marked as this instance's window while it lives
    std::function<void()> onEnd;               // once, when the window is destroyed
    ISendTimer* sendTimer = nullptr;           // wakes the paced lighting reports; a Qt timer when null
    // Started hidden (-hid, at login): a missing keyboard is waited for in the tray without a warning,
    // and the start-up goes on when it arrives.
    bool waitForKeyboard = false;
    // The settings folder whose profiles the window lists and follows; none when empty.
    std::filesystem::path dataFolder;
};

class CMainDlg : public QObject {
  public:
    explicit CMainDlg(MainDlgOptions options = {});
    // Stops and awaits the task thread, tears the filter channel down, then deletes the window.
    ~CMainDlg() override;

    CMainDlg(const CMainDlg&) = delete;
    CMainDlg& operator=(const CMainDlg&) = delete;

    // Builds the window from the layout "XML_MAINWND"; false when the layout does not load.
    bool Create(kb::ui::LayoutLoader& loader);
    // Start-up: device channels, firmware version, marks, page refresh, task thread. When no keyboard is
    // found it warns and destroys the window. Returns 0.
    int OnInit();
    // Destroys the window (once): the task thread is asked to stop, the instance mark removed, the owner
    // told through onEnd. The object itself lives on until its destruction.
    void DestroyWindow();
    bool IsDestroyed() const { return destroyed_; }
    // Started hidden without the keyboard, and it has not arrived yet.
    bool IsWaitingForKeyboard() const { return waitingForKeyboard_; }
    QWidget* Window() const { return window_; }

    // A keyboard arrived or left: the configured one is opened again (every page refreshed) or closed
    // (the program ends unless a factory reset is under way).
    void OnDeviceChange(const DeviceEvent& event);

    // The pages; the chrome exists once the window is created, the assignment page after start-up.
    LightingPage& Lighting() { return *lighting_; }
    DevicePart& Device() { return *device_; }
    WindowChrome& Chrome() { return *chrome_; }
    kb::assignment::KeyAssignmentPage* Assignments() const { return assignments_.get(); }
    // Null without a data folder, or before the window is created.
    ProfilePage* Profiles() const { return profiles_.get(); }

    // The settings folder's files hold another profile now: read again, shown, sent, filter reloaded.
    void ReloadActiveProfile();

    // State, for the pages and for tests.
    HidDevice& Hid() { return hid_; }
    KbFiltrDevice::FilterChannel& Filter() { return *filter_; }
    TaskThread& Tasks() { return *tasks_; }
    LightingSender& Sender() { return *sender_; }
    int32_t FirmwareVersion() const { return sender_->FirmwareVersion(); }
    CoordButtonImage* Picture() const { return picture_; }

  private:
    void BuildEventTable();
    void FindWidgets();
    void OnDestroy();
    void StartDeviceWatch();
    void PostStartupReports();
    // The start-up's part that needs the keyboard: version, marks, page refresh, task thread, reports.
    void StartWithKeyboard();
    // The tray's tip says the program waits for the keyboard, or the layout's tip again.
    void ShowWaitingTip();
    void RestoreCodeTexts();
    void ShowFactorySettings(const std::vector<int32_t>& assignedKeys);

    MainDlgOptions options_;
    std::shared_ptr<PacingClock> pacingClock_;
    std::unique_ptr<kb::ui::MessageBoxPrompt> ownPrompt_;
    kb::ui::IPrompt* prompt_ = nullptr;  // options_.prompt or ownPrompt_

    HidDevice hid_;
    std::unique_ptr<HidDeviceTransport> transport_;
    std::unique_ptr<LightingSender> sender_;  // also keeps the firmware version and the last lighting send
    std::unique_ptr<ISendTimer> ownSendTimer_;
    std::unique_ptr<KbFiltrDevice::FilterChannel> filter_;
    std::unique_ptr<TaskThread> tasks_;

    QPointer<QWidget> window_;
    kb::ui::EventBridge* bridge_ = nullptr;  // owned by the window
    kb::ui::EventTable table_;
    CoordButtonImage* picture_ = nullptr;
    QComboBox* profileList_ = nullptr;  // cbx_in_lv

    std::unique_ptr<LightingPage> lighting_;
    std::unique_ptr<DevicePart> device_;
    std::unique_ptr<WindowChrome> chrome_;
    std::unique_ptr<kb::assignment::KeyAssignmentPage> assignments_;
    std::unique_ptr<ProfilePage> profiles_;

    std::unique_ptr<DeviceWatcher> watcher_;
    std::unique_ptr<QObject> watchNotifier_;
    bool destroyed_ = false;
    bool waitingForKeyboard_ = false;
    QString layoutTip_;
};

}  // namespace kb::app
