// The key click of the running main window, end to end over the virtual keyboard and filter: the modal
// dialog opens for the clicked key, a macro is recorded from keys typed into the window, and the
// confirmation reaches the record file, the filter and the picture.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include "AppHarness.h"
#include "kb/assignment/MacroRecordDlg.h"
#include "kb/device/FilterWire.h"
#include "kb/device/VirtualFilter.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/macros/MacroLibrary.h"
#include "kb/ui/Package.h"

class AppAssignTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY(kb::KbFiltrDevice::VirtualFilter::Enabled());
        kb::ui::SetProgramFolder(QStringLiteral(KB_PROGRAM_DIR));
        kb::ui::SetPackageFolder(QStringLiteral(KB_PROGRAM_DIR "/uires"));
    }

    void clickRecordAndConfirm() {
        apptest::AppHarness app;
        kb::MacroLibrary::Instance().Reset();
        app.LoadSettings();
        kb::app::CMainDlg& dlg = app.Start();
        QVERIFY(!dlg.IsDestroyed());
        CoordButtonImage* picture = dlg.Picture();
        QVERIFY(picture);
        KeyButton a;
        QVERIFY(picture->GetButton(0x1E, a));
        auto& filter = kb::KbFiltrDevice::VirtualFilter::Instance();
        const std::size_t requestsBefore = filter.Requests().size();
        const int reloadsBefore = filter.ReloadCount();

        bool scripted = false;
        QTimer::singleShot(0, this, [&] {
            auto* d = qobject_cast<kb::assignment::MacroRecordDlg*>(QApplication::activeModalWidget());
            QVERIFY(d);
            QCOMPARE(filter.Mode(), kb::filterwire::kModeNoRemap);
            d->Content()->findChild<QAbstractButton*>(QStringLiteral("groupAdd"))->click();
            auto* groups = d->Content()->findChild<QListView*>(QStringLiteral("macro_group"));
            QTest::mouseClick(groups->viewport(), Qt::LeftButton, {},
                              groups->visualRect(groups->model()->index(0, 0)).center());
            d->Content()->findChild<QAbstractButton*>(QStringLiteral("chk_macro_fixed_delay"))->click();
            d->Content()->findChild<QAbstractButton*>(QStringLiteral("chk_macro_record"))->click();
            QCOMPARE(filter.Mode(), kb::filterwire::kModeCapture);
            QTest::keyPress(d, Qt::Key_B);
            QTRY_COMPARE(kb::MacroLibrary::Instance().groups[0].steps.size(), std::size_t{1});
            QTest::keyRelease(d, Qt::Key_B);
            QTRY_COMPARE(kb::MacroLibrary::Instance().groups[0].steps.size(), std::size_t{2});
            d->Content()->findChild<QAbstractButton*>(QStringLiteral("chk_macro_record"))->click();
            d->Content()->findChild<QAbstractButton*>(QStringLiteral("btnOK"))->click();
            scripted = true;
        });
        const QPoint centre((a.left + a.right) / 2, (a.top + a.bottom) / 2);
        QTest::mousePress(picture, Qt::LeftButton, {}, centre);
        QTest::mouseRelease(picture, Qt::LeftButton, {}, centre);  // runs the dialog until the script ends it
        QVERIFY(scripted);

        const kb::KeyRecord* record = kb::KeyRecordTable::Instance().FindRecord(0x1E);
        QVERIFY(record);
        QCOMPARE(record->mode, 2);
        QCOMPARE(record->parameter, 1);
        QCOMPARE(record->steps, (std::vector<kb::MacroStep>{{0x30, 0, 10, u"B"}, {0x30, 1, 0, u"B"}}));
        const kb::RecordFileDecodeResult file =
            kb::DecodeRecordFile(app.ReadFile(QStringLiteral("record.bin")));
        QVERIFY(file.ok);
        QCOMPARE(file.records.size(), std::size_t{1});
        QCOMPARE(file.records[0].steps.size(), std::size_t{2});
        QVERIFY(app.ReadFile(QStringLiteral("macro.xml")).find("Group 0") != std::string::npos);
        QVERIFY(picture->GetButton(0x1E, a));
        QVERIFY(a.marked);
        QCOMPARE(a.label, QStringLiteral("A : Group 0"));
        QCOMPARE(filter.ReloadCount(), reloadsBefore + 1);
        QCOMPARE(filter.Mode(), kb::filterwire::kModeNormal);
        std::vector<uint32_t> modes;
        const auto requests = filter.Requests();
        for (std::size_t i = requestsBefore; i < requests.size(); ++i) {
            if (requests[i].code == kb::filterwire::kSetMode) {
                modes.push_back(kb::filterwire::GetU32(requests[i].input.data()));
            }
        }
        QCOMPARE(modes, (std::vector<uint32_t>{0, 0xFFFFFFFF, 0, 1}));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    // Pictures of the dialog as a user sees it, for the README: KB_SCREENSHOTS=<folder> asks for them.
    // A tap and a long press are recorded with real time between the keys.
    void screenshots_data() {
        QTest::addColumn<int>("chinese");
        QTest::newRow("en") << 0;
        QTest::newRow("cn") << 1;
    }
    void screenshots() {
        QFETCH(int, chinese);
        const QString folder = qEnvironmentVariable("KB_SCREENSHOTS");
        if (folder.isEmpty()) {
            QSKIP("KB_SCREENSHOTS names no folder");
        }
        const QString lang = chinese != 0 ? QStringLiteral("cn") : QStringLiteral("en");
        QDir::setCurrent(QStringLiteral(KB_PROGRAM_DIR));  // the style sheet's images are relative to it
        QFile style(kb::ui::PackagePath(QStringLiteral("style/style.qss")));
        QVERIFY(style.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(style.readAll()));

        apptest::AppHarness app;
        kb::MacroLibrary::Instance().Reset();
        app.LoadSettings();
        (void)kb::KeyRecordTable::Instance().ClearRecords();  // records of the earlier test in this process
        kb::app::CMainDlg& dlg = app.Start();
        dlg.Chrome().SwitchLanguage(chinese);
        dlg.Window()->show();
        KeyButton f1;
        QVERIFY(dlg.Picture()->GetButton(0x3B, f1));
        QTimer::singleShot(0, this, [&] {
            auto* d = qobject_cast<kb::assignment::MacroRecordDlg*>(QApplication::activeModalWidget());
            QVERIFY(d);
            auto button = [d](const char* name) {
                return d->Content()->findChild<QAbstractButton*>(QString::fromLatin1(name));
            };
            button("groupAdd")->click();
            button("groupAdd")->click();
            auto* groups = d->Content()->findChild<QListView*>(QStringLiteral("macro_group"));
            QTest::mouseClick(groups->viewport(), Qt::LeftButton, {},
                              groups->visualRect(groups->model()->index(1, 0)).center());
            button("chk_macro_record")->click();
            auto& steps = kb::MacroLibrary::Instance().groups[1].steps;
            const auto type = [&](Qt::Key key, int holdMs, std::size_t after) {
                QTest::keyPress(d, key);
                QTRY_COMPARE(steps.size(), after + 1);
                QThread::msleep(static_cast<unsigned long>(holdMs));
                QTest::keyRelease(d, key);
                QTRY_COMPARE(steps.size(), after + 2);
                QThread::msleep(150);
            };
            type(Qt::Key_Control, 40, 0);  // a tap
            type(Qt::Key_C, 650, 2);       // a long press
            type(Qt::Key_V, 60, 4);
            QVERIFY(d->Content()->grab().save(folder + QStringLiteral("/record_macro_%1.png").arg(lang)));
            button("chk_macro_record")->click();
            d->Content()
                ->findChild<QTabWidget*>(QStringLiteral("tab_macro_mode_selection"))
                ->setCurrentIndex(1);
            QTest::keyPress(d, Qt::Key_B);
            QTRY_COMPARE(kb::MacroLibrary::Instance().skcode, 0x30);
            QTest::keyRelease(d, Qt::Key_B);
            QTest::qWait(400);  // let the tab's animation end
            QVERIFY(d->Content()->grab().save(folder + QStringLiteral("/capture_key_%1.png").arg(lang)));
            d->Content()
                ->findChild<QTabWidget*>(QStringLiteral("tab_macro_mode_selection"))
                ->setCurrentIndex(0);
            QTest::qWait(400);
            button("btnOK")->click();
        });
        const QPoint centre((f1.left + f1.right) / 2, (f1.top + f1.bottom) / 2);
        QTest::mousePress(dlg.Picture(), Qt::LeftButton, {}, centre);
        QTest::mouseRelease(dlg.Picture(), Qt::LeftButton, {}, centre);
        QVERIFY(dlg.Picture()->GetButton(0x3B, f1));
        QVERIFY(f1.marked);
        qApp->setStyleSheet(QString());
    }
};

QTEST_MAIN(AppAssignTest)
#include "tst_app_assign.moc"
