// kbstudio end to end: start-up and shutdown, arrival and removal, chrome, language, single instance.
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QRadioButton>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include "AppHarness.h"
#include "kb/app/KeyboardMatch.h"
#include "kb/app/SingleInstance.h"
#include "kb/app/Startup.h"
#include "kb/common/AppConfig.h"
#include "kb/device/VirtualFilter.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/Reports.h"
#include "kb/lighting/SideLightConfig.h"
#include "kb/ui/MenuLoader.h"
#include "kb/ui/Package.h"
#include "kb/ui/Timeline.h"
#include "kb/widgets/SShellNotifyIcon.h"

using apptest::AppHarness;
using apptest::ReportText;
using namespace apptest;
using kb::ui::PromptAnswer;

class AppTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void startWithoutKeyboard();
    void startWithKeyboardSendsStoredEffectLater();
    void startShowsStoredAssignments();
    void deviceChangeMatching_data();
    void deviceChangeMatching();
    void chromeAndMenuCommands();
    void languageSwitchRetranslates();
    void hiddenOnlyForExactArgument();
    void secondInstanceBringsFirstForward();
    void sharedInstanceFolderIsNotTrusted();
};

void AppTest::initTestCase() {
    InitAppTests();
}

void AppTest::startWithoutKeyboard() {
    // Another product: the virtual keyboard does not answer the search.
    AppHarness app(R"(<usb vid="0x1209" pid="0x0001" interface="1" subdevice="-1"/>)");
    kb::app::CMainDlg& dlg = app.Start();
    QCOMPARE(app.prompt.AskedSoFar().size(), std::size_t{1});
    QCOMPARE(app.prompt.AskedSoFar()[0].text, QStringLiteral("Please insert USB device!"));
    QCOMPARE(app.prompt.AskedSoFar()[0].caption, QStringLiteral("Warning"));
    QVERIFY(dlg.IsDestroyed());
    QCOMPARE(app.ends, 1);
    QVERIFY(!dlg.Tasks().IsRunning());
    QCOMPARE(dlg.Tasks().PendingCount(), std::size_t{0});
    QVERIFY(!dlg.Window()->isVisible());
}

void AppTest::startWithKeyboardSendsStoredEffectLater() {
    AppHarness app;
    app.WriteFile(QStringLiteral("ledeffect.xml"),
                  R"(<effect sel="4"><item/><item/><item/><item/>)"
                  R"(<item brightness="3" speed="2" deriction="1" selection="0"/></effect>)");
    app.LoadSettings();
    app.ClearReports();
    kb::app::CMainDlg& dlg = app.Start();
    QVERIFY(!dlg.IsDestroyed());
    QCOMPARE(dlg.FirmwareVersion(), 0x105);
    QCOMPARE(qobject_cast<QLabel*>(app.Find("version"))->text(), QStringLiteral("Firmware: v1.5"));
    QVERIFY(dlg.Tasks().IsRunning());

    // The first refresh selects the stored effect in the list, which stores and sends it (the layout's
    // own pre-selection is not taken for it).
    const kb::Report paced = kb::BuildEffectReport(4, 3, 2, 0);
    const auto sentByRefresh = app.FeatureReportsSent();
    QVERIFY(std::find(sentByRefresh.begin(), sentByRefresh.end(), paced) != sentByRefresh.end());
    // The user dims the effect before the start-up report is due.
    MoveSlider(Get<QSlider>(app, "bar_const_brightness_1"), 1);
    const auto sentAtStart = app.FeatureReportsSent();
    QCOMPARE(ReportText(sentAtStart.back()), ReportText(kb::BuildEffectReport(4, 1, 2, 0)));

    // The start-up report follows 2000 ms later, with the record's bytes as stored then: it does not
    // undo the change.
    const kb::Report raw = kb::BuildEffectReportRaw(4, 1, 2, 1, 0);
    QTRY_COMPARE(dlg.Tasks().PendingCount(), std::size_t{1});  // the first task is waiting its delay
    app.taskClock->Advance(std::chrono::milliseconds(1999));
    QTest::qWait(20);
    QCOMPARE(app.FeatureReportsSent().size(), sentAtStart.size());
    app.taskClock->Advance(std::chrono::milliseconds(1));
    QTRY_COMPARE(app.FeatureReportsSent().size(), sentAtStart.size() + 1);
    QCOMPARE(ReportText(app.FeatureReportsSent().back()), ReportText(raw));

    // Idle: the task thread sleeps on its queue and no 10 ms animation timer runs.
    QTRY_COMPARE(dlg.Tasks().PendingCount(), std::size_t{0});
    QVERIFY(!kb::ui::Timeline::Shared().IsTimerRunning());
}

