// A worker thread beside the UI thread that runs delayed tasks first in, first out: it takes the oldest
// task, waits out that task's delay, runs it, then takes the next. While idle it sleeps on a condition
// variable; posting or stopping wakes it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kb {

// Time source of a TaskThread, replaceable so that tests can move time by hand.
class TaskClock {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~TaskClock() = default;
    virtual TimePoint Now() = 0;
    // Called with `lock` held: blocks until `deadline` has passed on this clock or `cv` is notified.
    // May return early; the caller checks again.
    virtual void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                           TimePoint deadline) = 0;
};

// The monotonic system clock.
class SteadyTaskClock final : public TaskClock {
  public:
    TimePoint Now() override { return std::chrono::steady_clock::now(); }
    void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline) override {
        cv.wait_until(lock, deadline);
    }
};

class TaskThread {
  public:
    // A task's operation gets the argument it was posted with.
    using Operation = std::function<void(int argument)>;

    static constexpr std::chrono::milliseconds kPostDelay{2000};

    explicit TaskThread(std::shared_ptr<TaskClock> clock = std::make_shared<SteadyTaskClock>());
    // Stops and waits for the thread, then drops the tasks still queued. A task may destroy its own
    // TaskThread: the thread cannot wait for itself then, but it shares the queue and the clock with the
    // object rather than using the object, so it ends on its own without touching freed memory.
    ~TaskThread();

    TaskThread(const TaskThread&) = delete;
    TaskThread& operator=(const TaskThread&) = delete;

    // Starts the thread unless one runs. A thread that was asked to stop is awaited first. Returns whether
    // a thread was started.
    bool Start();

    // Appends a task that runs `operation(argument)` after `delay`, counted from the moment the thread
    // takes it (so queued tasks wait one after the other).
    void Post(Operation operation, int argument, std::chrono::milliseconds delay = kPostDelay);

    // Asks the thread to end (clears the run token) and, when `wait`, waits until it has. A task whose
    // delay is still running is dropped, not run; a task already running finishes first. Queued tasks stay
    // queued for a later Start. Returns whether a thread was running.
    bool Stop(bool wait);

    bool IsRunning() const;
    // Tasks posted and not yet taken by the thread.
    std::size_t PendingCount() const;

  private:
    struct State;  // everything the thread uses; owned by the object and its thread together

    static void Loop(std::shared_ptr<State> state, uint64_t token);

    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace kb
