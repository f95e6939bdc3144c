#include "kb/app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <algorithm>

#include "PrivateFolder.h"
#include "kb/common/Trace.h"

namespace kb::app {
namespace {

constexpr char kActivate[] = "show\n";
// The running instance's answer: a window that got the request. A process that holds the lock but does
// not answer (stopped, hung) is told apart from one that does.
constexpr char kShown[] = "shown\n";

QString SafeFileName(QString name) {
    for (QChar& c : name) {
        if (!(c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_')) {
            c = u'_';
        }
    }
    return name.isEmpty() ? QStringLiteral("kbstudio") : name;
}

}  // namespace

SingleInstance::SingleInstance(const QString& name, const QString& folder) : name_(SafeFileName(name)) {
    folder_ = folder;
    if (folder_.isEmpty()) {
        folder_ = qEnvironmentVariable("XDG_RUNTIME_DIR");
    }
    if (folder_.isEmpty() || !QDir::isAbsolutePath(folder_)) {
        // Without a runtime folder: one of our own in the temporary folder, named after the user id.
        folder_ = FallbackRuntimeFolder();
    }
}

SingleInstance::~SingleInstance() {
    if (server_) {
        server_->close();
    }
}

QString SingleInstance::LockPath() const {
    return QDir(folder_).filePath(name_ + QStringLiteral(".lock"));
}

QString SingleInstance::SocketPath() const {
    return QDir(folder_).filePath(name_ + QStringLiteral(".sock"));
}

bool SingleInstance::Acquire() {
    if (!MakePrivateFolder(folder_)) {
        // Someone else could hold a lock or answer on a socket there and keep this program from starting.
        Trace("kbstudio: %s is not this user's own folder; running without the single-instance lock\n",
              qPrintable(folder_));
        return true;
    }
    if (!IsAbsentOrOwnFile(LockPath()) || !IsAbsentOrOwnFile(SocketPath())) {
        Trace(
            "kbstudio: %s holds a lock or socket of another user; running without the single-instance lock\n",
            qPrintable(folder_));
        return true;
    }
    lock_ = std::make_unique<QLockFile>(LockPath());
    lock_->setStaleLockTime(0);  // a lock left by a crashed instance is recognised by its process id
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError) {
            return false;
        }
        Trace("kbstudio: the instance lock %s cannot be taken; running without it\n", qPrintable(LockPath()));
        return true;
    }
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(SocketPath());  // a socket left by a crashed instance (checked to be ours)
    if (!server_->listen(SocketPath())) {
        Trace("kbstudio: a second start cannot reach this window: %s\n", qPrintable(server_->errorString()));
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] { OnConnection(); });
    return true;
}

void SingleInstance::SetActivator(std::function<void()> activate) {
    activator_ = std::move(activate);
    if (activator_ && activationPending_ && server_) {
        activationPending_ = false;
        // Once the event loop runs: the window is still being set up now.
        QMetaObject::invokeMethod(
            server_.get(),
            [this] {
                if (activator_) {
                    Trace("kbstudio: another start brings this window forward\n");
                    activator_();
                }
            },
            Qt::QueuedConnection);
    }
}

QString SingleInstance::DescribeHolder() const {
    qint64 pid = 0;
    QString host;
    QString application;
    QLockFile probe(LockPath());
    if (probe.getLockInfo(&pid, &host, &application)) {
        return QStringLiteral("process %1 (%2)")
            .arg(pid)
            .arg(application.isEmpty() ? QStringLiteral("?") : application);
    }
    return QStringLiteral("another process");
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto readRequest = [this, socket] {
            if (socket->readAll().contains('\n')) {
                // Still starting: the window comes forward as soon as it exists.
                if (activator_) {
                    Trace("kbstudio: another start brings this window forward\n");
                    activator_();
                } else {
                    activationPending_ = true;
                }
                socket->write(kShown);
                socket->flush();
            }
        };
        QObject::connect(socket, &QLocalSocket::readyRead, socket, readRequest);
        if (socket->bytesAvailable() > 0) {
            readRequest();
        }
    }
}

bool SingleInstance::ActivateRunning(int timeoutMs) {
    // The running instance may still be starting: give it a moment to listen, but never longer than the
    // whole bound, however the steps go.
    const QDeadlineTimer deadline(timeoutMs);
    constexpr int kAttemptMs = 100;
    while (!deadline.hasExpired()) {
        if (IsAbsentOrOwnFile(SocketPath())) {
            QLocalSocket socket;
            socket.connectToServer(SocketPath());
            if (socket.waitForConnected(
                    static_cast<int>(std::min<qint64>(kAttemptMs, deadline.remainingTime())))) {
                socket.write(kActivate);
                QByteArray answer;
                while (!answer.contains('\n') && socket.state() == QLocalSocket::ConnectedState &&
                       socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
                    answer += socket.readAll();
                }
                answer += socket.readAll();
                return answer == kShown;
            }
        }
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(kAttemptMs, deadline.remainingTime())));
    }
    return false;
}

}  // namespace kb::app
