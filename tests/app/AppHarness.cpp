#include "AppHarness.h"

#include <QDir>
#include <QFile>

#include "kb/assignment/VirtualKeyFeed.h"
#include "kb/common/AppConfig.h"
#include "kb/device/VirtualFilter.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"
#include "kb/macros/MacroLibrary.h"
#include "kb/ui/Lookup.h"
#include "kb/ui/Package.h"
#include "kb/ui/Translator.h"
#include "kb/widgets/WidgetClasses.h"

namespace apptest {

AppHarness::AppHarness(const std::string& configXml, uint16_t version) {
    kb::AppConfig::Instance().LoadFromBuffer(configXml);
    // The simulated keyboard has the configured identity (interface 1 where any is accepted), present.
    const kb::AppConfig& config = kb::AppConfig::Instance();
    kb::VirtualKeyboard::Instance().SetClock([] { return std::chrono::steady_clock::now(); });
    kb::VirtualKeyboard::Instance().Configure(
        {0x1209, 0xA1E5, config.Interface() == -1 ? 1 : config.Interface(), config.Subdevice()}, version);
    kb::widgets::RegisterProgramWidgets(loader_);
    kb::assignment::VirtualKeyFeed::InstallIfEnabled();  // as the program's start-up does
    kb::ui::SwitchLanguage(false);
    LoadSettings();
}

AppHarness::~AppHarness() {
    dlg_.reset();
}

void AppHarness::WriteFile(const QString& name, const std::string& bytes) const {
    QFile file(QDir(dir.path()).filePath(name));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
}

std::string AppHarness::ReadFile(const QString& name) const {
    QFile file(QDir(dir.path()).filePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll().toStdString();
}

void AppHarness::LoadSettings() const {
    const std::filesystem::path folder = dir.path().toStdU16String();
    kb::MacroLibrary::Instance().Load(folder / "macro.xml");
    // A missing record file keeps the records in memory (they are loaded once per process): give each
    // window an empty file of its own instead.
    if (!QFile::exists(QDir(dir.path()).filePath(QStringLiteral("record.bin")))) {
        WriteFile(QStringLiteral("record.bin"), kb::EncodeRecordFile({}));
    }
    kb::KeyRecordTable::Instance().LoadRecords(folder / "record.bin");
    kb::SideLightConfig::Instance().Load(folder / "sidemodel.xml");
    kb::LedEffectConfig::Instance().Load(folder / "ledeffect.xml");
}

kb::app::CMainDlg& AppHarness::Start(bool watchDevices) {
    kb::app::MainDlgOptions options;
    options.prompt = &prompt;
    options.taskClock = taskClock;
    options.pacingClock = pacing;
    options.sendTimer = &sendTimer;
    options.waitForKeyboard = waitForKeyboard;
    options.watchDevices = watchDevices;
    options.onEnd = [this] { ++ends; };
    if (withProfiles) {
        options.dataFolder = std::filesystem::path(dir.path().toStdU16String());
    }
    dlg_ = std::make_unique<kb::app::CMainDlg>(options);
    if (dlg_->Create(loader_)) {
        dlg_->OnInit();
    }
    return *dlg_;
}

QWidget* AppHarness::Find(const char* name) const {
    return dlg_ && dlg_->Window() ? kb::ui::FindByName(dlg_->Window(), QString::fromUtf8(name)) : nullptr;
}

void AppHarness::RunPacedReports() const {
    while (dlg_ && sendTimer.armed) {
        pacing->now += *sendTimer.armed;
        sendTimer.armed.reset();
        dlg_->Sender().OnSendTimer();
    }
}

std::vector<kb::VirtualReport> AppHarness::Reports() const {
    RunPacedReports();
    return kb::VirtualKeyboard::Instance().Reports();
}

std::vector<kb::Report> AppHarness::FeatureReportsSent() const {
    std::vector<kb::Report> sent;
    for (const kb::VirtualReport& report : Reports()) {
        if (report.kind == kb::VirtualReport::Kind::SetFeature) {
            sent.push_back(report.bytes);
        }
    }
    return sent;
}

void AppHarness::ClearReports() const {
    RunPacedReports();
    kb::VirtualKeyboard::Instance().ClearReports();
}

void InitAppTests() {
    if (!kb::VirtualKeyboard::Enabled() || !kb::KbFiltrDevice::VirtualFilter::Enabled()) {
        qFatal("run with KBSTUDIO_VIRTUAL_KEYBOARD=1 and KBSTUDIO_VIRTUAL_FILTER=1");
    }
    kb::ui::SetProgramFolder(QStringLiteral(KB_PROGRAM_DIR));
    kb::ui::SetPackageFolder(QStringLiteral(KB_PROGRAM_DIR "/uires"));
}

QString ReportText(const kb::Report& report) {
    QStringList bytes;
    for (uint8_t b : report) {
        bytes << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    return bytes.join(u' ');
}

}  // namespace apptest
