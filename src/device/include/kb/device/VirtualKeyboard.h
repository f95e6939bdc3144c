// A simulated keyboard for trying the program without the hardware (KBSTUDIO_VIRTUAL_KEYBOARD=1). It has
// the identity of "config.xml", answers the version request (KBSTUDIO_VIRTUAL_VERSION, default 0x105),
// keeps and traces every report it receives, and after the reset command goes away and comes back about a
// second later, which device watchers report as a removal and an arrival.
//
// It lives inside one process: reports and resets made by one process are not seen by another.
#pragma once

#include "kb/device/DeviceWatcher.h"
#include "kb/device/HidDiscovery.h"
#include "kb/device/HidPath.h"
#include "kb/lighting/Reports.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kb {

struct VirtualReport {
    enum class Kind { SetFeature, GetFeature, Write };
    Kind kind = Kind::SetFeature;
    Report bytes{};  // for GetFeature: the answer given

    friend bool operator==(const VirtualReport&, const VirtualReport&) = default;
};

class VirtualKeyboard {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr uint16_t kDefaultVersion = 0x105;
    static constexpr std::chrono::milliseconds kReappearDelay{1000};
    // Identity paths of the simulated keyboard start with this, instead of a device node.
    static constexpr std::u16string_view kPathPrefix = u"virtual-keyboard#";

    // Whether KBSTUDIO_VIRTUAL_KEYBOARD is "1" (read on every call).
    static bool Enabled();
    // The process-wide instance. On first use it takes its identity from AppConfig::Instance() and its
    // version from KBSTUDIO_VIRTUAL_VERSION.
    static VirtualKeyboard& Instance();
    // Adds the simulated keyboard's discovery entry when it is enabled, present and matches.
    static void AppendListing(const HidMatch& match, std::vector<HidInterfaceInfo>& result);

    VirtualKeyboard();

    // Back to a present keyboard with no reports; for tests and for a new configuration.
    void Configure(const HidPathIds& identity, uint16_t version);
    void SetClock(Clock clock);

    std::u16string Path() const;  // e.g. "virtual-keyboard#hid#vid_1209&pid_a1e5&mi_01"
    HidPathIds Identity() const;
    uint16_t Version() const;
    bool Present();  // also completes a reappearance that is due
    std::optional<std::chrono::steady_clock::time_point> NextDeadline() const;

    std::vector<VirtualReport> Reports() const;
    void ClearReports();

    // --- the device's side, used by HidDevice ---
    // A generation number that changes whenever the keyboard goes away; an open handle stays valid only
    // within its generation. nullopt while absent.
    std::optional<uint64_t> OpenGeneration();
    bool SetFeature(uint64_t generation, const Report& report);
    bool GetFeature(uint64_t generation, Report& report);
    bool Write(uint64_t generation, const Report& report);

    // --- the watchers' side ---
    // A listener is called (on the thread that caused the event, under no lock of the keyboard) when
    // events are queued or a new deadline exists; it wakes its watcher.
    using Listener = std::function<void()>;
    int AddListener(Listener listener);
    void RemoveListener(int id);
    // Events since the listener's last call (removal at the reset, arrival when it comes back).
    std::vector<DeviceEvent> TakeEvents(int listenerId);

  private:
    void PollLocked(std::vector<Listener>& toNotify);
    void QueueLocked(DeviceEventKind kind, std::vector<Listener>& toNotify);
    std::chrono::steady_clock::time_point Now() const;

    mutable std::mutex mutex_;
    Clock clock_;
    HidPathIds identity_;
    uint16_t version_ = kDefaultVersion;
    bool present_ = true;
    uint64_t generation_ = 1;
    std::optional<std::chrono::steady_clock::time_point> reappearAt_;
    std::vector<VirtualReport> reports_;
    struct ListenerEntry {
        int id = 0;
        Listener wake;
        std::vector<DeviceEvent> events;
    };
    std::vector<ListenerEntry> listeners_;
    int nextListenerId_ = 1;
};

}  // namespace kb
