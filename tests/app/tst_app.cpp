// kbstudio end to end in one process: the main window over the virtual keyboard and filter.
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

#include "AppHarness.h"
#include "kb/app/KeyboardMatch.h"
#include "kb/app/Startup.h"
#include "kb/common/AppConfig.h"
#include "kb/device/VirtualFilter.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/Reports.h"
#include "kb/lighting/SideLightConfig.h"
#include "kb/ui/MenuLoader.h"
#include "kb/ui/Package.h"

using apptest::AppHarness;
using apptest::ReportText;
using kb::ui::PromptAnswer;

class AppTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();

    void startWithoutKeyboard();
    void startWithKeyboardSendsStoredEffectLater();
    void startShowsStoredAssignments();
    void lightingHandlers_data();
    void lightingHandlers();
    void sideLabelFollowsMode();
    void changeWithKeyboardAbsentIsStoredNotResent();
    void firmwareCheck_data();
    void firmwareCheck();
    void factoryReset();
    void factoryResetCancelled();
    void factoryResetThroughDeviceWatcher();
    void deviceChangeMatching_data();
    void deviceChangeMatching();
    void chromeAndMenuCommands();
    void languageSwitchRetranslates();
    void hiddenOnlyForExactArgument();
    void secondInstanceBringsFirstForward();
};

void AppTest::initTestCase() {
    QVERIFY(kb::VirtualKeyboard::Enabled());
    QVERIFY(kb::KbFiltrDevice::VirtualFilter::Enabled());
    kb::ui::SetProgramFolder(QStringLiteral(KB_PROGRAM_DIR));
    kb::ui::SetPackageFolder(QStringLiteral(KB_PROGRAM_DIR "/uires"));
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
                  R"(<effect sel="5"><item/><item/><item/><item/><item/>)"
                  R"(<item brightness="3" speed="2" deriction="1" selection="0"/></effect>)");
    app.LoadSettings();
    app.ClearReports();
    kb::app::CMainDlg& dlg = app.Start();
    QVERIFY(!dlg.IsDestroyed());
    QCOMPARE(dlg.FirmwareVersion(), 0x105);
    QCOMPARE(qobject_cast<QLabel*>(app.Find("version"))->text(), QStringLiteral("Firmware: v1.5"));
    QVERIFY(dlg.Tasks().IsRunning());

    // The first refresh selects the stored effect in the list, which stores and sends it.
    const kb::Report paced = kb::BuildEffectReport(5, 3, 2, 0);
    const auto sentAtStart = app.FeatureReportsSent();
    QVERIFY(std::find(sentAtStart.begin(), sentAtStart.end(), paced) != sentAtStart.end());

    // The start-up report follows 2000 ms later, with the record's bytes as stored.
    const kb::Report raw = kb::BuildEffectReportRaw(5, 3, 2, 1, 0);
    QTRY_COMPARE(dlg.Tasks().PendingCount(), std::size_t{1});  // the first task is waiting its delay
    app.taskClock->Advance(std::chrono::milliseconds(1999));
    QTest::qWait(20);
    QCOMPARE(app.FeatureReportsSent().size(), sentAtStart.size());
    app.taskClock->Advance(std::chrono::milliseconds(1));
    QTRY_COMPARE(app.FeatureReportsSent().size(), sentAtStart.size() + 1);
    QCOMPARE(ReportText(app.FeatureReportsSent().back()), ReportText(raw));
}

