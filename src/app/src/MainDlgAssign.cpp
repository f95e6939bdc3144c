// The key assignment page: the keyboard picture shows the stored assignments; a click on a key is where
// the assignment dialog opens.
#include "KeyAssignmentPage.h"
#include "kb/app/MainDlg.h"
#include "kb/common/AppConfig.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/macros/MacroLibrary.h"

namespace kb::app {

void CMainDlg::ShowStoredAssignments() {
    KeyAssignmentPage::ShowStoredAssignments(picture_, KeyRecordTable::Instance());
}

int CMainDlg::OnCoordButtonClick(int32_t code, const QString& name, int released, uint32_t /*keyFlags*/,
                                 int /*x*/, int /*y*/) {
    // The dialog opens on the release, and only while the keyboard is there.
    if (released == 0 || !m_hid.IsOpen()) {
        return 0;
    }
    OpenAssignmentDialog(code, name);
    return 0;  // the picture applies its own marking rule
}

void CMainDlg::OpenAssignmentDialog(int32_t code, const QString& name) {
    // The page holds the clicked key and the dialog only while the dialog runs.
    KeyAssignmentPage page({[this] { return m_hid.IsOpen(); }, *m_filter, picture_, MacroLibrary::Instance(),
                            KeyRecordTable::Instance(), AppConfig::Instance(), Prompt(), window_});
    page.OnCoordButtonClick(code, name, 1, 0, 0, 0);
}

}  // namespace kb::app
