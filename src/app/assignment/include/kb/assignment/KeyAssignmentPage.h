// The key assignment page's part of the main window: a click on a key of the keyboard picture opens the
// assignment dialog for it, and the dialog's result becomes the key's record (stored, written to the
// record file, reloaded by the filter), its mark and its label on the picture.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "kb/assignment/MacroRecordDlg.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/widgets/CoordButtonImage.h"

namespace kb::assignment {

class KeyAssignmentPage : public ICoordButtonClickListener {
  public:
    struct Services {
        std::function<bool()> keyboardOpen;  // clicks do nothing without the keyboard
        kb::KbFiltrDevice::FilterChannel& filter;
        CoordButtonImage* picture;
        kb::MacroLibrary& library;
        kb::KeyRecordTable& records;
        const kb::AppConfig& config;
        kb::ui::IPrompt& prompt;
        QWidget* owner;  // the main window
    };
    // Runs the built dialog and returns its result; tests script it instead of running a modal loop.
    using DialogRunner = std::function<int(MacroRecordDlg&)>;

    explicit KeyAssignmentPage(Services services);

    void SetDialogRunner(DialogRunner runner) { runner_ = std::move(runner); }

    // Opens the dialog on a release over a key; always 0, so the picture keeps its own marking rule.
    int OnCoordButtonClick(int32_t code, const QString& name, int released, uint32_t keyFlags, int x,
                           int y) override;

    // Marks and labels every stored assignment (at start-up and when the keyboard arrives).
    void ShowStoredAssignments() { ShowStoredAssignments(s_.picture, s_.records); }
    static void ShowStoredAssignments(CoordButtonImage* picture, const kb::KeyRecordTable& records);

    // What the picture shows for a record: the key's name, then " : " and the assigned name if any.
    static QString LabelFor(const kb::KeyRecord& record);

    MacroRecordDlg* CurrentDialog() const { return dialog_.get(); }
    const MacroRecordDlg::TargetKeys& TargetKeys() const { return targets_; }

  private:
    void Confirm(int32_t code, const QString& name);
    void Delete(int32_t code);
    bool BuildRecord(int32_t code, const QString& name, kb::KeyRecord& record) const;
    void WriteRecordsAndReload();

    Services s_;
    DialogRunner runner_;
    MacroRecordDlg::TargetKeys targets_;
    std::unique_ptr<MacroRecordDlg> dialog_;
};

}  // namespace kb::assignment
