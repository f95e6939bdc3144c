// The assignment page: a click on the picture, the dialog's result turned into the record file, the
// picture's marks and labels, the filter requests around it; and once the whole chain through kbfilterd.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "DialogFixture.h"
#include "kb/assignment/VirtualKeyFeed.h"
#include "kb/device/FilterWire.h"
#include "tst_assign_page.h"

#ifdef KBFILTERD_PATH
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#endif

using kb::MacroStep;
using kb::assignment::KeyAssignmentPage;
using kb::assignment::KeyCodeForQtKey;
using kb::assignment::MacroRecordDlg;
using kbtest::Click;
using kbtest::ClickRow;
using kbtest::DialogWorld;
using kbtest::Find;
using kbtest::kA;
using kbtest::kB;
using kbtest::kS;
using Modes = std::vector<uint32_t>;
using Bytes = std::string;

namespace {

Bytes Hex(std::initializer_list<int> bytes) {
    Bytes out;
    for (int b : bytes) {
        out.push_back(static_cast<char>(b));
    }
    return out;
}

QString Label(const CoordButtonImage& picture, uint32_t code) {
    KeyButton key;
    return picture.GetButton(static_cast<int32_t>(code), key) ? key.label : QString();
}

bool Marked(const CoordButtonImage& picture, uint32_t code) {
    KeyButton key;
    return picture.GetButton(static_cast<int32_t>(code), key) && key.marked;
}

// Clicks key `code` of the picture: a press, then the release that opens the dialog, run by `script`.
int ClickKey(DialogWorld& w, uint32_t code, const QString& name,
             std::function<void(MacroRecordDlg&)> script) {
    int result = -1;
    w.Page().SetDialogRunner([&](MacroRecordDlg& dialog) {
        dialog.SetClock([&w] {
            ++w.handled;
            return w.now;
        });
        if (!dialog.Create()) {
            return 0;
        }
        dialog.show();
        script(dialog);
        result = dialog.result();
        return result;
    });
    w.Page().OnCoordButtonClick(static_cast<int32_t>(code), name, 0, 1, 0, 0);
    w.Page().OnCoordButtonClick(static_cast<int32_t>(code), name, 1, 1, 0, 0);
    return result;
}

}  // namespace

