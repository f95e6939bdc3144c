// The connection to the keyboard filter (kbfilterd on Linux, the filter driver on Windows): the three
// requests, and a monitor thread that reports each key press and release to the installed listener. Where
// the filter pushes key events (kbfilterd, the virtual filter) the thread sleeps until one arrives; the
// Windows driver's held keys are polled about once a millisecond. The main window owns the one channel.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "kb/device/FilterConnection.h"
#include "kb/device/HeldKeyTracker.h"
#include "kb/device/MonitorProxy.h"

namespace kb::KbFiltrDevice {

// How the channel finds and opens the filter: the virtual filter when KBSTUDIO_VIRTUAL_FILTER=1, else the
// platform's interfaces. Tests pass their own.
using FilterOpener = std::function<FilterOpenResult()>;
FilterOpenResult OpenDefaultFilter();

class FilterChannel {
  public:
    static constexpr std::size_t kHeldKeySlots = 256;
    using HeldKeys = std::array<uint32_t, kHeldKeySlots>;

    explicit FilterChannel(FilterOpener opener = OpenDefaultFilter);
    // Teardown: stops the monitor, deletes the listener, closes the interface.
    ~FilterChannel();

    FilterChannel(const FilterChannel&) = delete;
    FilterChannel& operator=(const FilterChannel&) = delete;

    // Finds and opens the filter's interface; a new open replaces the one held (the old one closes once
    // no request uses it any more). Returns whether an interface is open now.
    bool OpenChannel();
    bool IsOpen() const;
    // What the last OpenChannel found: the path tried and, when it failed, why.
    FilterOpenError LastOpenError() const;
    std::string LastOpenProblem() const;
    std::string LastOpenPath() const;
    // Drops the interface (requests are then skipped).
    void CloseChannel();

    // The record file handed to the filter with each reload (the data folder's record.bin). Empty: a
    // reload hands nothing over and the filter reloads what it kept.
    void SetRecordFile(std::filesystem::path file);
    std::filesystem::path RecordFile() const;

    // The requests; each is skipped (false / 0) when no interface is open. Callers may ignore the result;
    // `reply`, when given, receives how it went (the filter's own words when it refused).
    bool ReloadAssignments(FilterReply* reply = nullptr);
    bool SetFilterMode(uint32_t mode, FilterReply* reply = nullptr);
    // Fills `keys` from the reply (slots the reply does not reach keep their values) and returns the
    // number of bytes returned; 0 on failure.
    std::size_t ReadHeldKeys(HeldKeys& keys);

    // Stops a running monitor, then starts a new one. Returns whether a thread was created. A pushing filter
    // is subscribed to before this returns, so no key pressed afterwards is missed; when it cannot be
    // reached the thread subscribes once it can.
    bool StartMonitor();
    // Asks the running monitor to end and waits until it has. The subscription ends with it.
    void StopMonitor();
    bool IsMonitoring() const { return monitorThread_.joinable(); }

    // Replaces the listener under the lock: the old one is deleted, so it is never called afterwards.
    // Null removes it; events are then dropped while the held keys are still followed.
    void SetProxy(std::unique_ptr<IMonitorProxy> proxy);

  private:
    std::shared_ptr<IFilterConnection> Connection() const;
    bool Send(const FilterRequest& request, std::span<std::byte> output, FilterReply* reply);
    void MonitorLoop(uint32_t id, std::shared_ptr<IKeyEventStream> stream, uint64_t seen);
    void PollOnce();
    uint64_t Wakeups();
    // Makes `stream` the one StopMonitor and CloseChannel interrupt (at once when one came since `seen`);
    // false when the monitor is ending.
    bool Adopt(uint32_t id, const std::shared_ptr<IKeyEventStream>& stream, uint64_t seen);
    void Forget(const std::shared_ptr<IKeyEventStream>& stream);
    // Ends the current subscription (and a wait for the next one), so the monitor thread looks again.
    void WakeMonitor();
    // Sleeps until the monitor should try to subscribe again.
    void WaitToResubscribe(uint32_t id, uint64_t seen);
    void ApplyPushed(std::span<const filterwire::KeyEvent> events);
    void Report(std::span<const HeldKeyEvent> events);

    FilterOpener opener_;

    mutable std::mutex deviceLock_;  // guards device_ and the last open's details
    std::shared_ptr<IFilterConnection> device_;
    FilterOpenError lastError_ = FilterOpenError::NoInterface;
    std::string lastProblem_;
    std::string lastPath_;
    std::filesystem::path recordFile_;

    std::mutex lock_;  // guards proxy_ against the monitor thread
    std::unique_ptr<IMonitorProxy> proxy_;

    std::mutex streamLock_;  // guards stream_ and wakeups_ between the monitor thread and the others
    std::condition_variable streamWake_;
    std::shared_ptr<IKeyEventStream> stream_;
    uint64_t wakeups_ = 0;

    std::thread monitorThread_;
    std::atomic<uint32_t> monitorId_{0};  // identity of the running monitor; 0 asks it to end
    uint32_t nextMonitorId_ = 0;
    HeldKeyTracker heldKeys_;  // touched only by the monitor thread (one at a time)
};

}  // namespace kb::KbFiltrDevice
