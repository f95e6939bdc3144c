// Keyboard arrival and removal while the program runs.
#include "kb/app/KeyboardMatch.h"
#include "kb/app/MainDlg.h"
#include "kb/common/AppConfig.h"
#include "kb/device/HidPath.h"

namespace kb::app {

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
        if (!matches) {
            return;
        }
        m_hid.Close();
        sender_->SetFirmwareVersion(-1);
        ShowFirmwareVersion();
        if (!m_resetPending) {
            DestroyWindow();  // unplugged outside a factory reset: the program ends
        }
        return;
    }
    if (matches) {
        if (!m_hid.Open(event.path)) {
            sender_->SetFirmwareVersion(-1);
            ShowFirmwareVersion();
        } else {
            sender_->ReadFirmwareVersion();
            ShowFirmwareVersion();
            sender_->MarkLightingSend();
            SyncEffectControls(true, true);
            SyncSideControls(true, true);
            ShowStoredAssignments();
            m_resetPending = false;
        }
    }
    // Every parsed arrival may be the filter's own interface coming back.
    m_filter->OpenChannel();
}

}  // namespace kb::app
