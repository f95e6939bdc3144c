#include "kb/app/Startup.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QStyle>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "kb/app/Language.h"
#include "kb/app/MainDlg.h"
#include "kb/app/SettingsNotice.h"
#include "kb/app/SingleInstance.h"
#include "kb/assignment/VirtualKeyFeed.h"
#include "kb/common/AppConfig.h"
#include "kb/common/Folders.h"
#include "kb/common/ProgramFolder.h"
#include "kb/common/Trace.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"
#include "kb/macros/MacroLibrary.h"
#include "kb/profiles/ProfileStore.h"
#include "kb/ui/LayoutLoader.h"
#include "kb/ui/Package.h"
#include "kb/ui/Prompt.h"
#include "kb/widgets/WidgetClasses.h"

namespace kb::app {
namespace {

void ApplyStyleSheet(QApplication& app) {
    QFile styleSheet(kb::ui::PackagePath(QStringLiteral("style/style.qss")));
    if (styleSheet.open(QIODevice::ReadOnly)) {
        app.setStyleSheet(QString::fromUtf8(styleSheet.readAll()));
    }
}

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace

bool StartsHidden(const std::vector<std::string>& arguments) {
    return arguments.size() == 1 && arguments.front() == "-hid";
}

int RunKbStudio(int argc, char** argv) {
    // Read before Qt takes its own options out of argv.
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const bool hidden = StartsHidden(arguments);

    // Where the files are, whatever the working directory: beside the program (a build or portable copy),
    // or for an installed program the user's settings folder, created on the first start, with the UI
    // package from the installation. The working directory is the folder of the written files.
    const Folders folders = ResolveFolders(CurrentFolderInputs());
    std::string folderError;
    const bool folderReady = PrepareDataFolder(folders, folderError);
    const std::filesystem::path& folder = folders.dataFolder;
    if (folderReady) {
        std::error_code ec;
        std::filesystem::current_path(folder, ec);
        if (ec) {
            Trace("kbstudio: cannot work in the program folder %s: %s\n", folder.string().c_str(),
                  ec.message().c_str());
        }
    }

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);  // hidden in the tray is still running
    if (!folderReady) {
        // Without a folder for its files nothing the user sets would be kept: say why and stop.
        std::fprintf(stderr, "kbstudio: %s\n", folderError.c_str());
        kb::ui::MessageBoxPrompt().Ask(
            nullptr,
            QStringLiteral("kbstudio cannot keep its settings: %1").arg(QString::fromStdString(folderError)),
            QStringLiteral("Warning"), kb::ui::PromptButtons::Ok);
        return 1;
    }
    // The package's own paths (the keyboard picture's coordinate file) are relative to its parent.
    kb::ui::SetProgramFolder(QString::fromStdU16String(folders.packageFolder.parent_path().u16string()));

    AppConfig::Instance().Load(folders.configFile);  // defaults when absent
    if (AppConfig::Instance().LastLoad().Unreadable()) {
        // The window says it when it finds no keyboard; the trace says it in any case.
        Trace("kbstudio: %s\n", AppConfig::Instance().LastLoad().Message().c_str());
    }
    if (!InstallLanguage(AppConfig::Instance().Language() == 1)) {
        Trace("kbstudio: no translation in the package; showing the layouts' own texts\n");
    }
    ApplyStyleSheet(app);
    // With the virtual filter, the program's own key presses stand in for the keyboard's.
    kb::assignment::VirtualKeyFeed::InstallIfEnabled();
    kb::ui::LayoutLoader loader;  // loads no Qt Designer plugins
    kb::widgets::RegisterProgramWidgets(loader);

    // Before anything reads the settings files: a profile switch that a killed process left half done is
    // finished, so the files read next are one whole profile; the first start makes "Default".
    if (const ProfileResult profiles = ProfileStore(folder).Open(); !profiles) {
        Trace("kbstudio: profiles: %s\n", profiles.error.c_str());
    }
    MacroLibrary::Instance().Load(SettingsPath(folder, "macro.xml"));
    KeyRecordTable::Instance().LoadRecords(SettingsPath(folder, "record.bin"));
    SideLightConfig::Instance().Load(SettingsPath(folder, "sidemodel.xml"));
    LedEffectConfig::Instance().Load(SettingsPath(folder, "ledeffect.xml"));
    // The start that moved an unusable file aside says so, even one that then hands over to a running one.
    kb::ui::MessageBoxPrompt notice;
    TellUnreadableSettings(notice,
                           {MacroLibrary::Instance().LastLoad(), KeyRecordTable::Instance().LastLoad(),
                            SideLightConfig::Instance().LastLoad(), LedEffectConfig::Instance().LastLoad()});

    SingleInstance instance(kb::ui::PackageString(0));
    if (!instance.Acquire()) {
        if (instance.ActivateRunning()) {
            return 0;
        }
        // Waited a short while only: say why nothing shows instead of leaving the user waiting.
        const QString why = QStringLiteral(
                                "kbstudio is already running (%1 holds %2) but does not answer; "
                                "end that process or try again later.")
                                .arg(instance.DescribeHolder(), instance.LockPath());
        std::fprintf(stderr, "kbstudio: %s\n", qPrintable(why));
        kb::ui::MessageBoxPrompt().Ask(nullptr, why, QStringLiteral("Warning"), kb::ui::PromptButtons::Ok);
        return 1;
    }

    MainDlgOptions options;
    options.instance = &instance;
    options.waitForKeyboard = hidden;  // from the autostart entry: no warning box at login
    options.dataFolder = folder;
    // Posted: a window destroyed during start-up ends the loop as soon as it runs.
    options.onEnd = [] {
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    };
    int exitCode = 0;
    {
        CMainDlg dialog(options);
        if (!dialog.Create(loader)) {
            return 1;
        }
        dialog.OnInit();
        if (!dialog.IsDestroyed()) {
            CentreOnScreen(dialog.Window());
            if (!hidden) {
                dialog.Window()->show();
            } else {
                dialog.Chrome().HideWindow();  // in the tray; minimised where the desktop has none
            }
            exitCode = QApplication::exec();
        }
    }  // the window object goes first: task thread, filter channel, widgets
    return exitCode;
}

}  // namespace kb::app
