// kbstudio end to end in one process: the main window over the virtual keyboard and filter.
#include <QComboBox>
#include <QLabel>
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

QTEST_MAIN(AppTest)
#include "tst_app.moc"
