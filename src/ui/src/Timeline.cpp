#include "kb/ui/Timeline.h"

#include <vector>

namespace kb::ui {

Timeline::Timeline() {
    timer_.setInterval(kTickMs);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Timeline::Tick);
}

Timeline& Timeline::Shared() {
    static Timeline timeline;
    return timeline;
}

int Timeline::Register(std::function<void()> handler) {
    const int handle = next_++;
    handlers_.emplace(handle, std::move(handler));
    UpdateTimer();
    return handle;
}

void Timeline::Unregister(int handle) {
    handlers_.erase(handle);
    idle_.erase(handle);
    UpdateTimer();
}

void Timeline::SetBusy(int handle, bool busy) {
    if (handlers_.count(handle) == 0) {
        return;
    }
    if (busy) {
        idle_.erase(handle);
    } else {
        idle_.insert(handle);
    }
    UpdateTimer();
}

void Timeline::SetTimerEnabled(bool enabled) {
    timerEnabled_ = enabled;
    UpdateTimer();
}

void Timeline::Tick() {
    // Handlers may register or unregister others (a widget destroyed by a tick, a new one created).
    std::vector<int> handles;
    handles.reserve(handlers_.size());
    for (const auto& [handle, handler] : handlers_) {
        handles.push_back(handle);
    }
    for (int handle : handles) {
        const auto it = handlers_.find(handle);
        if (it != handlers_.end()) {
            auto handler = it->second;
            handler();
        }
    }
}

void Timeline::UpdateTimer() {
    const bool run = timerEnabled_ && handlers_.size() > idle_.size();
    if (run && !timer_.isActive()) {
        timer_.start();
    } else if (!run && timer_.isActive()) {
        timer_.stop();
    }
}

}  // namespace kb::ui