void AppTest::startShowsStoredAssignments() {
    AppHarness app;
    kb::KeyRecord record;
    record.code = 30;
    record.kind = record.mode = 1;
    record.parameter = 48;
    record.keyName = u"A";
    app.WriteFile(QStringLiteral("record.bin"), kb::EncodeRecordFile({record}));
    app.LoadSettings();
    kb::app::CMainDlg& dlg = app.Start();
    KeyButton key;
    QVERIFY(dlg.Picture()->GetButton(30, key));
    QVERIFY(key.marked);
    QCOMPARE(key.label, QStringLiteral("A"));  // assigned names are not stored in the file
    QVERIFY(dlg.Picture()->GetButton(48, key));
    QVERIFY(!key.marked);
    MaybeSaveShot(dlg.Window(), "assigned_marked");
}

// action: "list N" selects effect N, "slider NAME V" drags a slider, "radio NAME" clicks a radio.
void AppTest::deviceChangeMatching_data() {
    QTest::addColumn<QString>("config");  // interface and subdevice
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("matches");
    const QString kb = QStringLiteral("virtual-keyboard#hid#vid_1209&pid_a1e5");
    QTest::newRow("same interface") << "1 -1" << kb + "&mi_01" << true;
    QTest::newRow("other interface") << "1 -1" << kb + "&mi_00" << false;
    QTest::newRow("other collection") << "1 2" << kb + "&mi_01&col01" << false;
    QTest::newRow("collection -1 is any") << "1 -1" << kb + "&mi_01&col02" << true;
    QTest::newRow("interface -1 is any") << "-1 -1" << kb + "&mi_03" << true;
    QTest::newRow("no interface field") << "1 -1" << kb << true;
    QTest::newRow("other product") << "1 -1" << QStringLiteral("virtual-keyboard#hid#vid_1209&pid_0001&mi_01")
                                   << false;
    QTest::newRow("other vendor") << "1 -1" << QStringLiteral("/dev/hidraw9#hid#vid_046d&pid_a1e5&mi_01")
                                  << false;
}

void AppTest::deviceChangeMatching() {
    QFETCH(QString, config);
    QFETCH(QString, path);
    QFETCH(bool, matches);
    const QStringList fields = config.split(u' ');
    const std::string xml = "<usb vid=\"0x1209\" pid=\"0xa1e5\" interface=\"" + fields[0].toStdString() +
                            "\" subdevice=\"" + fields[1].toStdString() + "\"/>";
    kb::AppConfig parsedConfig;
    QVERIFY(parsedConfig.LoadFromBuffer(xml));
    kb::HidPathIds ids;
    QVERIFY(kb::ParseHidPath(path.toStdU16String(), ids));
    QCOMPARE(kb::app::IsConfiguredKeyboard(ids, parsedConfig), matches);

    // The window: a matching removal ends it; any parsed arrival reopens the filter channel.
    AppHarness app(xml);
    kb::app::CMainDlg& dlg = app.Start();
    QVERIFY(!dlg.IsDestroyed());
    dlg.Filter().CloseChannel();
    dlg.OnDeviceChange({kb::DeviceEventKind::Arrival, path.toStdU16String()});
    QVERIFY(dlg.Filter().IsOpen());
    dlg.OnDeviceChange({kb::DeviceEventKind::Removal, path.toStdU16String()});
    QCOMPARE(dlg.IsDestroyed(), matches);
    QCOMPARE(dlg.Hid().IsOpen(), !matches);
    // Not a HID path at all: ignored.
    dlg.Filter().CloseChannel();
    dlg.OnDeviceChange({kb::DeviceEventKind::Arrival, u"/dev/input/event3"});
    QVERIFY(!dlg.Filter().IsOpen());
}

void AppTest::chromeAndMenuCommands() {
    AppHarness app;
    kb::app::CMainDlg& dlg = app.Start();
    QWidget* window = dlg.Window();
    // The stored effect chooses the effect page: its tab bar is neither shown nor reachable by keys.
    auto* effectTabs = Get<QTabWidget>(app, "tab_color_effect");
    QVERIFY(effectTabs->tabBar()->isHidden());
    QCOMPARE(effectTabs->focusPolicy(), Qt::NoFocus);
    // The icon is put up even where no tray runs yet (offscreen has none): a panel that starts later
    // must find it, or a window hidden then would have no way back.
    auto* tray = Get<SShellNotifyIcon>(app, "tray_icon");
    QVERIFY(!SShellNotifyIcon::IsAvailable());
    QVERIFY(tray->TrayIcon()->isVisible());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    qobject_cast<QAbstractButton*>(app.Find("btn_min"))->click();
    QTRY_VERIFY(!window->isVisible() || window->isMinimized());  // minimised where there is no tray
    dlg.Chrome().OnCommand(2);                                   // the tray menu's "Show window"
    QTRY_VERIFY(window->isVisible() && !window->isMinimized());

    qobject_cast<QAbstractButton*>(app.Find("btn_more"))->click();
    QVERIFY(dlg.Chrome().MoreMenu() != nullptr);
    QTRY_VERIFY(dlg.Chrome().MoreMenu()->isVisible());
    QList<int> commands;
    for (QAction* action : dlg.Chrome().MoreMenu()->actions()) {
        if (!action->isSeparator()) {
            commands << kb::ui::CommandOf(action);
        }
    }
    QCOMPARE(commands, (QList<int>{1, 6}));
    dlg.Chrome().MoreMenu()->close();

    dlg.Chrome().OnCommand(7);  // unknown: nothing
    QCoreApplication::processEvents();
    QVERIFY(!dlg.IsDestroyed());
    dlg.Chrome().OnCommand(6);  // exit, posted like a close message
    QTRY_VERIFY(dlg.IsDestroyed());
    QCOMPARE(app.ends, 1);
    // Closed while the start-up report still waits its 2000 ms: the task thread ends without sending it.
    app.ClearReports();
    QTRY_VERIFY(!dlg.Tasks().IsRunning());
    app.taskClock->Advance(std::chrono::milliseconds(5000));
    QTest::qWait(20);
    QVERIFY(app.Reports().empty());
}

