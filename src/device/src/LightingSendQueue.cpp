#include "kb/device/LightingSendQueue.h"

#include <algorithm>

#include "kb/device/LightingSender.h"

namespace kb {

LightingSendQueue::LightingSendQueue(IHidTransport& hid, PacingClock& clock, ISendTimer& timer)
    : hid_(hid), clock_(clock), timer_(timer), lastSend_(clock.NowMs()) {}

void LightingSendQueue::Post(int control, Builder build, int64_t delayMs) {
    const int64_t notBefore = clock_.NowMs() + std::max<int64_t>(delayMs, 0);
    const auto same = std::find_if(waiting_.begin(), waiting_.end(),
                                   [control](const Entry& e) { return e.control == control; });
    if (same != waiting_.end()) {
        same->build = std::move(build);
        same->notBefore = std::max(same->notBefore, notBefore);
    } else {
        waiting_.push_back({control, notBefore, nextOrder_++, std::move(build)});
    }
    Pump();
}

void LightingSendQueue::OnTimer() {
    Pump();
}

void LightingSendQueue::MarkSend() {
    lastSend_ = clock_.NowMs();
    Pump();
}

void LightingSendQueue::Flush() {
    timer_.Disarm();
    while (!waiting_.empty()) {
        const auto next = Next();
        const Builder build = std::move(next->build);
        const int64_t notBefore = next->notBefore;
        waiting_.erase(next);
        // Built first: a report that turns out to be nothing is not waited for.
        const std::optional<Report> report = build ? build() : std::nullopt;
        if (!report) {
            continue;
        }
        const int64_t due = std::max(notBefore, lastSend_ + kPacingMs);
        if (const int64_t now = clock_.NowMs(); due > now) {
            clock_.SleepMs(due - now);
        }
        hid_.SetFeature(*report);
        lastSend_ = clock_.NowMs();
    }
}

void LightingSendQueue::Clear() {
    waiting_.clear();
    timer_.Disarm();
}

std::vector<LightingSendQueue::Entry>::iterator LightingSendQueue::Next() {
    return std::min_element(waiting_.begin(), waiting_.end(), [](const Entry& a, const Entry& b) {
        return a.notBefore != b.notBefore ? a.notBefore < b.notBefore : a.order < b.order;
    });
}

void LightingSendQueue::Pump() {
    if (pumping_) {
        return;  // a builder or the transport reached back in; the loop below goes on
    }
    pumping_ = true;
    while (!waiting_.empty()) {
        const auto next = Next();
        const int64_t due = std::max(next->notBefore, lastSend_ + kPacingMs);
        const int64_t now = clock_.NowMs();
        if (due > now) {
            timer_.Arm(due - now);
            pumping_ = false;
            return;
        }
        const Builder build = std::move(next->build);
        waiting_.erase(next);
        if (const std::optional<Report> report = build ? build() : std::nullopt) {
            hid_.SetFeature(*report);  // a failed report is not repeated; the next change sends again
            lastSend_ = clock_.NowMs();
        }
    }
    timer_.Disarm();
    pumping_ = false;
}

}  // namespace kb