class TestAssignPage : public QObject {
    Q_OBJECT
  private slots:
    // A down 120 ms / A up, play index 2, repeat 5, for key B: recorded through the monitor in each
    // delay mode, confirmed, and compared with the record file made by hand.
    void recordedMacroGivesTheExpectedRecordFile_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("checksum");  // low byte; the others are FE FF FF
        QTest::newRow("real") << 0 << 0x78 << 0x6F;
        QTest::newRow("fixed 50") << 1 << 0x32 << 0xB5;
        QTest::newRow("none") << 2 << 0x00 << 0xE7;
    }
    void recordedMacroGivesTheExpectedRecordFile() {
        QFETCH(int, mode);
        QFETCH(int, delay);
        QFETCH(int, checksum);
        DialogWorld w;
        w.AddGroup(u"Group 0");
        w.library.mode = mode;
        w.library.delay = 50;
        const int result = ClickKey(w, kB, QStringLiteral("B"), [&](MacroRecordDlg& d) {
            ClickRow(d, "macro_group", 0);
            Click(d, "chk_macro_record");
            w.Key(kA, true, 1000);
            w.Key(kA, false, 1120);
            Click(d, "chk_macro_record");
            Find<QComboBox>(d, "macro_play_mode")->setCurrentIndex(2);
            auto* repeat = Find<QLineEdit>(d, "edit_macro_repeat_times");
            repeat->selectAll();
            QTest::keyClicks(repeat, "5");
            Click(d, "btnOK");
        });
        QCOMPARE(result, 1);
        const Bytes expected =
            Hex({0x20, 0x00, 0x04,     0x02, 0x30,  0x00, 0x00, 0x00,  // size 32, mode 4, 2 steps, B
                 0x05, 0x00, 0x00,     0x00,                           // repeat 5
                 0x1E, 0x00, 0x40,     0x00, delay, 0x00, 0x00, 0x00,  // A down
                 0x1E, 0x00, 0x00,     0x00, 0x00,  0x00, 0x00, 0x00,  // A up
                 0x42, 0x00, 0x00,     0x00,                           // "B"
                 0x00, 0x00, checksum, 0xFE, 0xFF,  0xFF});
        QCOMPARE(w.RecordFile(), expected);
        QCOMPARE(w.Modes(), (Modes{0, kb::filterwire::kModeCapture, 0, 1}));
        QCOMPARE(w.Reloads(), 1);
        QVERIFY(Marked(w.picture, kB));
        QCOMPARE(Label(w.picture, kB), QStringLiteral("B : Group 0"));
        QVERIFY(w.LibraryFile().find("play=\"2\"") != std::string::npos);  // the library is saved too
        QVERIFY(w.Page().CurrentDialog() == nullptr);
        QVERIFY(w.Page().TargetKeys().empty());
    }

    void singleMediaAndFunctionKeys() {
        DialogWorld w;
        ClickKey(w, kA, QStringLiteral("A"), [&](MacroRecordDlg& d) {
            Find<QTabWidget>(d, "tab_macro_mode_selection")->setCurrentIndex(1);
            w.filter->PressKey(kB);
            QTRY_COMPARE(w.library.skcode, static_cast<int32_t>(kB));
            w.filter->ReleaseKey(kB);
            Click(d, "btnOK");
        });
        const kb::KeyRecord* single = w.records.FindRecord(kA);
        QVERIFY(single);
        QCOMPARE(single->mode, 1);
        QCOMPARE(single->parameter, static_cast<int32_t>(kB));
        QVERIFY(single->steps.empty());
        QCOMPARE(Label(w.picture, kA), QStringLiteral("A : B"));

        ClickKey(w, kS, QStringLiteral("S"), [&](MacroRecordDlg& d) {
            Find<QTabWidget>(d, "tab_macro_mode_selection")->setCurrentIndex(2);
            Find<QComboBox>(d, "cmb_media_keys")->setCurrentIndex(1);
            Click(d, "btnOK");
        });
        const kb::KeyRecord* media = w.records.FindRecord(kS);
        QVERIFY(media);
        QCOMPARE(media->kind, kb::kKindMediaKey);
        QCOMPARE(media->mode, 2);
        QCOMPARE(media->steps, (std::vector<MacroStep>{{65568, 0, 0, u""}}));
        QCOMPARE(Label(w.picture, kS), QStringLiteral("S : Mute"));

        ClickKey(w, kS, QStringLiteral("S"), [&](MacroRecordDlg& d) {
            Find<QTabWidget>(d, "tab_macro_mode_selection")->setCurrentIndex(3);
            Find<QComboBox>(d, "cmb_function_keys")->setCurrentIndex(0);
            Click(d, "btnOK");
        });
        QCOMPARE(w.records.Records().size(), std::size_t{2});  // replaced in place
        QCOMPARE(
            w.records.FindRecord(kS)->steps,
            (std::vector<MacroStep>{{29, 1, 11, u""}, {46, 1, 21, u""}, {29, 0, 10, u""}, {46, 0, 20, u""}}));
        QCOMPARE(Label(w.picture, kS), QStringLiteral("S : Copy"));

        // A shortcut without keys builds nothing; the key is marked all the same.
        ClickKey(w, kB, QStringLiteral("B"), [&](MacroRecordDlg& d) {
            Find<QComboBox>(d, "cmb_function_keys")->setCurrentIndex(1);
            Click(d, "btnOK");
        });
        QVERIFY(w.records.FindRecord(kB) == nullptr);
        QVERIFY(Marked(w.picture, kB));

        // What the file holds reads back the same after a restart.
        kb::KeyRecordTable again;
        QVERIFY(again.LoadRecords(w.dir / "record.bin"));
        QCOMPARE(again.Records().size(), std::size_t{2});
    }

    void deleteAndCancel() {
        DialogWorld w;
        w.AddGroup(u"Group 0", {{kA, 0, 1, u"A"}, {kA, 1, 0, u"A"}});
        ClickKey(w, kS, QStringLiteral("S"), [](MacroRecordDlg& d) { Click(d, "btnOK"); });
        QVERIFY(w.records.FindRecord(kS));
        const Bytes saved = w.RecordFile();
        const std::string library = w.LibraryFile();

        // Cancel: only the two mode requests; nothing written, even after changes in the dialog.
        const auto modesBefore = w.Modes().size();
        ClickKey(w, kS, QStringLiteral("S"), [](MacroRecordDlg& d) {
            ClickRow(d, "key_info", 0);
            Click(d, "item_delete");
            Click(d, "btnCancel");
        });
        const Modes modes = w.Modes();
        QCOMPARE(Modes(modes.begin() + static_cast<long>(modesBefore), modes.end()), (Modes{0, 1}));
        QCOMPARE(w.Reloads(), 1);
        QCOMPARE(w.RecordFile(), saved);
        QCOMPARE(w.LibraryFile(), library);
        QCOMPARE(w.library.groups[0].steps.size(), std::size_t{1});  // kept in memory

        ClickKey(w, kS, QStringLiteral("S"), [](MacroRecordDlg& d) { Click(d, "btnDelete"); });
        QVERIFY(w.records.FindRecord(kS) == nullptr);
        QVERIFY(!Marked(w.picture, kS));
        QCOMPARE(Label(w.picture, kS), QStringLiteral("S"));
        QCOMPARE(w.RecordFile(), Hex({0, 0, 0, 0, 0, 0}));
        QCOMPARE(w.Reloads(), 2);
        // A key without an assignment: the file is rewritten and the filter told all the same.
        ClickKey(w, kB, QStringLiteral("B"), [](MacroRecordDlg& d) { Click(d, "btnDelete"); });
        QCOMPARE(w.Reloads(), 3);
    }

    // More than 255 steps (or 65535 bytes) cannot be stored: said so, nothing written, old record kept.
    void tooLongMacroIsRefused() {
        DialogWorld w;
        w.AddGroup(u"Short", {{kA, 0, 1, u"A"}, {kA, 1, 0, u"A"}});
        w.AddGroup(u"Long", std::vector<MacroStep>(256, MacroStep{kA, 0, 1, u"A"}));
        ClickKey(w, kS, QStringLiteral("S"), [](MacroRecordDlg& d) { Click(d, "btnOK"); });
        const Bytes saved = w.RecordFile();
        const int reloads = w.Reloads();
        ClickKey(w, kS, QStringLiteral("S"), [](MacroRecordDlg& d) {
            ClickRow(d, "macro_group", 1);
            Click(d, "btnOK");
        });
        QCOMPARE(w.prompt.AskedSoFar().size(), std::size_t{1});
        QVERIFY(w.prompt.AskedSoFar()[0].text.contains(QStringLiteral("256")));
        QVERIFY(w.prompt.AskedSoFar()[0].text.contains(QStringLiteral("255")));
        QCOMPARE(w.RecordFile(), saved);
        QCOMPARE(w.Reloads(), reloads);
        QCOMPARE(w.records.FindRecord(kS)->steps.size(), std::size_t{2});
        QCOMPARE(Label(w.picture, kS), QStringLiteral("S : Short"));
        // 255 steps fit.
        w.library.groups[1].steps.resize(255);
        ClickKey(w, kS, QStringLiteral("S"), [](MacroRecordDlg& d) {
            ClickRow(d, "macro_group", 1);
            Click(d, "btnOK");
        });
        QCOMPARE(w.records.FindRecord(kS)->steps.size(), std::size_t{255});
    }

    // A remembered tab that does not exist (a hand-edited "macro.xml") shows the first tab, and OK there
    // assigns what that tab shows.
    void unknownRememberedTabAssignsWhatIsShown_data() {
        QTest::addColumn<int>("type");
        QTest::newRow("9") << 9;
        QTest::newRow("-1") << -1;
    }
    void unknownRememberedTabAssignsWhatIsShown() {
        QFETCH(int, type);
        DialogWorld w;
        w.AddGroup(u"Group 0", {{kA, 0, 1, u"A"}, {kA, 1, 0, u"A"}});
        w.library.type = type;
        ClickKey(w, kS, QStringLiteral("S"), [](MacroRecordDlg& d) {
            QCOMPARE(Find<QTabWidget>(d, "tab_macro_mode_selection")->currentIndex(), 0);
            ClickRow(d, "macro_group", 0);
            Click(d, "btnOK");
        });
        QCOMPARE(w.library.type, 0);
        QVERIFY(w.records.FindRecord(kS) != nullptr);
    }

    // A negative remembered play mode (a hand-edited file) would give mode 1 or 0: a macro stored as a
    // single key whose target is the repeat count. The dialog shows and stores the first play mode.
    void negativePlayModeIsCorrected() {
        DialogWorld w;
        w.AddGroup(u"Group 0", {{kA, 0, 1, u"A"}, {kA, 1, 0, u"A"}});
        w.library.play = -1;
        ClickKey(w, kS, QStringLiteral("S"), [](MacroRecordDlg& d) {
            QCOMPARE(Find<QComboBox>(d, "macro_play_mode")->currentIndex(), 0);
            ClickRow(d, "macro_group", 0);
            Click(d, "btnOK");
        });
        QCOMPARE(w.library.play, 0);
        QVERIFY(w.records.FindRecord(kS) != nullptr);
        QCOMPARE(w.records.FindRecord(kS)->mode, 2);
    }

    void pressesAndMissingKeyboardOpenNothing() {
        DialogWorld w;
        bool ran = false;
        w.Page().SetDialogRunner([&](MacroRecordDlg&) {
            ran = true;
            return 2;
        });
        w.Page().OnCoordButtonClick(static_cast<int32_t>(kA), QStringLiteral("A"), 0, 1, 0, 0);
        QVERIFY(!ran);
        KeyAssignmentPage unplugged(
            {[] { return false; }, w.channel, &w.picture, w.library, w.records, w.config, w.prompt, nullptr});
        unplugged.SetDialogRunner([&](MacroRecordDlg&) {
            ran = true;
            return 2;
        });
        unplugged.OnCoordButtonClick(static_cast<int32_t>(kA), QStringLiteral("A"), 1, 1, 0, 0);
        QVERIFY(!ran);
        QVERIFY(w.Modes().empty());
    }

    void showsStoredAssignments() {
        DialogWorld w;
        kb::KeyRecord r;
        r.code = kA;
        r.mode = r.kind = 1;
        r.parameter = static_cast<int32_t>(kB);
        r.keyName = u"A";
        (void)w.records.SetRecord(r);
        w.Page().ShowStoredAssignments();
        QVERIFY(Marked(w.picture, kA));
        QCOMPARE(Label(w.picture, kA), QStringLiteral("A"));  // the assigned name is not stored
    }

    // Key presses in the program's windows feed the virtual filter: a macro recorded from the keyboard.
    void virtualFilterRecordsKeysTypedInTheWindow() {
        QCOMPARE(KeyCodeForQtKey(Qt::Key_A, {}, 0), kA);
        QCOMPARE(KeyCodeForQtKey(Qt::Key_Exclam, Qt::ShiftModifier, 0), 0x02u);
        QCOMPARE(KeyCodeForQtKey(Qt::Key_Control, {}, 0xFFE4), 0x1001Du);
        QCOMPARE(KeyCodeForQtKey(Qt::Key_Shift, {}, 0xFFE2), 0x10036u);
        QCOMPARE(KeyCodeForQtKey(Qt::Key_Home, {}, 0), 0x10047u);
        QCOMPARE(KeyCodeForQtKey(Qt::Key_Home, Qt::KeypadModifier, 0), 0x47u);
        QCOMPARE(KeyCodeForQtKey(Qt::Key_7, Qt::KeypadModifier, 0), 0x47u);
        QCOMPARE(KeyCodeForQtKey(Qt::Key_Enter, Qt::KeypadModifier, 0), 0x1001Cu);
        QCOMPARE(KeyCodeForQtKey(Qt::Key_Launch0, {}, 0), 0u);

        qputenv(kb::KbFiltrDevice::VirtualFilter::kEnv, "1");
        auto& shared = kb::KbFiltrDevice::VirtualFilter::Instance();
        DialogWorld w(&shared);
        w.AddGroup(u"Group 0");
        ClickKey(w, kS, QStringLiteral("S"), [&](MacroRecordDlg& d) {
            ClickRow(d, "macro_group", 0);
            Click(d, "chk_macro_record");
            auto* repeat = Find<QLineEdit>(d, "edit_macro_repeat_times");
            repeat->setFocus();
            w.now = 500;
            QTest::keyPress(repeat, Qt::Key_A);
            QTRY_COMPARE(w.library.groups[0].steps.size(), std::size_t{1});
            w.now = 620;
            QTest::keyRelease(repeat, Qt::Key_A);
            QTRY_COMPARE(w.library.groups[0].steps.size(), std::size_t{2});
            QCOMPARE(repeat->text(), QStringLiteral("1"));  // captured keys are not typed
            Click(d, "chk_macro_record");
            Click(d, "btnOK");
        });
        qunsetenv(kb::KbFiltrDevice::VirtualFilter::kEnv);
        QCOMPARE(w.records.FindRecord(kS)->steps,
                 (std::vector<MacroStep>{{kA, 0, 120, u"A"}, {kA, 1, 0, u"A"}}));
        QVERIFY(shared.HeldKeys().empty());

        // A key still held when the program loses the keyboard is let go.
        QWidget window;
        QTest::keyPress(&window, Qt::Key_C);
        QCOMPARE(shared.HeldKeys(), (std::vector<uint32_t>{kbtest::kC}));
        QApplicationStateChangeEvent inactive(Qt::ApplicationInactive);
        QCoreApplication::sendEvent(qApp, &inactive);
        QVERIFY(shared.HeldKeys().empty());
    }

