// The shared animation timeline: one 10 ms timer calls every registered tick handler. The timer runs
// only while some handler is active, so an idle window does not wake a hundred times a second.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <map>

namespace kb::ui {

class Timeline : public QObject {
    Q_OBJECT
  public:
    static constexpr int kTickMs = 10;

    static Timeline& Shared();

    // Returns a handle for Unregister; handlers run in registration order. A new handler is active.
    int Register(std::function<void()> handler);
    void Unregister(int handle);
    // A handler with nothing to animate says so; it is still called while others keep the timer going.
    void SetActive(int handle, bool active);
    // Whether some handler is active: the timer then runs (unless switched off for tests).
    bool AnyActive() const;
    std::size_t Count() const { return handlers_.size(); }

    // With the timer off (tests), time passes only through Tick().
    void SetTimerEnabled(bool enabled);
    // One 10 ms step: every handler registered at the start of the step that is still registered.
    void Tick();

  private:
    Timeline();
    void UpdateTimer();

    QTimer timer_;
    struct Handler {
        std::function<void()> tick;
        bool active = true;
    };
    std::map<int, Handler> handlers_;
    int next_ = 1;
    bool timerEnabled_ = true;
};

}  // namespace kb::ui
