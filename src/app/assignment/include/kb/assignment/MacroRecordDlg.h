// The key assignment dialog (layout "macro"): four tabs to give the clicked key a macro, another key, a
// media key or a shortcut. Every choice goes into the macro library at once; the dialog ends with OK (1),
// cancel (2) or delete (65597) and the assignment page acts on that.
#pragma once

#include <QDialog>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "kb/assignment/KeyAndDelayAdapter.h"
#include "kb/assignment/MacroGroupAdapter.h"
#include "kb/macros/MacroRecorder.h"

class QAbstractButton;
class QAbstractItemView;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QTableView;
class QTabWidget;
class SCheckBoxEx;
class CoordButtonImage;

namespace kb {
class AppConfig;
namespace KbFiltrDevice {
class FilterChannel;
}
namespace ui {
class EventBridge;
class IPrompt;
struct WidgetEvent;
}  // namespace ui
}  // namespace kb

namespace kb::assignment {

class MacroRecordDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 2;
    static constexpr int kResultDelete = 65597;  // the ID of "btnDelete"
    static constexpr uint32_t kModeCapture = 0xFFFFFFFF;
    static constexpr uint32_t kModeNoRemap = 0;

    // Milliseconds on the recording clock.
    using Clock = std::function<int64_t()>;
    using TargetKeys = std::map<uint32_t, std::u16string>;

    // Installs the dialog's monitor listener on the channel; the window is built by Create().
    MacroRecordDlg(kb::KbFiltrDevice::FilterChannel& channel, kb::MacroLibrary& library,
                   CoordButtonImage* picture, const TargetKeys& targets, const kb::AppConfig& config,
                   kb::ui::IPrompt& prompt, QWidget* parent = nullptr);
    // Removes the listener under the channel's lock: no event reaches the dialog afterwards.
    ~MacroRecordDlg() override;

    // Loads the layout and initialises the dialog; false when the layout lacks a widget the dialog needs.
    bool Create();
    // Create (once) and run modally; the result, or 0 when the dialog could not be built.
    int Run();

    void SetClock(Clock clock) { clock_ = std::move(clock); }

    // The monitor thread's listener: queues the event onto the dialog's thread and returns.
    void PostMonitorKey(uint32_t code, uint32_t pressed);
    // One press or release on the dialog's thread: capture on the single-key tab, a step while recording.
    void OnKeyEvent(uint32_t code, bool pressed);

    // A click (or a keyboard move) onto a row of the group list: the step list shows that group's steps.
    void OnGroupRowClicked(int row);

    MacroGroupAdapter& GroupAdapter() { return groups_; }
    KeyAndDelayAdapter& StepAdapter() { return steps_; }
    QWidget* Content() const { return content_; }
    bool RecordingActive() const { return recordingActive_; }
    const kb::MacroRecorder& Recorder() const { return recorder_; }

  protected:
    // Escape and the close button end the dialog as its cancel button does.
    void reject() override;
    // However the dialog ends, the key monitor it started ends with it.
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool FindWidgets();
    // Shows what the library remembers and connects the handlers, in this order.
    void Initialise();
    void SetUpStepList();
    void SetUpGroupList();
    void ShowTargetKeys();
    void ShowDelayMode();
    void ShowCapturedKey();
    void FillKeyLists();
    void ConnectEvents();
    void ShowStoredChoices();
    void ShowListening();
    void OnCommand(const kb::ui::WidgetEvent& event);
    void OnTabChanged(int tab);
    void OnDelayMode(int mode);
    void OnRecordClicked();
    void OnGroupAdd();
    void OnGroupDel();
    void OnGroupImport();
    void OnGroupExport();
    void OnStepButton(const QString& name);
    void StartCapture();  // monitor + capture mode, for recording and the single-key tab
    void UpdateListeningMark();
    void SaveLibrary();

    int SelectedGroupRow() const;
    int SelectedStepRow() const;
    void SelectRowSilently(QAbstractItemView* view, int row);
    void BindStepsTo(int32_t groupIndex);
    void ChangeRows(QAbstractItemView* view, const std::function<void()>& change);
    void UpdateGroupFromSelection();

    kb::KbFiltrDevice::FilterChannel& channel_;
    kb::MacroLibrary& library_;
    CoordButtonImage* picture_;
    const TargetKeys& targets_;
    const kb::AppConfig& config_;
    kb::ui::IPrompt& prompt_;
    MacroGroupAdapter groups_;
    KeyAndDelayAdapter steps_;
    kb::MacroRecorder recorder_;
    Clock clock_;
    bool recordingActive_ = false;
    bool silentSelection_ = false;
    bool created_ = false;

    QWidget* content_ = nullptr;
    kb::ui::EventBridge* bridge_ = nullptr;
    QTableView* stepList_ = nullptr;
    QListView* groupList_ = nullptr;
    QLabel* recordingKeys_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QLineEdit* delayEdit_ = nullptr;
    QLineEdit* repeatEdit_ = nullptr;
    SCheckBoxEx* recordCheck_ = nullptr;
    SCheckBoxEx* listeningCheck_ = nullptr;
    QLabel* singleKey_ = nullptr;
    QComboBox* mediaKeys_ = nullptr;
    QComboBox* functionKeys_ = nullptr;
    QComboBox* playMode_ = nullptr;
    QAbstractButton* delayButtons_[3] = {nullptr, nullptr, nullptr};
    QWidget* titleBar_ = nullptr;
    QPoint dragOffset_;
    bool dragging_ = false;
};

}  // namespace kb::assignment
