#include "kb/common/TaskThread.h"

#include <deque>
#include <utility>

namespace kb {

struct TaskThread::State {
    struct Task {
        std::chrono::milliseconds delay;
        Operation operation;
        int argument;
    };

    explicit State(std::shared_ptr<TaskClock> c) : clock(std::move(c)) {}

    std::shared_ptr<TaskClock> clock;
    std::mutex mutex;              // guards everything below
    std::condition_variable wake;  // posted task or stop request
    uint64_t runToken = 0;         // identity of the running thread; 0 asks it to end
    uint64_t lastToken = 0;
    std::deque<Task> tasks;
};

TaskThread::TaskThread(std::shared_ptr<TaskClock> clock)
    : state_(std::make_shared<State>(clock ? std::move(clock) : std::make_shared<SteadyTaskClock>())) {}

TaskThread::~TaskThread() {
    Stop(true);
    if (thread_.joinable()) {
        // Destroyed by one of its own tasks: the thread holds the state and leaves its loop by itself.
        thread_.detach();
    }
    std::lock_guard lock(state_->mutex);
    state_->tasks.clear();
}

bool TaskThread::Start() {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->runToken != 0) {
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
    std::lock_guard lock(state_->mutex);
    state_->runToken = ++state_->lastToken;
    // The token is stored before the thread first compares it.
    thread_ = std::thread(&TaskThread::Loop, state_, state_->runToken);
    return true;
}

void TaskThread::Post(Operation operation, int argument, std::chrono::milliseconds delay) {
    {
        std::lock_guard lock(state_->mutex);
        state_->tasks.push_back(State::Task{delay, std::move(operation), argument});
    }
    state_->wake.notify_all();
}

bool TaskThread::Stop(bool wait) {
    bool wasRunning = false;
    {
        std::lock_guard lock(state_->mutex);
        wasRunning = state_->runToken != 0;
        state_->runToken = 0;
    }
    state_->wake.notify_all();
    if (wait && thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
    return wasRunning;
}

bool TaskThread::IsRunning() const {
    std::lock_guard lock(state_->mutex);
    return state_->runToken != 0;
}

std::size_t TaskThread::PendingCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->tasks.size();
}

void TaskThread::Loop(std::shared_ptr<State> state, uint64_t token) {
    std::unique_lock lock(state->mutex);
    while (state->runToken == token) {
        if (state->tasks.empty()) {
            state->wake.wait(lock);
            continue;
        }
        State::Task task = std::move(state->tasks.front());
        state->tasks.pop_front();
        const TaskClock::TimePoint deadline = state->clock->Now() + task.delay;
        while (state->runToken == token && state->clock->Now() < deadline) {
            state->clock->WaitUntil(state->wake, lock, deadline);
        }
        if (state->runToken != token) {
            break;  // stopping: the task whose delay was cut short is dropped
        }
        lock.unlock();
        if (task.operation) {
            task.operation(task.argument);
        }
        task = State::Task{};
        lock.lock();
    }
}

}  // namespace kb
