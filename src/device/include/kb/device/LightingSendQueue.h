// Paced lighting reports without sleeping: reports wait in a queue and a one-shot timer sends each when
// its turn comes, at least 100 ms after the end of the one before. A report posted for a control that
// already has one waiting replaces the waiting one, so a slider dragged for a second sends a few reports,
// the last one its final value. Reports are built when they are due, from what is stored then.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "kb/lighting/Reports.h"

namespace kb {

class IHidTransport;
class PacingClock;

// One pending wake-up at a time; the owner calls the queue's OnTimer when it comes.
class ISendTimer {
  public:
    virtual ~ISendTimer() = default;
    // Replaces any wake-up armed before.
    virtual void Arm(int64_t delayMs) = 0;
    virtual void Disarm() = 0;
};

class LightingSendQueue {
  public:
    static constexpr int64_t kPacingMs = 100;

    // What a waiting report stands for; a newer report of the same control replaces it.
    enum Control : int { kEffect = 0, kSideLight = 1, kStartupEffect = 2 };

    // Built when due; nothing (no report) sends nothing and leaves the pacing stamp.
    using Builder = std::function<std::optional<Report>()>;

    // The transport, the clock and the timer must outlive the queue. The pacing stamp starts at the
    // clock's current time.
    LightingSendQueue(IHidTransport& hid, PacingClock& clock, ISendTimer& timer);

    // Queues the report of `control`, not to be sent before `delayMs` from now. When that control has
    // a report waiting, the new builder replaces it and keeps its turn (the later of the two earliest
    // times holds). A report that is due sends at once, inside this call.
    void Post(int control, Builder build, int64_t delayMs = 0);

    // The timer's wake-up: sends what is due and arms the timer for the next.
    void OnTimer();

    // Stamps now, so that the next report waits 100 ms (window start-up, keyboard arrival).
    void MarkSend();
    int64_t LastSend() const { return lastSend_; }

    // Sends every waiting report now, in turn, sleeping out the spacing on the calling thread: for the
    // rare moment when something must follow them at once (the factory reset's command).
    void Flush();

    // Drops every waiting report.
    void Clear();
    std::size_t Pending() const { return waiting_.size(); }

  private:
    struct Entry {
        int control;
        int64_t notBefore;  // clock ms
        uint64_t order;     // posting order among equal times
        Builder build;
    };

    void Pump();
    std::vector<Entry>::iterator Next();

    IHidTransport& hid_;
    PacingClock& clock_;
    ISendTimer& timer_;
    std::vector<Entry> waiting_;
    uint64_t nextOrder_ = 0;
    int64_t lastSend_ = 0;  // end of the last report sent, clock ms
    bool pumping_ = false;
};

}  // namespace kb
