#include "ManualTaskClock.h"

namespace kbtest {

kb::TaskClock::TimePoint ManualTaskClock::Now() {
    return TimePoint(std::chrono::milliseconds(nowMs_.load()));
}

void ManualTaskClock::WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                                TimePoint deadline) {
    {
        std::lock_guard g(mutex_);
        cv_ = &cv;
        waiterMutex_ = lock.mutex();
        if (Now() >= deadline) {
            return;
        }
        ++blockingWaits_;
    }
    cv.wait(lock);
}

void ManualTaskClock::Advance(std::chrono::milliseconds by) {
    std::unique_lock g(mutex_);
    if (waiterMutex_ == nullptr) {
        nowMs_ += by.count();
        return;
    }
    std::mutex* waiterMutex = waiterMutex_;
    std::condition_variable* cv = cv_;
    g.unlock();
    {
        // Moving time under the waiter's lock means the waiter cannot miss it.
        std::lock_guard w(*waiterMutex);
        nowMs_ += by.count();
    }
    cv->notify_all();
}

}  // namespace kbtest
