#include "kb/common/TaskThread.h"

#include <utility>

namespace kb {

TaskThread::TaskThread(std::shared_ptr<TaskClock> clock)
    : clock_(clock ? std::move(clock) : std::make_shared<SteadyTaskClock>()) {}

TaskThread::~TaskThread() {
    Stop(true);
    if (thread_.joinable()) {
        // Only when destroyed by one of its own tasks: the thread cannot wait for itself.
        thread_.detach();
    }
    std::lock_guard lock(mutex_);
    tasks_.clear();
}

bool TaskThread::Start() {
    {
        std::lock_guard lock(mutex_);
        if (runToken_ != 0) {
            return false;
        }
    }
    // A thread asked to stop ends soon (a pending delay is cut short); let it go before starting anew.
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
    if (thread_.joinable()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    runToken_ = ++lastToken_;
    // The token is stored before the thread first compares it.
    thread_ = std::thread(&TaskThread::Loop, this, runToken_);
    return true;
}

void TaskThread::Post(Operation operation, int argument, std::chrono::milliseconds delay) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(Task{delay, std::move(operation), argument});
    }
    wake_.notify_all();
}

bool TaskThread::Stop(bool wait) {
    bool wasRunning = false;
    {
        std::lock_guard lock(mutex_);
        wasRunning = runToken_ != 0;
        runToken_ = 0;
    }
    wake_.notify_all();
    if (wait && thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
    return wasRunning;
}

bool TaskThread::IsRunning() const {
    std::lock_guard lock(mutex_);
    return runToken_ != 0;
}

std::size_t TaskThread::PendingCount() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

void TaskThread::Loop(uint64_t token) {
    std::unique_lock lock(mutex_);
    while (runToken_ == token) {
        if (tasks_.empty()) {
            wake_.wait(lock);
            continue;
        }
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        const TaskClock::TimePoint deadline = clock_->Now() + task.delay;
        while (runToken_ == token && clock_->Now() < deadline) {
            clock_->WaitUntil(wake_, lock, deadline);
        }
        if (runToken_ != token) {
            break;  // stopping: the task whose delay was cut short is dropped
        }
        lock.unlock();
        if (task.operation) {
            task.operation(task.argument);
        }
        task = Task{};
        lock.lock();
    }
}

}  // namespace kb
