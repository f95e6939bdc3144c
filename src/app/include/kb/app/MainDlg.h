// The main window: owner of the keyboard's HID interface, the filter channel and the task thread; routes
// the layout's widget events to the lighting page, the assignment page, the firmware and reset services
// and the window chrome. Its operations are split across translation units by concern:
//   MainDlg.cpp          construction, start-up (OnInit), the event table, destruction
//   MainDlgLighting.cpp  the lighting page
//   MainDlgAssign.cpp    the key assignment page (keyboard picture)
//   MainDlgFirmware.cpp  firmware version, firmware check, factory reset
//   MainDlgChrome.cpp    title-bar buttons, more-menu, tray, language, window events
//   MainDlgDevice.cpp    keyboard arrival and removal
#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "kb/common/TaskThread.h"
#include "kb/device/DeviceWatcher.h"
#include "kb/device/FilterChannel.h"
#include "kb/device/HidDevice.h"
#include "kb/device/LightingSender.h"
#include "kb/ui/Events.h"
#include "kb/ui/Prompt.h"
#include "kb/widgets/CoordButtonImage.h"

class QComboBox;
class QLabel;
class QMenu;
class QRadioButton;
class QSlider;
class QTabWidget;
class SShellNotifyIcon;

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
};

class CMainDlg : public QObject, public ICoordButtonClickListener {
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
    QWidget* Window() const { return window_; }

    // --- window chrome, tray and language (MainDlgChrome.cpp) ---
    // A menu command (more-menu, tray menu): 1 firmware check, 2 show the window, 6 close; others nothing.
    void OnCommand(int command);
    // Hides to the tray; minimises where the desktop has no tray, so the window is never stranded.
    void HideWindow();
    // Restores, shows and raises the window (tray, second start).
    void ShowAndRaise();
    void OpenMoreMenu();
    QMenu* MoreMenu() const { return moreMenu_.get(); }
    // 1: Chinese, anything else: English. The texts the code wrote are written again afterwards.
    void SwitchLanguage(int argument);

    // --- lighting page (MainDlgLighting.cpp) ---
    void SyncEffectControls(bool toControls, bool selectInList);
    void SyncSideControls(bool toControls, bool selectInList);

    // --- firmware and factory reset (MainDlgFirmware.cpp) ---
    void ShowFirmwareVersion();
    void OnFirmwareCheck();
    void OnBtnRestoreFactory();

    // --- key assignment page (MainDlgAssign.cpp) ---
    // Marks every stored assignment's key on the keyboard picture and sets its label; call again after
    // the records changed.
    void ShowStoredAssignments();
    int OnCoordButtonClick(int32_t code, const QString& name, int released, uint32_t keyFlags, int x,
                           int y) override;

    // --- keyboard arrival and removal (MainDlgDevice.cpp) ---
    void OnDeviceChange(const DeviceEvent& event);

    // --- state, for the pages and for tests ---
    HidDevice& Hid() { return m_hid; }
    KbFiltrDevice::FilterChannel& Filter() { return *m_filter; }
    TaskThread& Tasks() { return *m_tasks; }
    LightingSender& Sender() { return *sender_; }
    int32_t FirmwareVersion() const { return sender_->FirmwareVersion(); }
    bool ResetPending() const { return m_resetPending; }
    CoordButtonImage* Picture() const { return picture_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // MainDlg.cpp
    void FindWidgets();
    void BuildEventTable();
    void OnDestroy();
    void StartDeviceWatch();
    void PostStartupReports();
    HidMatch ConfiguredMatch() const;
    kb::ui::IPrompt& Prompt();

    // MainDlgLighting.cpp
    void OnEffectListChanged();
    void OnSideListChanged();
    void OnEffectSlider(const kb::ui::WidgetEvent& event);
    void OnEffectRadio();
    void OnSideSlider(const kb::ui::WidgetEvent& event);
    void ShowSideLabel();
    int EffectListSelection() const;
    int SideListSelection() const;

    // MainDlgChrome.cpp
    void SetUpChrome();
    void RestoreCodeTexts();

    // MainDlgAssign.cpp: where a key click opens the assignment dialog.
    void OpenAssignmentDialog(int32_t code, const QString& name);

    MainDlgOptions options_;
    std::shared_ptr<PacingClock> pacingClock_;
    std::unique_ptr<kb::ui::MessageBoxPrompt> ownPrompt_;

    HidDevice m_hid;
    std::unique_ptr<HidDeviceTransport> transport_;
    std::unique_ptr<LightingSender> sender_;  // also keeps m_firmwareVersion and m_lastLightingSend
    std::unique_ptr<KbFiltrDevice::FilterChannel> m_filter;
    std::unique_ptr<TaskThread> m_tasks;
    bool m_resetPending = false;

    QPointer<QWidget> window_;
    kb::ui::EventBridge* bridge_ = nullptr;  // owned by the window
    kb::ui::EventTable table_;
    std::unique_ptr<QMenu> moreMenu_;

    CoordButtonImage* picture_ = nullptr;
    QTabWidget* effectTabs_ = nullptr;
    QComboBox* effectList_ = nullptr;
    QComboBox* profileList_ = nullptr;  // cbx_in_lv
    QComboBox* sideList_ = nullptr;
    QSlider* sideSlider_ = nullptr;
    QLabel* sideLabel_ = nullptr;
    QLabel* versionLabel_ = nullptr;
    SShellNotifyIcon* tray_ = nullptr;
    std::array<QSlider*, 4> speedSliders_{};       // by effect page; slot 2 empty
    std::array<QSlider*, 4> brightnessSliders_{};  // by effect page
    std::vector<QRadioButton*> directionRadios_;
    std::vector<QRadioButton*> loaderRadios_;

    std::unique_ptr<DeviceWatcher> watcher_;
    std::unique_ptr<QObject> watchNotifier_;
    bool destroyed_ = false;
};

}  // namespace kb::app
