#include "kb/app/MainDlg.h"

#include <QComboBox>
#include <QTimer>
#include <QSignalBlocker>

#include "kb/app/DeviceNotifier.h"
#include "kb/app/KeyboardMatch.h"
#include "kb/app/SettingsNotice.h"
#include "kb/app/SingleInstance.h"
#include "kb/common/AppConfig.h"
#include "kb/common/ProgramFolder.h"
#include "kb/common/Trace.h"
#include "kb/device/HidPath.h"
#include "kb/device/KeyboardMatch.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"
#include "kb/macros/MacroLibrary.h"
#include "kb/ui/LayoutLoader.h"
#include "kb/ui/Lookup.h"
#include "kb/ui/Translator.h"
#include "kb/widgets/SShellNotifyIcon.h"

namespace kb::app {
namespace {

// The paced reports' wake-up on the UI thread's event loop; precise, since the spacing is a minimum.
class QtSendTimer final : public ISendTimer {
  public:
    explicit QtSendTimer(std::function<void()> fired) {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, std::move(fired));
    }
    void Arm(int64_t delayMs) override {
        timer_.start(static_cast<int>(std::min<int64_t>(delayMs, 1 << 30)));
    }
    void Disarm() override { timer_.stop(); }

  private:
    QTimer timer_;
};

}  // namespace

CMainDlg::CMainDlg(MainDlgOptions options)
    : options_(std::move(options)),
      pacingClock_(options_.pacingClock ? options_.pacingClock : std::make_shared<SteadyPacingClock>()),
      transport_(std::make_unique<HidDeviceTransport>(hid_)),
      sender_(std::make_unique<LightingSender>(*transport_, LedEffectConfig::Instance(),
                                               SideLightConfig::Instance(), pacingClock_)),
      filter_(std::make_unique<KbFiltrDevice::FilterChannel>(
          options_.filterOpener ? options_.filterOpener : KbFiltrDevice::OpenDefaultFilter)),
      tasks_(std::make_unique<TaskThread>(options_.taskClock ? options_.taskClock
                                                             : std::make_shared<SteadyTaskClock>())) {
    prompt_ = options_.prompt;
    if (prompt_ == nullptr) {
        ownPrompt_ = std::make_unique<kb::ui::MessageBoxPrompt>();
        prompt_ = ownPrompt_.get();
    }
    ISendTimer* sendTimer = options_.sendTimer;
    if (sendTimer == nullptr) {
        ownSendTimer_ = std::make_unique<QtSendTimer>([this] { sender_->OnSendTimer(); });
        sendTimer = ownSendTimer_.get();
    }
    // Paced reports wait in a queue: the window's thread never sleeps between them.
    sender_->UseSendTimer(*sendTimer);
    lighting_ = std::make_unique<LightingPage>(*sender_);
    device_ = std::make_unique<DevicePart>(DevicePart::Services{
        hid_, *sender_, *filter_, *pacingClock_, *prompt_,
        [this](const std::vector<int32_t>& assignedKeys) { ShowFactorySettings(assignedKeys); }});
}

CMainDlg::~CMainDlg() {
    tasks_.reset();   // stop, await, drop queued tasks
    filter_.reset();  // stop the monitor, drop its listener, close the interface
    watchNotifier_.reset();
    watcher_.reset();
    chrome_.reset();  // its menu first
    delete window_.data();
    assignments_.reset();  // after the picture that calls it
    if (options_.instance != nullptr && !destroyed_) {
        options_.instance->SetActivator({});
    }
}

bool CMainDlg::Create(kb::ui::LayoutLoader& loader) {
    QWidget* window = loader.LoadLayout(QStringLiteral("XML_MAINWND"));
    if (window == nullptr) {
        Trace("kbstudio: the main window's layout does not load: %s\n", qPrintable(loader.errorString()));
        return false;
    }
    window_ = window;
    bridge_ = new kb::ui::EventBridge(window_);
    bridge_->SetHandler([this](const kb::ui::WidgetEvent& event) { return table_.Dispatch(event); });
    chrome_ = std::make_unique<WindowChrome>(
        window_, WindowChrome::Hooks{[this] { device_->OnFirmwareCheck(); }, [this] { DestroyWindow(); },
                                     [this] { RestoreCodeTexts(); }, [this] { return destroyed_; },
                                     [this](QMenu& menu) {
                                         if (profiles_) {
                                             profiles_->FillMenu(menu);
                                         }
                                     }});
    if (!options_.dataFolder.empty()) {
        profiles_ = std::make_unique<ProfilePage>(ProfilePage::Services{options_.dataFolder, *prompt_,
                                                                        MacroLibrary::Instance(), window_,
                                                                        [this] { ReloadActiveProfile(); }});
    }
    BuildEventTable();
    return true;
}

