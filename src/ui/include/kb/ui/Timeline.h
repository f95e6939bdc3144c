// The shared animation timeline: one 10 ms timer calls every registered tick handler. The timer runs only
// while some handler is busy, so an idle window does not wake a hundred times a second.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <set>

namespace kb::ui {

class Timeline : public QObject {
    Q_OBJECT
  public:
    static constexpr int kTickMs = 10;

    static Timeline& Shared();

    // Returns a handle for Unregister; handlers run in registration order.
    int Register(std::function<void()> handler);
    void Unregister(int handle);
    std::size_t Count() const { return handlers_.size(); }

    // A handler is busy when registered; one with nothing to animate says so, and says again when it has.
    void SetBusy(int handle, bool busy);
    bool IsTimerRunning() const { return timer_.isActive(); }
    bool IsTimerEnabled() const { return timerEnabled_; }

    // With the timer off (tests), time passes only through Tick().
    void SetTimerEnabled(bool enabled);
    // One 10 ms step: every handler registered at the start of the step that is still registered.
    void Tick();

  private:
    Timeline();
    void UpdateTimer();

    QTimer timer_;
    std::map<int, std::function<void()>> handlers_;
    std::set<int> idle_;  // registered handlers with nothing to animate
    int next_ = 1;
    bool timerEnabled_ = true;
};

}  // namespace kb::ui
