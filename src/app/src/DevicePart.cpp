#include "kb/app/DevicePart.h"

#include <QLabel>
#include <QVariant>
#include <vector>

#include "SaveTrace.h"
#include "kb/common/AppConfig.h"
#include "kb/common/Trace.h"
#include "kb/device/FilterChannel.h"
#include "kb/device/HidDevice.h"
#include "kb/device/KeyboardMatch.h"
#include "kb/device/LightingSender.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"
#include "kb/macros/MacroLibrary.h"
#include "kb/ui/Lookup.h"
#include "kb/ui/Prompt.h"
#include "kb/ui/Translator.h"

namespace kb::app {
namespace {

constexpr int32_t kLatestFirmware = 0x100;
constexpr int kReloadRequests = 4;
constexpr int64_t kReloadPauseMs = 100;

// The version the label last showed. A language switch puts the layout's own text back into the label,
// and while the version is unknown (keyboard away) the last one read must stay visible.
constexpr char kShownVersion[] = "_kb_shown_version";

QString VersionText(int32_t version) {
    QString text = kb::ui::Tr(QStringLiteral("Firmware"));
    if (version == 0) {
        return text + kb::ui::Tr(QStringLiteral(": ")) + kb::ui::Tr(QStringLiteral("Early version"));
    }
    return text + QStringLiteral(": v%1.%2").arg(version / 256).arg(version % 256);
}

void ClearRecordFile() {
    KeyRecordTable& records = KeyRecordTable::Instance();
    TraceFailedSave(records.ClearRecords(), records.Path(), records.LastError());
}

}  // namespace

DevicePart::DevicePart(Services services) : s_(std::move(services)) {}

void DevicePart::FindWidgets(QWidget* window) {
    window_ = window;
    versionLabel_ = kb::ui::FindByName<QLabel>(window, u"version", u"text");
}

void DevicePart::ShowFirmwareVersion() {
    if (versionLabel_ == nullptr) {
        return;
    }
    int32_t version = s_.sender.FirmwareVersion();
    if (version == -1) {
        // Unknown: the label keeps the last version shown (after a removal, the last one read), written
        // again in the current language; nothing when none was ever shown.
        const QVariant shown = versionLabel_->property(kShownVersion);
        if (!shown.isValid()) {
            return;
        }
        version = shown.toInt();
    }
    versionLabel_->setProperty(kShownVersion, version);
    versionLabel_->setText(VersionText(version));
}

void DevicePart::OnFirmwareCheck() {
    const QString caption = kb::ui::Tr(QStringLiteral("Warning"));
    if (!s_.hid.IsOpen()) {
        s_.prompt.Ask(nullptr, kb::ui::Tr(QStringLiteral("Please insert USB device")), caption,
                      kb::ui::PromptButtons::Ok);
        return;
    }
    if (s_.sender.FirmwareVersion() == kLatestFirmware) {
        s_.prompt.Ask(nullptr,
                      kb::ui::Tr(QStringLiteral(
                          "The firmware is already the latest version and no upgrade is required.")),
                      caption, kb::ui::PromptButtons::Ok);
        return;
    }
    s_.hid.Close();
    if (s_.hid.OpenByIds(ConfiguredKeyboardMatch(AppConfig::Instance()))) {
        s_.sender.ReadFirmwareVersion();
    } else {
        s_.sender.SetFirmwareVersion(-1);
    }
    ShowFirmwareVersion();
}

void DevicePart::OnBtnRestoreFactory() {
    const kb::ui::PromptAnswer answer = s_.prompt.Ask(
        window_,
        kb::ui::Tr(QStringLiteral("All settings will be restored, are you sure you want to continue?")),
        kb::ui::Tr(QStringLiteral("Warning")), kb::ui::PromptButtons::OkCancel);
    if (answer != kb::ui::PromptAnswer::Ok) {
        return;
    }
    resetPending_ = true;
    MacroLibrary::Instance().Reset();   // in memory; macro.xml keeps its contents until the next save
    std::vector<int32_t> assignedKeys;  // their labels name assignments that are about to go
    for (const KeyRecord& record : KeyRecordTable::Instance().Records()) {
        assignedKeys.push_back(static_cast<int32_t>(record.code));
    }
    ClearRecordFile();
    LedEffectConfig& effects = LedEffectConfig::Instance();
    TraceFailedSave(effects.Reset(), effects);  // factory values, saved
    SideLightConfig& sides = SideLightConfig::Instance();
    TraceFailedSave(sides.Reset(), sides);
    for (int i = 0; i < kReloadRequests; ++i) {
        s_.filter.ReloadAssignments();  // skipped without a filter
        if (i + 1 < kReloadRequests) {
            s_.pacing.SleepMs(kReloadPauseMs);
        }
    }
    s_.showFactorySettings(assignedKeys);
    ClearRecordFile();
    s_.hid.Write(BuildResetCommand());  // the keyboard goes away and comes back; the window follows
                                        // (CMainDlg::OnDeviceChange)
}

}  // namespace kb::app
