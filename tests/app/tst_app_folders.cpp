// The real program copied where an installed one lives (no config.xml beside it): it keeps its files in
// the user's settings folder, never beside itself, and says so when that folder cannot be made.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class AppFoldersTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir root_;

    QString Path(const QString& relative) const { return root_.filePath(relative); }

    // Starts the copied program with HOME (and XDG_CONFIG_HOME when given) in the scratch folder.
    void Start(QProcess& process, const QString& home, const QString& xdg = {}) {
        QProcessEnvironment env;
        env.insert("PATH", qEnvironmentVariable("PATH"));
        env.insert("HOME", home);
        if (!xdg.isEmpty()) {
            env.insert("XDG_CONFIG_HOME", xdg);
        }
        env.insert("XDG_RUNTIME_DIR", Path("run"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("KBSTUDIO_VIRTUAL_KEYBOARD", "1");
        env.insert("KBSTUDIO_VIRTUAL_FILTER", "1");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(root_.path());
        process.start(Path("usr/bin/kbstudio"), {"-hid"});
        QVERIFY(process.waitForStarted());
    }
    static void Stop(QProcess& process) {
        process.kill();
        process.waitForFinished(20000);
    }

  private slots:
    void initTestCase() {
        QVERIFY(root_.isValid());
        QVERIFY(QDir().mkpath(Path("usr/bin")));
        QVERIFY(QDir().mkpath(Path("run")));
        QFile::setPermissions(Path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QFile::copy(QStringLiteral(KB_PROGRAM_DIR "/kbstudio"), Path("usr/bin/kbstudio")));
        QFile::setPermissions(Path("usr/bin/kbstudio"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void writesIntoTheUsersConfigFolder() {
        QVERIFY(QDir().mkpath(Path("home")));
        QProcess program;
        Start(program, Path("home"));
        // The lighting files are written with factory values at start when they are missing.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Path("home/.config/kbstudio/ledeffect.xml")), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Path("home/.config/kbstudio/sidemodel.xml")), 20000);
        Stop(program);
        QCOMPARE(QFile::permissions(Path("home/.config/kbstudio")) & 0x7777,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser |
                     QFile::ExeUser);
        QCOMPARE(QDir(Path("usr/bin")).entryList(QDir::Files), QStringList{"kbstudio"});
    }

    void followsXdgConfigHome() {
        QVERIFY(QDir().mkpath(Path("home2")));
        QProcess program;
        Start(program, Path("home2"), Path("xdg"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Path("xdg/kbstudio/ledeffect.xml")), 20000);
        Stop(program);
        QVERIFY(!QFile::exists(Path("home2/.config")));
    }

    void finishesAProfileSwitchAKilledProcessLeft() {
        // Profile B was being switched in when the switching process was killed: the settings folder still
        // holds A's record file and the marker says where the switch was going.
        const QString settings = Path("home3/.config/kbstudio");
        QVERIFY(QDir().mkpath(settings + "/profiles/A"));
        QVERIFY(QDir().mkpath(settings + "/profiles/B"));
        const QByteArray recordsA(6, '\0');
        const QByteArray recordsB = QByteArray::fromHex(
            "100001001e00000030000000410000000000"
            "60ffffff");
        const auto write = [](const QString& file, const QByteArray& bytes) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(bytes), bytes.size());
        };
        write(settings + "/record.bin", recordsA);
        write(settings + "/profiles/A/record.bin", recordsA);
        write(settings + "/profiles/B/record.bin", recordsB);
        write(settings + "/profiles/active", "A\nB\n");
        const auto read = [](const QString& file) {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        QProcess program;
        Start(program, Path("home3"));
        QTRY_COMPARE_WITH_TIMEOUT(read(settings + "/profiles/active"), QByteArray("B\n"), 20000);
        Stop(program);
        QCOMPARE(read(settings + "/record.bin"), recordsB);
    }

    void namesAFolderItCannotMake() {
        QFile blocker(Path("blocked"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));  // a file where HOME should be a folder
        blocker.close();
        QProcess program;
        Start(program, Path("blocked"));
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT(
            (err += program.readAllStandardError())
                .contains("cannot create the settings folder " + Path("blocked/.config").toUtf8()),
            20000);
        Stop(program);  // the message box waits for the user
    }
};

QTEST_MAIN(AppFoldersTest)
#include "tst_app_folders.moc"
