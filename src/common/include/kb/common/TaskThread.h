// A worker thread beside the UI thread that runs delayed tasks first in, first out: it takes the oldest
// task, waits out that task's delay, runs it, then takes the next. While idle it sleeps on a condition
// variable; posting or stopping wakes it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
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
    // Stops and waits for the thread, then drops the tasks still queued.
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
    struct Task {
        std::chrono::milliseconds delay;
        Operation operation;
        int argument;
    };

    void Loop(uint64_t token);

    std::shared_ptr<TaskClock> clock_;
    mutable std::mutex mutex_;      // guards everything below
    std::condition_variable wake_;  // posted task or stop request
    uint64_t runToken_ = 0;         // identity of the running thread; 0 asks it to end
    uint64_t lastToken_ = 0;
    std::thread thread_;
    std::deque<Task> tasks_;
};

}  // namespace kb
