// kbstudio end to end: the lighting page, the firmware check and the factory reset.
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
#include "kb/ui/Timeline.h"

using apptest::AppHarness;
using apptest::ReportText;
using namespace apptest;
using kb::ui::PromptAnswer;

class PagesTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void lightingHandlers_data();
    void lightingHandlers();
    void noLoaderRadioCheckedStoresThree();
    void sideLabelFollowsMode();
    void changeWithKeyboardAbsentIsStoredNotResent();
    void firmwareCheck_data();
    void firmwareCheck();
    void factoryReset();
    void factoryResetCancelled();
    void factoryResetThroughDeviceWatcher();
};

void PagesTest::initTestCase() {
    InitAppTests();
}

void PagesTest::lightingHandlers_data() {
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

void PagesTest::lightingHandlers() {
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

void PagesTest::noLoaderRadioCheckedStoresThree() {
    // Effect 1 with the factory selection 0: none of the three radios shows checked, whatever the layout
    // pre-checks, and a change on the page stores selection 3.
    AppHarness app;
    std::string file = EffectFile(1);
    file.replace(file.find("selection=\"2\""), 13, "selection=\"0\"");
    app.WriteFile(QStringLiteral("ledeffect.xml"), file);
    app.LoadSettings();
    app.Start();
    for (const char* name : {"radio_loader_left_3", "radio_loader_center_3", "radio_loader_right_3"}) {
        QVERIFY(!Get<QRadioButton>(app, name)->isChecked());
    }
    MoveSlider(Get<QSlider>(app, "bar_const_brightness_3"), 2);
    QCOMPARE(kb::LedEffectConfig::Instance().GetItem(1)->selection, 3);
    QCOMPARE(kb::LedEffectConfig::Instance().GetItem(1)->brightness, 2);
}

void PagesTest::sideLabelFollowsMode() {
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

void PagesTest::changeWithKeyboardAbsentIsStoredNotResent() {
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

void PagesTest::firmwareCheck_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("versionRequests");
    QTest::newRow("latest") << 0x100 << true
                            << "The firmware is already the latest version and no upgrade is required." << 0;
    QTest::newRow("older reopens and reads again") << 0x101 << true << "" << 1;
    QTest::newRow("no keyboard") << 0x105 << false << "Please insert USB device" << 0;
}

void PagesTest::firmwareCheck() {
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
    dlg.Chrome().OnCommand(1);
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

void PagesTest::factoryReset() {
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
    // As an assignment made in this run labels its key.
    dlg.Picture()->SetLabel(30, QStringLiteral("A : Macro 1"));
    auto& filter = kb::KbFiltrDevice::VirtualFilter::Instance();
    const std::size_t requestsBefore = filter.Requests().size();
    app.pacing->sleeps.clear();
    app.ClearReports();

    app.prompt.Push(PromptAnswer::Ok);
    qobject_cast<QAbstractButton*>(app.Find("btn_restore_factory"))->click();
    QCOMPARE(app.prompt.AskedSoFar().back().text,
             QStringLiteral("All settings will be restored, are you sure you want to continue?"));
    QVERIFY(dlg.Device().ResetPending());

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
    QCOMPARE(key.label, key.name);  // as a deletion leaves it: no assignment named any more

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
    // Also across a language switch while the keyboard is away, in the new language.
    qobject_cast<QAbstractButton*>(app.Find("zh_cn"))->click();
    QTRY_COMPARE(Get<QLabel>(app, "version")->text(), QStringLiteral("固件: v1.5"));
    qobject_cast<QAbstractButton*>(app.Find("jp"))->click();
    QTRY_COMPARE(Get<QLabel>(app, "version")->text(), QStringLiteral("Firmware: v1.5"));
    // The keyboard is back a second later.
    kb::VirtualKeyboard::Instance().SetClock(
        [] { return std::chrono::steady_clock::now() + std::chrono::seconds(2); });
    dlg.OnDeviceChange({kb::DeviceEventKind::Arrival, path});
    QVERIFY(dlg.Hid().IsOpen());
    QVERIFY(!dlg.Device().ResetPending());
    dlg.OnDeviceChange({kb::DeviceEventKind::Removal, path});
    QVERIFY(dlg.IsDestroyed());
    QCOMPARE(app.ends, 1);
}

void PagesTest::factoryResetCancelled() {
    AppHarness app;
    app.WriteFile(QStringLiteral("ledeffect.xml"), EffectFile(5));
    app.LoadSettings();
    kb::app::CMainDlg& dlg = app.Start();
    const std::string before = app.ReadFile(QStringLiteral("ledeffect.xml"));
    app.ClearReports();
    app.prompt.Push(PromptAnswer::Cancel);
    dlg.Device().OnBtnRestoreFactory();
    QVERIFY(!dlg.Device().ResetPending());
    QCOMPARE(app.ReadFile(QStringLiteral("ledeffect.xml")), before);
    QVERIFY(app.Reports().empty());
}

void PagesTest::factoryResetThroughDeviceWatcher() {
    // The virtual keyboard leaves at the reset command and returns about a second later; the system's
    // notifications reach the window through its watcher.
    AppHarness app;
    kb::app::CMainDlg& dlg = app.Start(true);
    app.prompt.Push(PromptAnswer::Ok);
    dlg.Device().OnBtnRestoreFactory();
    QTRY_VERIFY(!dlg.Hid().IsOpen());
    QVERIFY(!dlg.IsDestroyed());
    QTRY_VERIFY_WITH_TIMEOUT(dlg.Hid().IsOpen(), 10000);
    QVERIFY(!dlg.Device().ResetPending());
    QCOMPARE(dlg.FirmwareVersion(), 0x105);
}

QTEST_MAIN(PagesTest)
#include "tst_app_pages.moc"
