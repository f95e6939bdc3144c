// The program's own files as users leave them: broken or odd settings files at start-up, and the
// single-instance lock when the session has no runtime folder or another process holds the lock.
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include "AppHarness.h"
#include "ScriptedPrompt.h"
#include "kb/app/SettingsNotice.h"
#include "kb/app/SingleInstance.h"
#include "kb/common/AppConfig.h"
#include "kb/common/LoadStatus.h"

using apptest::AppHarness;

class AppFilesTest : public QObject {
    Q_OBJECT

  private:
    // A program folder of its own for the real program, as a portable copy: settings files beside it.
    struct ProgramCopy {
        QTemporaryDir folder;
        QTemporaryDir runtime;

        ProgramCopy() {
            const QString bin = QStringLiteral(KB_PROGRAM_DIR);
            QFile::copy(bin + "/kbstudio", folder.filePath("kbstudio"));
            QFile::setPermissions(folder.filePath("kbstudio"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QFile::link(bin + "/uires", folder.filePath("uires"));
            Write("config.xml", apptest::kConfig);
        }
        QString Path(const QString& name) const { return folder.filePath(name); }
        void Write(const QString& name, const QByteArray& bytes) const {
            QFile file(Path(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        void Start(QProcess& process) const {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_RUNTIME_DIR", runtime.path());
            env.insert("QT_QPA_PLATFORM", "offscreen");
            env.insert("KBSTUDIO_VIRTUAL_KEYBOARD", "1");
            env.insert("KBSTUDIO_VIRTUAL_FILTER", "1");
            process.setProcessEnvironment(env);
            process.start(Path("kbstudio"), {"-hid"});
            QVERIFY(process.waitForStarted());
        }
    };

    static void Stop(QProcess& process) {
        process.kill();
        process.waitForFinished(20000);
    }

  private slots:
    void initTestCase() { apptest::InitAppTests(); }

    void brokenMacroFileIsKeptAsideAndTold() {
        ProgramCopy copy;
        const QByteArray macros = "<config/><macro><group name=\"a\"/><group name=\"b\"/></macro><";
        copy.Write("macro.xml", macros);
        QProcess program;
        copy.Start(program);
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += program.readAllStandardOutput()).contains("macro.xml.unreadable"),
                                 20000);
        Stop(program);  // the message box waits for the user
        QVERIFY(out.contains("not well-formed XML"));
        QFile aside(copy.Path("macro.xml.unreadable"));
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), macros);
    }

    void aFifoForASettingsFileDoesNotHangTheStart() {
        ProgramCopy copy;
        QCOMPARE(::mkfifo(QFile::encodeName(copy.Path("macro.xml")).constData(), 0600), 0);
        QProcess program;
        copy.Start(program);
        // The lighting files are loaded after the macros and written at once when missing.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(copy.Path("ledeffect.xml")), 20000);
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += program.readAllStandardOutput()).contains("not a regular file"),
                                 20000);
        Stop(program);
    }

    void unreadableFilesAreToldInOneMessage() {
        kbtest::ScriptedPrompt prompt;
        kb::LoadStatus loaded;
        loaded.state = kb::LoadState::Loaded;
        QVERIFY(!kb::app::TellUnreadableSettings(prompt, {loaded, kb::LoadStatus{}}));
        QVERIFY(prompt.AskedSoFar().empty());

        const kb::LoadStatus macros = kb::UnreadableStatus("/f/macro.xml", "it is broken", false);
        const kb::LoadStatus records = kb::UnreadableStatus("/f/record.bin", "it is broken", false);
        QVERIFY(kb::app::TellUnreadableSettings(prompt, {macros, loaded, records}));
        QCOMPARE(prompt.AskedSoFar().size(), std::size_t{1});
        QVERIFY(prompt.AskedSoFar()[0].text.contains("/f/macro.xml"));
        QVERIFY(prompt.AskedSoFar()[0].text.contains("/f/record.bin"));
        QCOMPARE(prompt.AskedSoFar()[0].caption, QStringLiteral("Warning"));
    }

    void aBrokenConfigFileIsNamedInsteadOfTheMissingKeyboard() {
        const std::string broken = R"(<usb vid="0x1209" pid="0xa1e5")";
        AppHarness app(broken);
        // As start-up reads it: from the file, which says what is wrong with it.
        app.WriteFile(QStringLiteral("config.xml"), broken);
        kb::AppConfig::Instance().Load(QDir(app.dir.path()).filePath("config.xml").toStdU16String());
        kb::app::CMainDlg& dlg = app.Start();
        QCOMPARE(app.prompt.AskedSoFar().size(), std::size_t{1});
        const QString text = app.prompt.AskedSoFar()[0].text;
        QVERIFY2(text.contains("config.xml") && text.contains("not well-formed XML"), qPrintable(text));
        QVERIFY(dlg.IsDestroyed());
    }

    void aLockHolderThatDoesNotAnswerEndsTheStartWithTheReason() {
        ProgramCopy copy;
        // This process holds the lock, as a stopped or hung instance would, and listens without answering.
        QLockFile held(copy.runtime.filePath("kbstudio.kbconfig.lock"));
        QVERIFY(held.tryLock(0));
        QLocalServer silent;
        QVERIFY(silent.listen(copy.runtime.filePath("kbstudio.kbconfig.sock")));

        kb::app::SingleInstance second(QStringLiteral("kbstudio.kbconfig"), copy.runtime.path());
        QVERIFY(!second.Acquire());
        QVERIFY(!second.ActivateRunning(300));

        silent.close();
        QProcess program;
        copy.Start(program);
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += program.readAllStandardError()).contains("already running"), 20000);
        Stop(program);  // the message box waits for the user; then the program ends with status 1
        QVERIFY2(err.contains("process " + QByteArray::number(QCoreApplication::applicationPid())),
                 err.constData());
    }

    void theFallbackFolderAndItsLockAreTheUsersOwn() {
        QTemporaryDir scratch;
        const QString folder = scratch.filePath("fallback");
        const mode_t previous = ::umask(0);
        kb::app::SingleInstance first(QStringLiteral("kbconfig"), folder);
        const bool acquired = first.Acquire();
        ::umask(previous);
        QVERIFY(acquired);
        struct stat st {};
        QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t{0700});
        QVERIFY(QFile::exists(first.LockPath()));

        // A lock file in the folder that another user owns is never taken for a running instance.
        if (::geteuid() != 0) {
            QSKIP("giving a file to another user needs root");
        }
        QTemporaryDir planted;
        kb::app::SingleInstance owner(QStringLiteral("kbconfig"), planted.path());
        QVERIFY(owner.Acquire());
        const QByteArray lock = QFile::encodeName(owner.LockPath());
        QCOMPARE(::chown(lock.constData(), 65534, 65534), 0);
        kb::app::SingleInstance later(QStringLiteral("kbconfig"), planted.path());
        QVERIFY(later.Acquire());
    }
};

QTEST_MAIN(AppFilesTest)
#include "tst_app_files.moc"