void CMainDlg::BuildEventTable() {
    chrome_->AddEvents(table_);
    table_.OnName(QString::fromUtf16(kb::ui::kEventCommand), QStringLiteral("btn_restore_factory"),
                  [this](const auto&) { device_->OnBtnRestoreFactory(); });
    lighting_->AddEvents(table_);
    if (profiles_) {
        profiles_->AddEvents(table_);
    }
}

void CMainDlg::FindWidgets() {
    QWidget* root = window_;
    picture_ = kb::ui::FindByName<CoordButtonImage>(root, u"img_keyboard", u"cbimg");
    profileList_ = kb::ui::FindByName<QComboBox>(root, u"cbx_in_lv", u"combobox");
    lighting_->FindWidgets(root, *bridge_);
    device_->FindWidgets(root);
    if (profiles_) {
        profiles_->FindWidgets(root, *bridge_);
    } else if (profileList_ != nullptr) {
        profileList_->setCurrentIndex(0);
        bridge_->Subscribe(profileList_, QString::fromUtf16(kb::ui::kEventComboSelChange),
                           [](const kb::ui::WidgetEvent&) { return true; });
    }
}

int CMainDlg::OnInit() {
    if (options_.instance != nullptr) {
        options_.instance->SetActivator([this] { chrome_->ShowAndRaise(); });
    }
    if (options_.watchDevices) {
        StartDeviceWatch();
    }
    if (window_ != nullptr) {
        FindWidgets();
    }
    // The page holds the clicked key and the dialog only while the dialog runs.
    assignments_ =
        std::make_unique<kb::assignment::KeyAssignmentPage>(kb::assignment::KeyAssignmentPage::Services{
            [this] { return hid_.IsOpen(); }, *filter_, picture_, MacroLibrary::Instance(),
            KeyRecordTable::Instance(), AppConfig::Instance(), *prompt_, window_});
    if (picture_ != nullptr) {
        picture_->SetListener(assignments_.get());
    }
    sender_->MarkLightingSend();
    filter_->SetRecordFile(KeyRecordTable::Instance().Path());  // handed to the filter with each reload
    if (filter_->OpenChannel()) {
        filter_->SetFilterMode(1);
    }
    hid_.OpenByIds(ConfiguredKeyboardMatch(AppConfig::Instance()));
    if (!hid_.IsOpen()) {
        sender_->SetFirmwareVersion(-1);
        device_->ShowFirmwareVersion();
        if (options_.waitForKeyboard && (watcher_ || !options_.watchDevices)) {
            // Started at login: no box for every user at every login; the tray waits for the keyboard.
            waitingForKeyboard_ = true;
            ShowWaitingTip();
            return 0;
        }
        prompt_->Ask(nullptr, NoKeyboardMessage(AppConfig::Instance()), kb::ui::Tr(QStringLiteral("Warning")),
                     kb::ui::PromptButtons::Ok);
        DestroyWindow();
        return 0;
    }
    StartWithKeyboard();
    return 0;
}

void CMainDlg::StartWithKeyboard() {
    sender_->ReadFirmwareVersion();
    device_->ShowFirmwareVersion();
    assignments_->ShowStoredAssignments();
    lighting_->SyncEffectControls(true, true);
    lighting_->SyncSideControls(true, true);
    tasks_->Start();
    PostStartupReports();
    if (profiles_) {
        profiles_->Start();
    }
}

void CMainDlg::ShowWaitingTip() {
    auto* tray = window_ != nullptr
                     ? kb::ui::FindByName<SShellNotifyIcon>(window_, u"tray_icon", u"shellnotifyicon")
                     : nullptr;
    if (tray == nullptr) {
        return;
    }
    if (waitingForKeyboard_) {
        if (layoutTip_.isEmpty()) {
            layoutTip_ = tray->tip();
        }
        tray->setTip(kb::ui::Tr(QStringLiteral("KBStudio is waiting for the keyboard")));
    } else if (!layoutTip_.isEmpty()) {
        tray->setTip(layoutTip_);
        layoutTip_.clear();
    }
}