namespace {

template <class T>
T* Get(AppHarness& app, const char* name) {
    T* widget = qobject_cast<T*>(app.Find(name));
    if (widget == nullptr) {
        qFatal("no widget %s", name);
    }
    return widget;
}

// A drag of the slider by the user to `value`.
void MoveSlider(QSlider* slider, int value) {
    slider->setSliderPosition(value);
}

// Effect records 0..19 with distinct values, the given selection and side mode.
std::string EffectFile(int sel) {
    std::string xml = "<effect sel=\"" + std::to_string(sel) + "\">";
    for (int i = 0; i < 20; ++i) {
        xml += "<item brightness=\"" + std::to_string(i % 6) + "\" speed=\"" + std::to_string(i % 3) +
               "\" deriction=\"0\" selection=\"" + std::to_string(i == 1 ? 2 : 0) + "\"/>";
    }
    return xml + "</effect>";
}

// With KB_APP_SHOTS=DIR, the window as it looks at interesting moments, for a person to look at.
void MaybeSaveShot(QWidget* window, const char* name) {
    const QString folder = qEnvironmentVariable("KB_APP_SHOTS");
    if (!folder.isEmpty()) {
        window->grab().save(QDir(folder).filePath(QString::fromUtf8(name) + ".png"));
    }
}

kb::Report Bytes(std::initializer_list<uint8_t> bytes) {
    kb::Report report{};
    std::copy(bytes.begin(), bytes.end(), report.begin());
    return report;
}

}  // namespace

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
void AppTest::lightingHandlers_data() {
    QTest::addColumn<int>("storedSel");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("item");        // record expected afterwards (-1: none checked)
    QTest::addColumn<QString>("stored");  // "brightness speed selection" of that record
    QTest::addColumn<QString>("sent");    // last report, "" for none
    QTest::addColumn<int>("page");

    QTest::newRow("choose effect 5") << 0 << "list 5" << 5 << "5 2 0"
                                     << "07 FF FF 05 05 02 00 00" << 1;
    QTest::newRow("choose effect 1 keeps its record") << 0 << "list 1" << 1 << "1 1 2"
                                                      << "07 FF FF 01 01 01 01 00" << 3;
    QTest::newRow("brightness 3 to 4, center radio") << 1 << "slider bar_const_brightness_3 4" << 1 << "4 1 2"
                                                     << "07 FF FF 01 04 01 01 00" << 3;
    QTest::newRow("loader radio right") << 1 << "radio radio_loader_right_3" << 1 << "1 1 3"
                                        << "07 FF FF 01 01 01 02 00" << 3;
    QTest::newRow("speed 0 re-applies effect 7") << 7 << "slider bar_general_speed_0 2" << 7 << "1 1 0"
                                                 << "07 FF FF 07 01 01 00 00" << 1;
    QTest::newRow("page 1 sliders store into effect 7") << 7 << "slider bar_general_speed_1 2" << 7 << "1 2 0"
                                                        << "07 FF FF 07 01 02 00 00" << 1;
    QTest::newRow("direction radio re-applies effect 0")
        << 0 << "radio radio_direction_right_0" << 0 << "0 0 0"
        << "07 FF FF 00 00 00 00 00" << 2;
    QTest::newRow("profile list does nothing") << 5 << "profile 0" << 5 << "5 2 0"
                                               << "" << 1;
    QTest::newRow("factory selection 20 sends nothing") << 20 << "slider bar_const_brightness_1 3" << 20 << ""
                                                        << "" << 0;
}

void AppTest::lightingHandlers() {
    QFETCH(int, storedSel);
    QFETCH(QString, action);
    QFETCH(int, item);
    QFETCH(QString, stored);
    QFETCH(QString, sent);
    QFETCH(int, page);

    AppHarness app;
    app.WriteFile(QStringLiteral("ledeffect.xml"), EffectFile(storedSel));
    app.LoadSettings();
    kb::app::CMainDlg& dlg = app.Start();
    auto* tabs = Get<QTabWidget>(app, "tab_color_effect");
    const int startPage = tabs->currentIndex();
    app.ClearReports();

    const QStringList words = action.split(u' ');
    if (words[0] == u"list") {
        Get<QComboBox>(app, "cbx_color_effect")->setCurrentIndex(words[1].toInt());
    } else if (words[0] == u"slider") {
        MoveSlider(Get<QSlider>(app, words[1].toUtf8().constData()), words[2].toInt());
    } else if (words[0] == u"radio") {
        Get<QRadioButton>(app, words[1].toUtf8().constData())->click();
    } else {
        auto* profile = Get<QComboBox>(app, "cbx_in_lv");
        profile->addItem(QStringLiteral("second"));
        profile->setCurrentIndex(1);
    }

    const std::vector<kb::Report> reports = app.FeatureReportsSent();
    if (sent.isEmpty()) {
        QVERIFY(reports.empty());
    } else {
        QVERIFY(!reports.empty());
        QCOMPARE(ReportText(reports.back()), sent);
    }
    QCOMPARE(tabs->currentIndex(), storedSel == 20 ? startPage : page);
    // What the file holds now.
    kb::LedEffectConfig saved;
    QVERIFY(saved.Load(kb::LedEffectConfig::Instance().Path()));
    QCOMPARE(saved.GetSel(), item);
    if (!stored.isEmpty()) {
        const kb::LedEffectItem* record = saved.GetItem(item);
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(record->brightness).arg(record->speed).arg(record->selection),
                 stored);
    }
    MaybeSaveShot(dlg.Window(), QTest::currentDataTag());
}

