#include "kb/app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include "PrivateFolder.h"
#include "kb/common/Trace.h"

namespace kb::app {
namespace {

constexpr char kActivate[] = "show\n";

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
        // Without a runtime folder: one of our own in the temporary folder, per user.
        folder_ = QDir(QDir::tempPath()).filePath(QStringLiteral("kbstudio-") + QDir::home().dirName());
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
    if (!QDir(folder_).exists() && QDir().mkpath(folder_)) {
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (!IsPrivateFolder(folder_)) {
        // Someone else could hold a lock or answer on a socket there and keep this program from starting.
        Trace("kbstudio: %s is not this user's own folder; running without the single-instance lock\n",
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
    QLocalServer::removeServer(SocketPath());  // a socket left by a crashed instance
    if (!server_->listen(SocketPath())) {
        Trace("kbstudio: a second start cannot reach this window: %s\n", qPrintable(server_->errorString()));
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] { OnConnection(); });
    return true;
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto readRequest = [this, socket] {
            if (socket->readAll().contains('\n') && activator_) {
                Trace("kbstudio: another start brings this window forward\n");
                activator_();
            }
        };
        QObject::connect(socket, &QLocalSocket::readyRead, socket, readRequest);
        if (socket->bytesAvailable() > 0) {
            readRequest();
        }
    }
}

bool SingleInstance::ActivateRunning(int timeoutMs) {
    // The running instance may still be starting: give it a moment to listen.
    constexpr int kAttemptMs = 100;
    for (int waited = 0; waited <= timeoutMs; waited += kAttemptMs) {
        QLocalSocket socket;
        socket.connectToServer(SocketPath());
        if (socket.waitForConnected(kAttemptMs)) {
            socket.write(kActivate);
            const bool sent = socket.waitForBytesWritten(timeoutMs);
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(kAttemptMs);
    }
    return false;
}

}  // namespace kb::app
