#include "kb/ui/Timeline.h"

#include <algorithm>
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
    handlers_.emplace(handle, Handler{std::move(handler), true});
    UpdateTimer();
    return handle;
}

void Timeline::Unregister(int handle) {
    handlers_.erase(handle);
    UpdateTimer();
}

void Timeline::SetActive(int handle, bool active) {
    const auto it = handlers_.find(handle);
    if (it != handlers_.end() && it->second.active != active) {
        it->second.active = active;
        UpdateTimer();
    }
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
            auto tick = it->second.tick;
            tick();
        }
    }
}

bool Timeline::AnyActive() const {
    return std::any_of(handlers_.begin(), handlers_.end(),
                       [](const auto& entry) { return entry.second.active; });
}

void Timeline::UpdateTimer() {
    const bool run = timerEnabled_ && AnyActive();
    if (run && !timer_.isActive()) {
        timer_.start();
    } else if (!run && timer_.isActive()) {
        timer_.stop();
    }
}

}  // namespace kb::ui
