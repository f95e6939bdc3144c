// One running program per user: the first start holds a lock file and listens on a local socket, both
// named after the instance name; a later start asks the first one to bring its window forward and ends.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QLockFile;

namespace kb::app {

class SingleInstance {
  public:
    // Lock file and socket live in `folder` (the user's runtime folder when empty).
    explicit SingleInstance(const QString& name, const QString& folder = QString());
    ~SingleInstance();

    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True for the first instance (it now holds the lock and listens); false when another process of
    // this user holds it. A lock that cannot be taken for another reason, or a folder or file that is not
    // this user's own, lets the program run alone.
    bool Acquire();
    // Second instance: asks the running one to show its window and waits, at most timeoutMs in all, for
    // its answer. False when it could not be reached or did not answer.
    bool ActivateRunning(int timeoutMs = kActivateTimeoutMs);
    // Who holds the lock, for the message when it does not answer: "process 1234 (kbstudio)".
    QString DescribeHolder() const;

    static constexpr int kActivateTimeoutMs = 2000;

    // The running instance's window, marked while it exists: called when a later start asks for it (at
    // once when one asked before the window existed).
    void SetActivator(std::function<void()> activate);
    bool HasActivator() const { return static_cast<bool>(activator_); }

    QString LockPath() const;
    QString SocketPath() const;

  private:
    void OnConnection();

    QString name_;
    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
    std::function<void()> activator_;
    bool activationPending_ = false;
};

}  // namespace kb::app
