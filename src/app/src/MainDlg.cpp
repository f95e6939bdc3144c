#include "kb/app/MainDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>

#include "kb/app/DeviceNotifier.h"
#include "kb/app/SettingsNotice.h"
#include "kb/app/SingleInstance.h"
#include "kb/common/AppConfig.h"
#include "kb/common/Trace.h"
#include "kb/device/KeyboardMatch.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"
#include "kb/ui/LayoutLoader.h"
#include "kb/ui/Lookup.h"
#include "kb/ui/Translator.h"
#include "kb/widgets/SShellNotifyIcon.h"

namespace kb::app {
namespace {

constexpr int kSpeedSliderIds[4] = {65543, 65547, 0, 65550};
constexpr int kBrightnessSliderIds[4] = {65544, 65548, 65549, 65551};
constexpr int kDirectionRadioIds[] = {65545, 65546};
// The loader group has three buttons; all three are collected so that start-up unchecks whichever the
// layout pre-checked.
constexpr int kLoaderRadioIds[] = {65552, 65553, 65554};

// An exclusive radio cannot be unchecked directly; the window must be able to show "none checked".
void Uncheck(QRadioButton* radio) {
    const bool exclusive = radio->autoExclusive();
    radio->setAutoExclusive(false);
    radio->setChecked(false);
    radio->setAutoExclusive(exclusive);
}

std::vector<QRadioButton*> CollectRadios(QWidget* root, std::span<const int> ids) {
    std::vector<QRadioButton*> radios;
    for (int id : ids) {
        if (auto* radio = kb::ui::FindById<QRadioButton>(root, id, u"radio")) {
            Uncheck(radio);
            radios.push_back(radio);
        }
    }
    return radios;
}

}  // namespace

CMainDlg::CMainDlg(MainDlgOptions options)
    : options_(std::move(options)),
      pacingClock_(options_.pacingClock ? options_.pacingClock : std::make_shared<SteadyPacingClock>()),
      transport_(std::make_unique<HidDeviceTransport>(m_hid)),
      sender_(std::make_unique<LightingSender>(*transport_, LedEffectConfig::Instance(),
                                               SideLightConfig::Instance(), pacingClock_)),
      m_filter(std::make_unique<KbFiltrDevice::FilterChannel>(
          options_.filterOpener ? options_.filterOpener : KbFiltrDevice::OpenDefaultFilter)),
      m_tasks(std::make_unique<TaskThread>(options_.taskClock ? options_.taskClock
                                                              : std::make_shared<SteadyTaskClock>())) {}

CMainDlg::~CMainDlg() {
    m_tasks.reset();   // stop, await, drop queued tasks
    m_filter.reset();  // stop the monitor, drop its listener, close the interface
    watchNotifier_.reset();
    watcher_.reset();
    moreMenu_.reset();
    delete window_.data();
    if (options_.instance != nullptr && !destroyed_) {
        options_.instance->SetActivator({});
    }
}

kb::ui::IPrompt& CMainDlg::Prompt() {
    if (options_.prompt != nullptr) {
        return *options_.prompt;
    }
    if (!ownPrompt_) {
        ownPrompt_ = std::make_unique<kb::ui::MessageBoxPrompt>();
    }
    return *ownPrompt_;
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
    BuildEventTable();
    SetUpChrome();
    return true;
}

void CMainDlg::BuildEventTable() {
    const QString command = QString::fromUtf16(kb::ui::kEventCommand);
    const QString slider = QString::fromUtf16(kb::ui::kEventSliderPos);
    auto effectSlider = [this](const kb::ui::WidgetEvent& e) { OnEffectSlider(e); };
    table_.OnName(command, QStringLiteral("btn_more"), [this](const auto&) { OpenMoreMenu(); })
        .OnName(command, QStringLiteral("btn_close"), [this](const auto&) { DestroyWindow(); })
        .OnName(command, QStringLiteral("btn_min"), [this](const auto&) { HideWindow(); })
        .OnName(command, QStringLiteral("btn_max"), [this](const auto&) { window_->showMaximized(); })
        .OnName(command, QStringLiteral("btn_restore"), [this](const auto&) { window_->showNormal(); })
        .OnName(command, QStringLiteral("zh_cn"), [this](const auto&) { SwitchLanguage(1); })
        .OnName(command, QStringLiteral("btn_restore_factory"),
                [this](const auto&) { OnBtnRestoreFactory(); })
        .OnName(command, QStringLiteral("jp"), [this](const auto&) { SwitchLanguage(0); })
        .OnIdRange(command, 65545, 65546, [this](const auto&) { OnEffectRadio(); })
        .OnIdRange(command, 65552, 65554, [this](const auto&) { OnEffectRadio(); })
        .OnNames(slider,
                 {QStringLiteral("bar_general_speed_0"), QStringLiteral("bar_const_brightness_0"),
                  QStringLiteral("bar_general_speed_1"), QStringLiteral("bar_const_brightness_1"),
                  QStringLiteral("bar_const_brightness_2")},
                 effectSlider)
        .OnName(slider, QStringLiteral("bar_side_brightness"),
                [this](const kb::ui::WidgetEvent& e) { OnSideSlider(e); })
        .OnNames(slider, {QStringLiteral("bar_general_speed_3"), QStringLiteral("bar_const_brightness_3")},
                 effectSlider);
}

void CMainDlg::FindWidgets() {
    using kb::ui::FindById;
    using kb::ui::FindByName;
    QWidget* root = window_;
    effectTabs_ = FindByName<QTabWidget>(root, u"tab_color_effect", u"tabctrl");
    picture_ = FindByName<CoordButtonImage>(root, u"img_keyboard", u"cbimg");
    if (picture_ != nullptr) {
        picture_->SetListener(this);
    }
    profileList_ = FindByName<QComboBox>(root, u"cbx_in_lv", u"combobox");
    effectList_ = FindByName<QComboBox>(root, u"cbx_color_effect", u"combobox");
    sideList_ = FindByName<QComboBox>(root, u"cbx_side_color_effect", u"combobox");
    sideSlider_ = FindByName<QSlider>(root, u"bar_side_brightness", u"sliderbar");
    sideLabel_ = FindByName<QLabel>(root, u"text_side_brightness", u"window");
    versionLabel_ = FindByName<QLabel>(root, u"version", u"text");
    for (int page = 0; page < 4; ++page) {
        speedSliders_[page] = FindById<QSlider>(root, kSpeedSliderIds[page], u"sliderbar");
        brightnessSliders_[page] = FindById<QSlider>(root, kBrightnessSliderIds[page], u"sliderbar");
    }
    directionRadios_ = CollectRadios(root, kDirectionRadioIds);
    loaderRadios_ = CollectRadios(root, kLoaderRadioIds);

    if (effectTabs_ != nullptr) {
        // The stored effect chooses the page; the user never switches pages directly.
        effectTabs_->tabBar()->hide();
        effectTabs_->tabBar()->setFocusPolicy(Qt::NoFocus);
        effectTabs_->setFocusPolicy(Qt::NoFocus);
    }
    // Both lists start without a selection, so that the first refresh stores, saves and sends the stored
    // effect and side mode whatever entry the layout pre-selects.
    for (QComboBox* list : {effectList_, sideList_}) {
        if (list != nullptr) {
            const QSignalBlocker quiet(list);
            list->setCurrentIndex(-1);
        }
    }

    const QString selChange = QString::fromUtf16(kb::ui::kEventComboSelChange);
    if (profileList_ != nullptr) {
        profileList_->setCurrentIndex(0);
        bridge_->Subscribe(profileList_, selChange, [](const kb::ui::WidgetEvent&) { return true; });
    }
    if (effectList_ != nullptr) {
        bridge_->Subscribe(effectList_, selChange, [this](const kb::ui::WidgetEvent&) {
            OnEffectListChanged();
            return true;
        });
    }
    if (sideList_ != nullptr) {
        bridge_->Subscribe(sideList_, selChange, [this](const kb::ui::WidgetEvent&) {
            OnSideListChanged();
            return true;
        });
    }
}

HidMatch CMainDlg::ConfiguredMatch() const {
    return ConfiguredKeyboardMatch(AppConfig::Instance());
}

int CMainDlg::OnInit() {
    if (options_.instance != nullptr) {
        options_.instance->SetActivator([this] { ShowAndRaise(); });
    }
    if (options_.watchDevices) {
        StartDeviceWatch();
    }
    if (window_ != nullptr) {
        FindWidgets();
    }
    sender_->MarkLightingSend();
    if (m_filter->OpenChannel()) {
        m_filter->SetFilterMode(1);
    }
    m_hid.OpenByIds(ConfiguredMatch());
    if (!m_hid.IsOpen()) {
        sender_->SetFirmwareVersion(-1);
        ShowFirmwareVersion();
        Prompt().Ask(nullptr, NoKeyboardMessage(AppConfig::Instance()), kb::ui::Tr(QStringLiteral("Warning")),
                     kb::ui::PromptButtons::Ok);
        DestroyWindow();
        return 0;
    }
    sender_->ReadFirmwareVersion();
    ShowFirmwareVersion();
    ShowStoredAssignments();
    SyncEffectControls(true, true);
    SyncSideControls(true, true);
    m_tasks->Start();
    PostStartupReports();
    return 0;
}

void CMainDlg::PostStartupReports() {
    // The task thread only keeps the time. When the task runs, the report is built and sent on the UI
    // thread from the record as it is then, so a change made meanwhile is not undone on the keyboard;
    // the settings objects belong to the UI thread and the task thread never reads them.
    m_tasks->Post(
        [this](int effect) {
            QMetaObject::invokeMethod(
                this,
                [this, effect] {
                    if (!destroyed_) {
                        sender_->SendLedEffectRaw(effect);
                    }
                },
                Qt::QueuedConnection);
        },
        LedEffectConfig::Instance().GetSel());
    // The side light's start-up task only waits its turn: the keyboard keeps its own side light.
    m_tasks->Post([](int) {}, SideLightConfig::Instance().GetSel());
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

void CMainDlg::OnDestroy() {
    m_tasks->Stop(false);
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
    if (moreMenu_) {
        moreMenu_->close();
    }
    if (window_ != nullptr) {
        window_->hide();
    }
    if (options_.onEnd) {
        options_.onEnd();
    }
}

}  // namespace kb::app