void AppTest::languageSwitchRetranslates() {
    AppHarness app;
    kb::app::CMainDlg& dlg = app.Start();
    auto* title = Get<QLabel>(app, "card_effect_title");
    const QString english = title->text();
    auto* effects = Get<QComboBox>(app, "cbx_color_effect");
    const int effect = effects->currentIndex();
    app.ClearReports();
    qobject_cast<QAbstractButton*>(app.Find("zh_cn"))->click();
    QTRY_VERIFY(title->text() != english);
    // The texts the code wrote are written again in the new language.
    QTRY_COMPARE(Get<QLabel>(app, "version")->text(), QStringLiteral("固件: v1.5"));
    QCOMPARE(Get<QLabel>(app, "text_side_brightness")->text(), QStringLiteral("速度"));
    MaybeSaveShot(dlg.Window(), "switched_cn");
    // Qt's own texts (an edit field's context menu) follow.
    QVERIFY(QCoreApplication::translate("QLineEdit", "&Undo") != QStringLiteral("&Undo"));
    // Retranslating the lists changes no selection, so nothing is stored or sent; the entry without a
    // record keeps its dash.
    QCOMPARE(effects->currentIndex(), effect);
    QCOMPARE(effects->itemText(20), QStringLiteral("—"));
    QVERIFY(app.Reports().empty());
    qobject_cast<QAbstractButton*>(app.Find("jp"))->click();
    QTRY_COMPARE(title->text(), english);
    QCOMPARE(Get<QLabel>(app, "version")->text(), QStringLiteral("Firmware: v1.5"));
    QCOMPARE(Get<QLabel>(app, "text_side_brightness")->text(), QStringLiteral("Speed"));
    QCOMPARE(QCoreApplication::translate("QLineEdit", "&Undo"), QStringLiteral("&Undo"));
    Q_UNUSED(dlg);
}

void AppTest::hiddenOnlyForExactArgument() {
    using Args = std::vector<std::string>;
    QVERIFY(kb::app::StartsHidden(Args{"-hid"}));
    for (const Args& args : {Args{}, Args{"-HID"}, Args{" -hid"}, Args{"-hid "}, Args{"-hid", "x"},
                             Args{"--hid"}, Args{"hid"}, Args{"-hidden"}}) {
        QVERIFY(!kb::app::StartsHidden(args));
    }
}

void AppTest::secondInstanceBringsFirstForward() {
    // A program folder of its own: the real program writes its settings files there.
    QTemporaryDir folder;
    const QString bin = QStringLiteral(KB_PROGRAM_DIR);
    QVERIFY(QFile::copy(bin + "/kbstudio", folder.filePath("kbstudio")));
    QFile::setPermissions(folder.filePath("kbstudio"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(QFile::link(bin + "/uires", folder.filePath("uires")));
    {
        QFile config(folder.filePath("config.xml"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(apptest::kConfig);
    }
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");

    QProcess first;
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(folder.filePath("kbstudio"), {"-hid"});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime.filePath("kbstudio.kbconfig.sock")), 20000);

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(folder.filePath("kbstudio"), {});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += first.readAll()).contains("another start brings this window forward"),
                             20000);
    QCOMPARE(first.state(), QProcess::Running);
    first.terminate();
    QVERIFY(first.waitForFinished(20000));
}

void AppTest::sharedInstanceFolderIsNotTrusted() {
    // A folder anyone may write to (a fallback in /tmp that another user made first): a lock or socket
    // planted there must not keep the program from starting, so it is not used at all.
    QTemporaryDir shared;
    QVERIFY(QFile::setPermissions(shared.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                     QFile::WriteOther | QFile::ExeOther | QFile::ReadOther));
    kb::app::SingleInstance first(QStringLiteral("kbconfig"), shared.path());
    QVERIFY(first.Acquire());
    QVERIFY(!QFile::exists(first.LockPath()));
    kb::app::SingleInstance second(QStringLiteral("kbconfig"), shared.path());
    QVERIFY(second.Acquire());

    QTemporaryDir own;  // the user's own folder: the second start finds the first
    kb::app::SingleInstance owner(QStringLiteral("kbconfig"), own.path());
    QVERIFY(owner.Acquire());
    kb::app::SingleInstance later(QStringLiteral("kbconfig"), own.path());
    QVERIFY(!later.Acquire());
}

QTEST_MAIN(AppTest)
#include "tst_app.moc"