void AppTest::sideLabelFollowsMode() {
    AppHarness app;
    app.Start();
    auto* list = Get<QComboBox>(app, "cbx_side_color_effect");
    auto* label = Get<QLabel>(app, "text_side_brightness");
    for (int mode = 0; mode < 12; ++mode) {
        list->setCurrentIndex(mode);
        QCOMPARE(label->text(), mode <= 2 ? QStringLiteral("Speed") : QStringLiteral("Brightness"));
    }
    // Level 6 in side mode 9: stored and sent.
    list->setCurrentIndex(9);
    app.ClearReports();
    MoveSlider(Get<QSlider>(app, "bar_side_brightness"), 6);
    QCOMPARE(kb::SideLightConfig::Instance().GetItem(9)->level, 6);
    QCOMPARE(ReportText(app.FeatureReportsSent().back()),
             ReportText(Bytes({7, 0xFF, 0xFF, 0x20, 0, 0, 0x69, 0})));
    kb::SideLightConfig saved;
    QVERIFY(saved.Load(kb::SideLightConfig::Instance().Path()));
    QCOMPARE(saved.GetSel(), 9);
    QCOMPARE(saved.GetItem(9)->level, 6);
}

void AppTest::changeWithKeyboardAbsentIsStoredNotResent() {
    AppHarness app;
    kb::app::CMainDlg& dlg = app.Start();
    dlg.Hid().Close();
    app.ClearReports();
    Get<QComboBox>(app, "cbx_color_effect")->setCurrentIndex(6);
    QCOMPARE(kb::LedEffectConfig::Instance().GetSel(), 6);
    QVERIFY(app.FeatureReportsSent().empty());
    // The keyboard comes back: the page shows what is stored, and the list already shows it, so nothing
    // is sent again.
    dlg.OnDeviceChange({kb::DeviceEventKind::Arrival, kb::VirtualKeyboard::Instance().Path()});
    QVERIFY(dlg.Hid().IsOpen());
    for (const kb::Report& report : app.FeatureReportsSent()) {
        QCOMPARE(report[1], uint8_t{0xF1});  // only the version request
    }
}

void AppTest::firmwareCheck_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("versionRequests");
    QTest::newRow("latest") << 0x100 << true
                            << "The firmware is already the latest version and no upgrade is required." << 0;
    QTest::newRow("older reopens and reads again") << 0x101 << true << "" << 1;
    QTest::newRow("no keyboard") << 0x105 << false << "Please insert USB device" << 0;
}

