// One world for the assignment dialog and page tests: a scratch program folder, an own virtual filter
// behind a filter channel, the settings objects, a keyboard picture with a few keys, a scripted prompt and
// a clock the test moves.
#pragma once

#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ScriptedPrompt.h"
#include "TestSupport.h"
#include "kb/assignment/KeyAssignmentPage.h"
#include "kb/assignment/MacroRecordDlg.h"
#include "kb/common/AppConfig.h"
#include "kb/device/FilterChannel.h"
#include "kb/device/VirtualFilter.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/macros/MacroLibrary.h"
#include "kb/ui/Prompt.h"
#include "kb/widgets/CoordButtonImage.h"

namespace kbtest {

using kb::assignment::KeyAssignmentPage;
using kb::assignment::MacroRecordDlg;

inline constexpr uint32_t kA = 0x1E, kB = 0x30, kS = 0x1F, kCtrl = 0x1D, kC = 0x2E;

// Points the toolkit at the built program folder and its UI package.
void UsePackage();

class DialogWorld {
  public:
    explicit DialogWorld(kb::KbFiltrDevice::VirtualFilter* filter = nullptr);

    // A dialog for `targets` (the clicked key A when empty), built and shown, on the test's clock.
    std::unique_ptr<MacroRecordDlg> Open(MacroRecordDlg::TargetKeys targets = {});
    KeyAssignmentPage& Page();

    // Set-mode values the filter received, in order; reload requests counted.
    std::vector<uint32_t> Modes() const;
    int Reloads() const { return filter->ReloadCount(); }

    // Presses or releases a key on the filter and waits until the dialog's thread has handled it.
    void Key(uint32_t code, bool pressed, int64_t at);

    std::string LibraryFile() const;
    std::string RecordFile() const;
    bool LibraryFileExists() const;
    void AddGroup(const std::u16string& name, std::vector<kb::MacroStep> steps = {});

    ScratchDir dir;
    std::unique_ptr<kb::KbFiltrDevice::VirtualFilter> ownFilter;
    kb::KbFiltrDevice::VirtualFilter* filter;
    kb::KbFiltrDevice::FilterChannel channel;
    kb::MacroLibrary library;
    kb::KeyRecordTable records;
    kb::AppConfig config;
    ScriptedPrompt prompt;
    CoordButtonImage picture;
    int64_t now = 0;
    int handled = 0;  // key events the dialog has handled
    MacroRecordDlg::TargetKeys targets;
    std::unique_ptr<KeyAssignmentPage> page;
};

// The dialog's widget named `name`, of type T.
template <class T = QWidget>
T* Find(const MacroRecordDlg& dialog, const char* name) {
    return dialog.Content() != nullptr ? dialog.Content()->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

// Clicks the dialog's button or check box named `name`.
void Click(const MacroRecordDlg& dialog, const char* name);
// Selects a row as a user does (a click on it).
void ClickRow(const MacroRecordDlg& dialog, const char* list, int row);

}  // namespace kbtest
