// The key assignment page: the keyboard picture shows the stored assignments; a click on a key is where
// the assignment dialog opens.
#include "kb/app/AssignmentLabel.h"
#include "kb/app/MainDlg.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/ui/Translator.h"

namespace kb::app {

QString AssignmentLabel(const KeyRecord& record) {
    QString label = QString::fromStdU16String(record.keyName);
    if (!record.assignedName.empty()) {
        label += QStringLiteral(" : ") + kb::ui::Tr(QString::fromStdU16String(record.assignedName));
    }
    return label;
}

void CMainDlg::ShowStoredAssignments() {
    if (picture_ == nullptr) {
        return;
    }
    for (const KeyRecord& record : KeyRecordTable::Instance().Records()) {
        const auto code = static_cast<int32_t>(record.code);
        picture_->SetMarked(code, true);
        picture_->SetLabel(code, AssignmentLabel(record));
    }
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

void CMainDlg::OpenAssignmentDialog(int32_t /*code*/, const QString& /*name*/) {
    // The assignment dialog comes with the macro editor; until then a click changes nothing.
}

}  // namespace kb::app
