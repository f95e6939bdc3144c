// One main window over the virtual keyboard and filter, with settings files in a scratch folder, a
// scripted prompt and clocks the test moves.
#pragma once

#include <QDir>
#include <QSlider>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FakePacingClock.h"
#include "ManualTaskClock.h"
#include "ScriptedPrompt.h"
#include "kb/app/MainDlg.h"
#include "kb/common/TaskThread.h"
#include "kb/device/LightingSender.h"
#include "kb/device/VirtualKeyboard.h"
#include "kb/ui/LayoutLoader.h"
#include "kb/ui/Prompt.h"

namespace apptest {

using kbtest::FakePacingClock;
using kbtest::ManualTaskClock;

inline constexpr char kConfig[] =
    R"(<local language="en"/><usb vid="0x1209" pid="0xa1e5" interface="1" subdevice="-1"/>)";

// The paced lighting reports' wake-up, fired by the harness: the pacing clock moves on to it.
class ManualSendTimer final : public kb::ISendTimer {
  public:
    void Arm(int64_t delayMs) override { armed = delayMs; }
    void Disarm() override { armed.reset(); }
    std::optional<int64_t> armed;
};

class AppHarness {
  public:
    // Writes the given settings files (empty: none) and loads every settings object from the folder.
    explicit AppHarness(const std::string& configXml = kConfig, uint16_t version = 0x105);
    ~AppHarness();

    void WriteFile(const QString& name, const std::string& bytes) const;
    std::string ReadFile(const QString& name) const;
    // Loads the settings objects from the folder, as start-up does.
    void LoadSettings() const;

    // Creates the window and runs its start-up.
    kb::app::CMainDlg& Start(bool watchDevices = false);
    kb::app::CMainDlg& Dlg() { return *dlg_; }
    QWidget* Find(const char* name) const;

    // Lets the paced reports still waiting go out, moving the pacing clock to each one's turn.
    void RunPacedReports() const;
    // The virtual keyboard's reports since the harness began (or since ClearReports), after the paced
    // reports still waiting.
    std::vector<kb::VirtualReport> Reports() const;
    std::vector<kb::Report> FeatureReportsSent() const;  // SetFeature bytes
    void ClearReports() const;

    QTemporaryDir dir;
    kbtest::ScriptedPrompt prompt;
    std::shared_ptr<ManualTaskClock> taskClock = std::make_shared<ManualTaskClock>();
    std::shared_ptr<FakePacingClock> pacing = std::make_shared<FakePacingClock>();
    mutable ManualSendTimer sendTimer;
    bool waitForKeyboard = false;  // as a start with -hid
    int ends = 0;
    bool withProfiles = false;  // the window lists and follows the folder's profiles

  private:
    kb::ui::LayoutLoader loader_;
    std::unique_ptr<kb::app::CMainDlg> dlg_;
};

QString ReportText(const kb::Report& report);

// Points the package and program folders at the build's program folder; once per test program.
void InitAppTests();

template <class T>
T* Get(AppHarness& app, const char* name) {
    T* widget = qobject_cast<T*>(app.Find(name));
    if (widget == nullptr) {
        qFatal("no widget %s", name);
    }
    return widget;
}

// A drag of the slider by the user to `value`.
inline void MoveSlider(QSlider* slider, int value) {
    slider->setSliderPosition(value);
}

// Effect records 0..19 with distinct values, the given selection and side mode.
inline std::string EffectFile(int sel) {
    std::string xml = "<effect sel=\"" + std::to_string(sel) + "\">";
    for (int i = 0; i < 20; ++i) {
        xml += "<item brightness=\"" + std::to_string(i % 6) + "\" speed=\"" + std::to_string(i % 3) +
               "\" deriction=\"0\" selection=\"" + std::to_string(i == 1 ? 2 : 0) + "\"/>";
    }
    return xml + "</effect>";
}

// With KB_APP_SHOTS=DIR, the window as it looks at interesting moments, for a person to look at.
inline void MaybeSaveShot(QWidget* window, const char* name) {
    const QString folder = qEnvironmentVariable("KB_APP_SHOTS");
    if (!folder.isEmpty()) {
        window->grab().save(QDir(folder).filePath(QString::fromUtf8(name) + ".png"));
    }
}

inline kb::Report Bytes(std::initializer_list<uint8_t> bytes) {
    kb::Report report{};
    std::copy(bytes.begin(), bytes.end(), report.begin());
    return report;
}

}  // namespace apptest
