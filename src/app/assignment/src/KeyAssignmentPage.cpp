#include "kb/assignment/KeyAssignmentPage.h"

#include "kb/common/AppConfig.h"
#include "kb/common/Trace.h"
#include "kb/device/FilterChannel.h"
#include "kb/profiles/Assignment.h"
#include "kb/ui/Prompt.h"
#include "kb/ui/Translator.h"

namespace kb::assignment {

namespace {

constexpr uint32_t kModeNormal = 1;

QString RefusalText(kb::RecordFit fit, std::size_t steps) {
    switch (fit) {
        case kb::RecordFit::TooManySteps:
            return kb::ui::Tr(
                       QStringLiteral("This macro has %1 steps, but a key can hold at most %2. Remove some "
                                      "steps and assign it again. The key keeps its previous assignment."))
                .arg(steps)
                .arg(kb::kMaxRecordSteps);
        case kb::RecordFit::TooLarge:
            return kb::ui::Tr(
                QStringLiteral("This macro is too long to be stored for a key. Remove some steps and "
                               "assign it again. The key keeps its previous assignment."));
        default:
            return kb::ui::Tr(
                QStringLiteral("This play mode cannot be stored for a key. The key keeps its previous "
                               "assignment."));
    }
}

}  // namespace

KeyAssignmentPage::KeyAssignmentPage(Services services)
    : s_(std::move(services)), runner_([](MacroRecordDlg& dialog) { return dialog.Run(); }) {}

QString KeyAssignmentPage::LabelFor(const kb::KeyRecord& record) {
    QString label = QString::fromStdU16String(record.keyName);
    if (!record.assignedName.empty()) {
        label += QStringLiteral(" : ") + kb::ui::Tr(QString::fromStdU16String(record.assignedName));
    }
    return label;
}

void KeyAssignmentPage::ShowStoredAssignments(CoordButtonImage* picture, const kb::KeyRecordTable& records) {
    if (picture == nullptr) {
        return;
    }
    for (const kb::KeyRecord& record : records.Records()) {
        picture->SetMarked(static_cast<int32_t>(record.code), true);
        picture->SetLabel(static_cast<int32_t>(record.code), LabelFor(record));
    }
}

void KeyAssignmentPage::ForgetShownAssignments(const std::vector<int32_t>& assignedKeys) {
    if (s_.picture == nullptr) {
        return;
    }
    s_.picture->SetMarked(CoordButtonImage::kAllKeys, false);
    for (const int32_t code : assignedKeys) {
        if (KeyButton key; s_.picture->GetButton(code, key)) {
            s_.picture->SetLabel(code, kb::ui::Tr(key.name));
        }
    }
    s_.picture->update();
}

int KeyAssignmentPage::OnCoordButtonClick(int32_t code, const QString& name, int released,
                                          uint32_t /*keyFlags*/, int /*x*/, int /*y*/) {
    if (released == 0 || (s_.keyboardOpen && !s_.keyboardOpen())) {
        return 0;
    }
    targets_[static_cast<uint32_t>(code)] = name.toStdU16String();
    dialog_ = std::make_unique<MacroRecordDlg>(s_.filter, s_.library, s_.picture, targets_, s_.config,
                                               s_.prompt, s_.owner);
    s_.filter.SetFilterMode(MacroRecordDlg::kModeNoRemap);
    const int result = runner_(*dialog_);
    s_.filter.SetFilterMode(kModeNormal);
    if (result == MacroRecordDlg::kResultOk) {
        Confirm(code, name);
    } else if (result == MacroRecordDlg::kResultDelete) {
        Delete(code);
    }
    dialog_.reset();
    targets_.clear();
    return 0;
}

void KeyAssignmentPage::Confirm(int32_t code, const QString& name) {
    if (code != 0) {
        kb::KeyRecord record;
        const bool built = BuildRecord(code, name, record);
        const kb::RecordFit fit = built ? kb::CheckRecordFits(record) : kb::RecordFit::Fits;
        if (fit != kb::RecordFit::Fits) {
            // Nothing is written: the key keeps its previous record, mark and label.
            s_.prompt.Ask(s_.owner, RefusalText(fit, record.steps.size()),
                          kb::ui::Tr(QStringLiteral("Warning")), kb::ui::PromptButtons::Ok);
        } else {
            if (s_.picture != nullptr) {
                s_.picture->SetMarked(code, true);
            }
            if (built) {
                if (s_.picture != nullptr) {
                    s_.picture->SetLabel(code, LabelFor(record));
                }
                if (kb::IsRefused(s_.records.SetRecord(record))) {
                    kb::Trace("key assignment: the record for %d was refused\n", code);
                }
                WriteRecordsAndReload();
            }
        }
    }
    if (!s_.library.Save()) {
        kb::Trace("key assignment: could not write %s\n", s_.library.Path().string().c_str());
    }
}

bool KeyAssignmentPage::BuildRecord(int32_t code, const QString& name, kb::KeyRecord& record) const {
    // The record comes from the builder kbctl uses too, so the same choice writes the same bytes.
    const kb::PictureKeyName pictureName = [this](uint32_t key) -> std::optional<std::u16string> {
        KeyButton button;
        if (s_.picture == nullptr || !s_.picture->GetButton(static_cast<int32_t>(key), button)) {
            return std::nullopt;
        }
        return button.name.toStdU16String();
    };
    std::optional<kb::KeyRecord> built =
        kb::BuildAssignmentRecord(static_cast<uint32_t>(code), name.toStdU16String(),
                                  kb::ChoiceFromLibrary(s_.library), s_.library, s_.config, pictureName);
    if (!built) {
        return false;
    }
    record = std::move(*built);
    return true;
}

void KeyAssignmentPage::Delete(int32_t code) {
    (void)s_.records.RemoveRecord(static_cast<uint32_t>(code));  // a key without a record is fine too
    KeyButton key;
    if (s_.picture != nullptr && s_.picture->GetButton(code, key)) {
        s_.picture->SetLabel(code, kb::ui::Tr(key.name));
        s_.picture->SetMarked(code, false);
    }
    WriteRecordsAndReload();
}

void KeyAssignmentPage::WriteRecordsAndReload() {
    if (!s_.records.SaveRecords()) {
        // Not reported: the picture and the table stay as changed; the next save writes them.
        kb::Trace("key assignment: could not write the record file: %s\n", s_.records.LastError().c_str());
    }
    s_.filter.ReloadAssignments();
}

}  // namespace kb::assignment
