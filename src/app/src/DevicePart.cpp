// Firmware version display, the firmware check of the more-menu and the factory reset.
#include <QLabel>
#include <QVariant>
#include <vector>

#include "SaveTrace.h"
#include "kb/app/MainDlg.h"
#include "kb/common/Trace.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"
#include "kb/macros/MacroLibrary.h"
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

void CMainDlg::ShowFirmwareVersion() {
    if (versionLabel_ == nullptr) {
        return;
    }
    int32_t version = sender_->FirmwareVersion();
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

void CMainDlg::OnFirmwareCheck() {
    const QString caption = kb::ui::Tr(QStringLiteral("Warning"));
    if (!m_hid.IsOpen()) {
        Prompt().Ask(nullptr, kb::ui::Tr(QStringLiteral("Please insert USB device")), caption,
                     kb::ui::PromptButtons::Ok);
        return;
    }
    if (sender_->FirmwareVersion() == kLatestFirmware) {
        Prompt().Ask(nullptr,
                     kb::ui::Tr(QStringLiteral(
                         "The firmware is already the latest version and no upgrade is required.")),
                     caption, kb::ui::PromptButtons::Ok);
        return;
    }
    m_hid.Close();
    if (m_hid.OpenByIds(ConfiguredMatch())) {
        sender_->ReadFirmwareVersion();
    } else {
        sender_->SetFirmwareVersion(-1);
    }
    ShowFirmwareVersion();
}

void CMainDlg::OnBtnRestoreFactory() {
    const kb::ui::PromptAnswer answer = Prompt().Ask(
        window_,
        kb::ui::Tr(QStringLiteral("All settings will be restored, are you sure you want to continue?")),
        kb::ui::Tr(QStringLiteral("Warning")), kb::ui::PromptButtons::OkCancel);
    if (answer != kb::ui::PromptAnswer::Ok) {
        return;
    }
    m_resetPending = true;
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
        m_filter->ReloadAssignments();  // skipped without a filter
        if (i + 1 < kReloadRequests) {
            pacingClock_->SleepMs(kReloadPauseMs);
        }
    }
    SyncSideControls(true, true);
    SyncEffectControls(true, true);
    if (picture_ != nullptr) {
        picture_->SetMarked(CoordButtonImage::kAllKeys, false);
        // Labels back to the keys' own names, as a deletion leaves them.
        for (const int32_t code : assignedKeys) {
            if (KeyButton key; picture_->GetButton(code, key)) {
                picture_->SetLabel(code, kb::ui::Tr(key.name));
            }
        }
        picture_->update();
    }
    ClearRecordFile();
    m_hid.Write(BuildResetCommand());  // the keyboard goes away and comes back; see OnDeviceChange
}

}  // namespace kb::app