void CMainDlg::ReloadActiveProfile() {
    if (destroyed_) {
        return;
    }
    std::vector<int32_t> previousKeys;
    for (const KeyRecord& record : KeyRecordTable::Instance().Records()) {
        previousKeys.push_back(static_cast<int32_t>(record.code));
    }
    const std::filesystem::path& folder = options_.dataFolder;
    KeyRecordTable::Instance().LoadRecords(SettingsPath(folder, "record.bin"));
    LedEffectConfig::Instance().Load(SettingsPath(folder, "ledeffect.xml"));
    SideLightConfig::Instance().Load(SettingsPath(folder, "sidemodel.xml"));
    {
        // The lists show the new selection without sending it: the whole lighting is sent once below.
        const QSignalBlocker quietEffects(
            kb::ui::FindByName<QComboBox>(window_, u"cbx_color_effect", u"combobox"));
        const QSignalBlocker quietSides(
            kb::ui::FindByName<QComboBox>(window_, u"cbx_side_color_effect", u"combobox"));
        ShowFactorySettings(previousKeys);  // unmarks and relabels the old profile's keys
    }
    if (assignments_) {
        assignments_->ShowStoredAssignments();
    }
    if (picture_ != nullptr) {
        picture_->update();
    }
    if (hid_.IsOpen()) {
        sender_->SendLedEffect(-1);
        sender_->SendSideLight(-1);
    }
    filter_->ReloadAssignments();
}

void CMainDlg::PostStartupReports() {
    // The task thread only keeps the time. When the task runs, the report joins the paced queue on the
    // UI thread and is built when it goes out, for the effect stored then: an effect chosen meanwhile is
    // not undone on the keyboard. The settings objects belong to the UI thread; the task thread never
    // reads them.
    tasks_->Post(
        [this](int /*effect*/) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (!destroyed_) {
                        sender_->PostStartupEffect(0);
                    }
                },
                Qt::QueuedConnection);
        },
        LedEffectConfig::Instance().GetSel());
    // The side light's start-up task only waits its turn: the keyboard keeps its own side light.
    tasks_->Post([](int) {}, SideLightConfig::Instance().GetSel());
}

void CMainDlg::StartDeviceWatch() {
    watcher_ = std::make_unique<DeviceWatcher>();
    if (!watcher_->Start()) {
        Trace("kbstudio: device arrivals and removals cannot be watched\n");
        watcher_.reset();
        return;
    }
    watchNotifier_ = MakeDeviceNotifier(watcher_->PollHandle(), [this] {
        if (!watcher_) {
            return;
        }
        for (const DeviceEvent& event : watcher_->ProcessPending()) {
            if (destroyed_) {
                break;
            }
            OnDeviceChange(event);
        }
    });
}

void CMainDlg::OnDeviceChange(const DeviceEvent& event) {
    if (destroyed_) {
        return;
    }
    HidPathIds ids;
    if (!ParseHidPath(event.path, ids)) {
        return;
    }
    const bool matches = IsConfiguredKeyboard(ids, AppConfig::Instance());
    if (event.kind == DeviceEventKind::Removal) {
        if (!matches || waitingForKeyboard_) {
            return;
        }
        hid_.Close();
        sender_->SetFirmwareVersion(-1);
        device_->ShowFirmwareVersion();
        if (!device_->ResetPending()) {
            DestroyWindow();  // unplugged outside a factory reset: the program ends
        }
        return;
    }
    if (matches && waitingForKeyboard_) {
        // The keyboard the program waited for since it started: the start-up goes on as usual.
        if (hid_.Open(event.path)) {
            waitingForKeyboard_ = false;
            ShowWaitingTip();
            sender_->MarkLightingSend();
            StartWithKeyboard();
        }
    } else if (matches) {
        if (!hid_.Open(event.path)) {
            sender_->SetFirmwareVersion(-1);
            device_->ShowFirmwareVersion();
        } else {
            sender_->ReadFirmwareVersion();
            device_->ShowFirmwareVersion();
            sender_->MarkLightingSend();
            lighting_->SyncEffectControls(true, true);
            lighting_->SyncSideControls(true, true);
            if (assignments_) {
                assignments_->ShowStoredAssignments();
            }
            device_->KeyboardBack();
        }
    }
    // Every parsed arrival may be the filter's own interface coming back.
    filter_->OpenChannel();
}

void CMainDlg::ShowFactorySettings(const std::vector<int32_t>& assignedKeys) {
    lighting_->SyncSideControls(true, true);
    lighting_->SyncEffectControls(true, true);
    if (assignments_) {
        assignments_->ForgetShownAssignments(assignedKeys);
    }
}

void CMainDlg::RestoreCodeTexts() {
    if (destroyed_) {
        return;
    }
    device_->ShowFirmwareVersion();
    lighting_->ShowSideLabel();
    if (waitingForKeyboard_) {
        layoutTip_.clear();  // the layout's tip came back in the new language
        ShowWaitingTip();
    }
}

void CMainDlg::OnDestroy() {
    tasks_->Stop(false);
    if (options_.instance != nullptr) {
        options_.instance->SetActivator({});
    }
}

void CMainDlg::DestroyWindow() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    OnDestroy();
    if (chrome_) {
        chrome_->CloseMoreMenu();
    }
    if (window_ != nullptr) {
        window_->hide();
    }
    if (options_.onEnd) {
        options_.onEnd();
    }
}

}  // namespace kb::app