#ifdef KBFILTERD_PATH
    // The record file the program wrote, read by kbfilterd: a tap of B, and a long press, play A down,
    // 120 ms, A up, twice.
    void recordFilePlaysInKbfilterd_data() {
        QTest::addColumn<QString>("script");
        QTest::newRow("tap") << QStringLiteral("down B\nup B\n");
        QTest::newRow("long press") << QStringLiteral("down B\nt=800 up B\n");
    }
    void recordFilePlaysInKbfilterd() {
        QFETCH(QString, script);
        DialogWorld w;
        w.AddGroup(u"Group 0", {{kA, 0, 120, u"A"}, {kA, 1, 0, u"A"}});
        w.library.repeat = 2;
        ClickKey(w, kB, QStringLiteral("B"), [](MacroRecordDlg& d) {
            ClickRow(d, "macro_group", 0);
            Click(d, "btnOK");
        });
        const std::string records = (w.dir / "record.bin").string();
        const std::string sockets = (w.dir / "sock").string();
        int in[2], out[2];
        QCOMPARE(::pipe2(in, O_CLOEXEC), 0);
        QCOMPARE(::pipe2(out, O_CLOEXEC), 0);
        // Everything the child needs is made before the fork: only async-signal-safe calls may follow it
        // in a process with threads.
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            env.emplace_back(*e);
        }
        env.push_back(std::string(kb::filterwire::kSocketDirEnv) + "=" + sockets);
        std::vector<char*> envp;
        for (std::string& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        const std::string arguments[] = {"kbfilterd", "--records", records, "--script", "-", "--print"};
        std::vector<char*> argv;
        for (const std::string& a : arguments) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::execve(KBFILTERD_PATH, argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        const std::string lines = script.toStdString();
        QCOMPARE(::write(in[1], lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
        ::close(in[1]);  // the daemon ends once the script is played out
        std::string printed;
        char buf[256];
        ssize_t n;
        while ((n = ::read(out[0], buf, sizeof buf)) > 0) {
            printed.append(buf, static_cast<std::size_t>(n));
        }
        ::close(out[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        QCOMPARE(QString::fromStdString(printed),
                 QStringLiteral("down KEY_A\nup KEY_A\ndown KEY_A\nup KEY_A\n"));
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        // The delays themselves are checked byte for byte in the file above and on a set clock in the
        // daemon's engine tests; timing belongs to the benchmark.
    }
#endif
};

int RunAssignPageTests(int argc, char** argv) {
    TestAssignPage page;
    return QTest::qExec(&page, argc, argv);
}

#include "tst_assign_page.moc"
