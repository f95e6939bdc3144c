// Pictures of the assignment dialog as a user sees it, for the README: the running main window over the
// virtual keyboard and filter, offscreen; a macro recorded from typed keys (a tap and a long press with
// real time between the keys) and a captured key, in English and in Chinese.
// Usage: kb_dialog_shots FOLDER   (docs/screenshots/update.sh runs it)
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "AppHarness.h"
#include "kb/assignment/MacroRecordDlg.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/macros/MacroLibrary.h"
#include "kb/ui/Package.h"

namespace {

bool failed = false;

void Check(bool ok, const char* what) {
    if (!ok && !failed) {
        std::fprintf(stderr, "kb_dialog_shots: %s\n", what);
    }
    failed = failed || !ok;
}

// Runs events until `done` holds, at most five seconds.
bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

void Pause(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

void RecordAndCapture(kb::assignment::MacroRecordDlg* d, const QString& folder, const QString& lang) {
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
        Check(WaitFor([&] { return steps.size() == after + 1; }), "a press was not recorded");
        QThread::msleep(static_cast<unsigned long>(holdMs));
        QTest::keyRelease(d, key);
        Check(WaitFor([&] { return steps.size() == after + 2; }), "a release was not recorded");
        QThread::msleep(150);
    };
    type(Qt::Key_Control, 40, 0);  // a tap
    type(Qt::Key_C, 650, 2);       // a long press
    type(Qt::Key_V, 60, 4);
    Check(d->Content()->grab().save(folder + QStringLiteral("/record_macro_%1.png").arg(lang)),
          "record_macro not saved");
    button("chk_macro_record")->click();
    auto* tabs = d->Content()->findChild<QTabWidget*>(QStringLiteral("tab_macro_mode_selection"));
    tabs->setCurrentIndex(1);
    QTest::keyPress(d, Qt::Key_B);
    Check(WaitFor([] { return kb::MacroLibrary::Instance().skcode == 0x30; }), "the key was not captured");
    QTest::keyRelease(d, Qt::Key_B);
    Pause(400);  // the tab's animation ends
    Check(d->Content()->grab().save(folder + QStringLiteral("/capture_key_%1.png").arg(lang)),
          "capture_key not saved");
    tabs->setCurrentIndex(0);
    Pause(400);
    button("btnOK")->click();
}

void Shoot(const QString& folder, bool chinese) {
    const QString lang = chinese ? QStringLiteral("cn") : QStringLiteral("en");
    apptest::AppHarness app;
    kb::MacroLibrary::Instance().Reset();
    app.LoadSettings();
    (void)kb::KeyRecordTable::Instance().ClearRecords();  // the records of the first language's run
    kb::app::CMainDlg& dlg = app.Start();
    dlg.Chrome().SwitchLanguage(chinese ? 1 : 0);
    dlg.Window()->show();
    KeyButton f1;
    Check(dlg.Picture()->GetButton(0x3B, f1), "no F1 on the picture");
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<kb::assignment::MacroRecordDlg*>(QApplication::activeModalWidget());
        Check(d != nullptr, "the dialog did not open");
        if (d != nullptr) {
            RecordAndCapture(d, folder, lang);
        }
    });
    const QPoint centre((f1.left + f1.right) / 2, (f1.top + f1.bottom) / 2);
    QTest::mousePress(dlg.Picture(), Qt::LeftButton, {}, centre);
    QTest::mouseRelease(dlg.Picture(), Qt::LeftButton, {}, centre);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kb_dialog_shots FOLDER\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    kb::ui::SetProgramFolder(QStringLiteral(KB_PROGRAM_DIR));
    kb::ui::SetPackageFolder(QStringLiteral(KB_PROGRAM_DIR "/uires"));
    QDir::setCurrent(QStringLiteral(KB_PROGRAM_DIR));  // the style sheet's images are relative to it
    QFile style(kb::ui::PackagePath(QStringLiteral("style/style.qss")));
    if (!style.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "kb_dialog_shots: no style sheet in the package\n");
        return 1;
    }
    application.setStyleSheet(QString::fromUtf8(style.readAll()));
    Shoot(folder, false);
    Shoot(folder, true);
    return failed ? 1 : 0;
}