void AppTest::firmwareCheck() {
    QFETCH(int, version);
    QFETCH(bool, present);
    QFETCH(QString, message);
    QFETCH(int, versionRequests);
    AppHarness app(apptest::kConfig, static_cast<uint16_t>(version));
    kb::app::CMainDlg& dlg = app.Start();
    if (!present) {
        dlg.Hid().Close();
    }
    app.ClearReports();
    dlg.OnCommand(1);
    if (message.isEmpty()) {
        QVERIFY(app.prompt.AskedSoFar().empty());
    } else {
        QCOMPARE(app.prompt.AskedSoFar().size(), std::size_t{1});
        QCOMPARE(app.prompt.AskedSoFar()[0].text, message);
        QCOMPARE(app.prompt.AskedSoFar()[0].caption, QStringLiteral("Warning"));
    }
    const auto sent = app.FeatureReportsSent();
    QCOMPARE(static_cast<int>(std::count(sent.begin(), sent.end(), kb::BuildVersionRequest())),
             versionRequests);
    QCOMPARE(dlg.Hid().IsOpen(), present);
    if (present) {
        QCOMPARE(dlg.FirmwareVersion(), version);
    }
}

void AppTest::factoryReset() {
    AppHarness app;
    kb::KeyRecord record;
    record.code = 30;
    record.kind = record.mode = 1;
    record.parameter = 48;
    record.keyName = u"A";
    app.WriteFile(QStringLiteral("record.bin"), kb::EncodeRecordFile({record}));
    app.WriteFile(QStringLiteral("ledeffect.xml"), EffectFile(5));
    app.WriteFile(QStringLiteral("sidemodel.xml"), R"(<effect sel="9"/>)");
    app.LoadSettings();
    kb::app::CMainDlg& dlg = app.Start();
    auto& filter = kb::KbFiltrDevice::VirtualFilter::Instance();
    const std::size_t requestsBefore = filter.Requests().size();
    app.pacing->sleeps.clear();
    app.ClearReports();

    app.prompt.Push(PromptAnswer::Ok);
    qobject_cast<QAbstractButton*>(app.Find("btn_restore_factory"))->click();
    QCOMPARE(app.prompt.AskedSoFar().back().text,
             QStringLiteral("All settings will be restored, are you sure you want to continue?"));
    QVERIFY(dlg.ResetPending());

    // Files: factory lighting, factory side light, no records.
    kb::LedEffectConfig effects;
    QVERIFY(effects.Load(kb::LedEffectConfig::Instance().Path()));
    QCOMPARE(effects.GetSel(), 20);
    for (const kb::LedEffectItem& item : effects.Items()) {
        QCOMPARE(item, (kb::LedEffectItem{5, 0, 0, 0}));
    }
    QCOMPARE(app.ReadFile(QStringLiteral("sidemodel.xml")).find("sel=\"0\"") != std::string::npos, true);
    QCOMPARE(app.ReadFile(QStringLiteral("record.bin")), kb::EncodeRecordFile({}));
    KeyButton key;
    QVERIFY(dlg.Picture()->GetButton(30, key));
    QVERIFY(!key.marked);

    // Requests: four reloads 100 ms apart; the side light back to mode 0 at level 4; the reset command last.
    const auto requests = filter.Requests();
    QCOMPARE(requests.size() - requestsBefore, std::size_t{4});
    QCOMPARE(std::count(app.pacing->sleeps.begin(), app.pacing->sleeps.end(), 100), 3);
    const auto reports = app.Reports();
    QVERIFY(!reports.empty());
    QCOMPARE(reports.back().kind, kb::VirtualReport::Kind::Write);
    QCOMPARE(ReportText(reports.back().bytes), ReportText(kb::BuildResetCommand()));
    QVERIFY(!app.FeatureReportsSent().empty());
    QCOMPARE(ReportText(app.FeatureReportsSent().front()), ReportText(kb::BuildSideLightReport(0, 4)));
    QCOMPARE(Get<QComboBox>(app, "cbx_color_effect")->currentIndex(), 20);
    MaybeSaveShot(dlg.Window(), "after_reset");

    // The keyboard goes and comes back: the window stays, the arrival clears the flag, and a later
    // removal ends the program.
    const std::u16string path = kb::VirtualKeyboard::Instance().Path();
    dlg.OnDeviceChange({kb::DeviceEventKind::Removal, path});
    QVERIFY(!dlg.IsDestroyed());
    QVERIFY(!dlg.Hid().IsOpen());
    QCOMPARE(dlg.FirmwareVersion(), -1);
    QCOMPARE(Get<QLabel>(app, "version")->text(),
             QStringLiteral("Firmware: v1.5"));  // the last version stays
    // The keyboard is back a second later.
    kb::VirtualKeyboard::Instance().SetClock(
        [] { return std::chrono::steady_clock::now() + std::chrono::seconds(2); });
    dlg.OnDeviceChange({kb::DeviceEventKind::Arrival, path});
    QVERIFY(dlg.Hid().IsOpen());
    QVERIFY(!dlg.ResetPending());
    dlg.OnDeviceChange({kb::DeviceEventKind::Removal, path});
    QVERIFY(dlg.IsDestroyed());
    QCOMPARE(app.ends, 1);
}

void AppTest::factoryResetCancelled() {
    AppHarness app;
    app.WriteFile(QStringLiteral("ledeffect.xml"), EffectFile(5));
    app.LoadSettings();
    kb::app::CMainDlg& dlg = app.Start();
    const std::string before = app.ReadFile(QStringLiteral("ledeffect.xml"));
    app.ClearReports();
    app.prompt.Push(PromptAnswer::Cancel);
    dlg.OnBtnRestoreFactory();
    QVERIFY(!dlg.ResetPending());
    QCOMPARE(app.ReadFile(QStringLiteral("ledeffect.xml")), before);
    QVERIFY(app.Reports().empty());
}

void AppTest::factoryResetThroughDeviceWatcher() {
    // The virtual keyboard leaves at the reset command and returns about a second later; the system's
    // notifications reach the window through its watcher.
    AppHarness app;
    kb::app::CMainDlg& dlg = app.Start(true);
    app.prompt.Push(PromptAnswer::Ok);
    dlg.OnBtnRestoreFactory();
    QTRY_VERIFY(!dlg.Hid().IsOpen());
    QVERIFY(!dlg.IsDestroyed());
    QTRY_VERIFY_WITH_TIMEOUT(dlg.Hid().IsOpen(), 10000);
    QVERIFY(!dlg.ResetPending());
    QCOMPARE(dlg.FirmwareVersion(), 0x105);
}

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
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    qobject_cast<QAbstractButton*>(app.Find("btn_min"))->click();
    QTRY_VERIFY(!window->isVisible() || window->isMinimized());  // minimised where there is no tray
    dlg.OnCommand(2);                                            // the tray menu's "Show window"
    QTRY_VERIFY(window->isVisible() && !window->isMinimized());

    qobject_cast<QAbstractButton*>(app.Find("btn_more"))->click();
    QVERIFY(dlg.MoreMenu() != nullptr);
    QTRY_VERIFY(dlg.MoreMenu()->isVisible());
    QList<int> commands;
    for (QAction* action : dlg.MoreMenu()->actions()) {
        if (!action->isSeparator()) {
            commands << kb::ui::CommandOf(action);
        }
    }
    QCOMPARE(commands, (QList<int>{1, 6}));
    dlg.MoreMenu()->close();

    dlg.OnCommand(7);  // unknown: nothing
    QCoreApplication::processEvents();
    QVERIFY(!dlg.IsDestroyed());
    dlg.OnCommand(6);  // exit, posted like a close message
    QTRY_VERIFY(dlg.IsDestroyed());
    QCOMPARE(app.ends, 1);
    QVERIFY(!dlg.Tasks().IsRunning() || dlg.Tasks().Stop(true));
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
    // Retranslating the lists changes no selection, so nothing is stored or sent.
    QCOMPARE(effects->currentIndex(), effect);
    QVERIFY(app.Reports().empty());
    qobject_cast<QAbstractButton*>(app.Find("jp"))->click();
    QTRY_COMPARE(title->text(), english);
    QCOMPARE(Get<QLabel>(app, "version")->text(), QStringLiteral("Firmware: v1.5"));
    QCOMPARE(Get<QLabel>(app, "text_side_brightness")->text(), QStringLiteral("Speed"));
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

QTEST_MAIN(AppTest)
#include "tst_app.moc"
