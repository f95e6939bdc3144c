#include "kb/device/FilterChannel.h"

#include <chrono>
#include <system_error>
#include <vector>

#include "kb/device/FilterWire.h"
#include "kb/device/VirtualFilter.h"

namespace kb::KbFiltrDevice {

FilterOpenResult OpenDefaultFilter() {
    if (VirtualFilter::Enabled()) {
        return VirtualFilter::Instance().Open();
    }
    return OpenFilterInterface();
}

FilterChannel::FilterChannel(FilterOpener opener) : opener_(std::move(opener)) {}

FilterChannel::~FilterChannel() {
    StopMonitor();
    SetProxy(nullptr);
    CloseChannel();
}

bool FilterChannel::OpenChannel() {
    FilterOpenResult result = opener_ ? opener_() : FilterOpenResult{};
    if (result.connection == nullptr && result.error == FilterOpenError::None) {
        result.error = FilterOpenError::Failed;
    }
    {
        const std::lock_guard guard(deviceLock_);
        device_ = std::move(result.connection);
        lastError_ = result.error;
        lastProblem_ = std::move(result.problem);
        lastPath_ = std::move(result.path);
    }
    WakeMonitor();  // a running monitor subscribes to the new interface
    return IsOpen();
}

bool FilterChannel::IsOpen() const {
    return Connection() != nullptr;
}

FilterOpenError FilterChannel::LastOpenError() const {
    const std::lock_guard guard(deviceLock_);
    return lastError_;
}

std::string FilterChannel::LastOpenProblem() const {
    const std::lock_guard guard(deviceLock_);
    return lastProblem_;
}

std::string FilterChannel::LastOpenPath() const {
    const std::lock_guard guard(deviceLock_);
    return lastPath_;
}

void FilterChannel::CloseChannel() {
    {
        const std::lock_guard guard(deviceLock_);
        device_.reset();
    }
    WakeMonitor();  // its subscription ends: what was held is reported released
}

void FilterChannel::SetRecordFile(std::filesystem::path file) {
    const std::lock_guard guard(deviceLock_);
    recordFile_ = std::move(file);
}

std::filesystem::path FilterChannel::RecordFile() const {
    const std::lock_guard guard(deviceLock_);
    return recordFile_;
}

std::shared_ptr<IFilterConnection> FilterChannel::Connection() const {
    const std::lock_guard guard(deviceLock_);
    return device_;
}

bool FilterChannel::Send(const FilterRequest& request, std::span<std::byte> output, FilterReply* reply) {
    // A copy of the pointer keeps the interface alive while a concurrent OpenChannel replaces it.
    const std::shared_ptr<IFilterConnection> device = Connection();
    FilterReply answer;
    if (device == nullptr) {
        answer.reason = "no filter interface is open";
    } else {
        answer = device->Request(request, output);
    }
    const bool ok = answer.ok;
    if (reply != nullptr) {
        *reply = std::move(answer);
    }
    return ok;
}

bool FilterChannel::ReloadAssignments(FilterReply* reply) {
    FilterRequest request;
    request.code = filterwire::kReloadAssignments;
    request.handOver = RecordFile();
    return Send(request, {}, reply);
}

bool FilterChannel::SetFilterMode(uint32_t mode, FilterReply* reply) {
    std::array<std::byte, filterwire::kSetModeInputBytes> input{};
    filterwire::PutU32(input.data(), mode);
    return Send(FilterRequest{filterwire::kSetMode, input, {}}, {}, reply);
}

std::size_t FilterChannel::ReadHeldKeys(HeldKeys& keys) {
    std::array<std::byte, filterwire::kHeldKeysBytes> bytes{};
    FilterReply reply;
    if (!Send(FilterRequest{filterwire::kReadHeldKeys, {}, {}}, bytes, &reply)) {
        return 0;
    }
    // Only whole slots that the reply reached are taken; the rest keep the caller's values.
    for (std::size_t i = 0; i < kHeldKeySlots && (i + 1) * 4 <= reply.returned; ++i) {
        keys[i] = filterwire::GetU32(bytes.data() + i * 4);
    }
    return reply.returned;
}

bool FilterChannel::StartMonitor() {
    StopMonitor();
    uint32_t id = ++nextMonitorId_;
    if (id == 0) {
        id = ++nextMonitorId_;  // 0 is the stop token
    }
    // Subscribed here rather than on the thread, so that every key pressed once this returns is seen.
    const uint64_t seen = Wakeups();
    std::shared_ptr<IKeyEventStream> stream;
    if (const std::shared_ptr<IFilterConnection> device = Connection(); device && device->PushesKeys()) {
        stream = device->SubscribeKeys();
    }
    // Stored before the thread exists, so its first check already sees its own identity.
    monitorId_.store(id);
    try {
        monitorThread_ = std::thread(&FilterChannel::MonitorLoop, this, id, std::move(stream), seen);
    } catch (const std::system_error&) {
        monitorId_.store(0);
        return false;
    }
    return true;
}

void FilterChannel::StopMonitor() {
    if (!monitorThread_.joinable()) {
        return;
    }
    {
        const std::lock_guard guard(streamLock_);
        monitorId_.store(0);
    }
    WakeMonitor();
    monitorThread_.join();
}

void FilterChannel::SetProxy(std::unique_ptr<IMonitorProxy> proxy) {
    const std::lock_guard guard(lock_);
    proxy_ = std::move(proxy);  // the old listener is deleted here, under the lock
}

void FilterChannel::WakeMonitor() {
    {
        const std::lock_guard guard(streamLock_);
        ++wakeups_;
        if (stream_ != nullptr) {
            stream_->Interrupt();
        }
    }
    streamWake_.notify_all();
}

uint64_t FilterChannel::Wakeups() {
    const std::lock_guard guard(streamLock_);
    return wakeups_;
}

bool FilterChannel::Adopt(uint32_t id, const std::shared_ptr<IKeyEventStream>& stream, uint64_t seen) {
    const std::lock_guard guard(streamLock_);
    if (monitorId_.load() != id) {
        return false;
    }
    stream_ = stream;
    if (wakeups_ != seen) {
        stream->Interrupt();  // the channel changed while it was subscribing: look again
    }
    return true;
}

void FilterChannel::Forget(const std::shared_ptr<IKeyEventStream>& stream) {
    const std::lock_guard guard(streamLock_);
    if (stream_ == stream) {
        stream_.reset();
    }
}

void FilterChannel::WaitToResubscribe(uint32_t id, uint64_t seen) {
    // Only while a listener waits for keys and the filter is away: a slow retry, or at once when the
    // channel is opened again.
    constexpr auto kRetry = std::chrono::seconds(1);
    std::unique_lock lock(streamLock_);
    streamWake_.wait_for(lock, kRetry, [&] { return monitorId_.load() != id || wakeups_ != seen; });
}

void FilterChannel::Report(std::span<const HeldKeyEvent> events) {
    if (events.empty()) {
        return;
    }
    const std::lock_guard guard(lock_);
    if (proxy_ != nullptr) {
        for (const HeldKeyEvent& e : events) {
            proxy_->OnMonitorKey(e.code, e.pressed ? 1u : 0u);
        }
    }
}

void FilterChannel::ApplyPushed(std::span<const filterwire::KeyEvent> events) {
    for (const filterwire::KeyEvent& e : events) {
        // The same press and release reports a poll would give: a key already down is not pressed again.
        if (e.pressed ? heldKeys_.Press(e.code) : heldKeys_.Release(e.code)) {
            const HeldKeyEvent reported{e.code & HeldKeyTracker::kCodeMask, e.pressed};
            Report(std::span<const HeldKeyEvent>(&reported, 1));
        }
    }
}

void FilterChannel::PollOnce() {
    HeldKeys keys{};
    ReadHeldKeys(keys);  // a failed read leaves the zero-filled array: nothing held
    Report(heldKeys_.Update(keys));
}

void FilterChannel::MonitorLoop(uint32_t id, std::shared_ptr<IKeyEventStream> stream, uint64_t seen) {
    std::vector<filterwire::KeyEvent> events;
    while (monitorId_.load() == id) {
        if (stream == nullptr) {
            seen = Wakeups();  // before the interface is looked at, so that a change after it is noticed
            const std::shared_ptr<IFilterConnection> device = Connection();
            if (device != nullptr && !device->PushesKeys()) {
                PollOnce();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (device != nullptr) {
                stream = device->SubscribeKeys();
            }
            if (stream == nullptr) {
                Report(heldKeys_.Update(std::span<const uint32_t>()));  // nothing is known to be held
                WaitToResubscribe(id, seen);
                continue;
            }
        }
        if (!Adopt(id, stream, seen)) {
            break;
        }
        // Where the subscription starts: what came while it was set up, then what is held now.
        events = stream->EarlyEvents();
        ApplyPushed(events);
        const std::vector<uint32_t> held = stream->HeldAtStart();
        Report(heldKeys_.Update(held));
        bool alive = true;
        while (alive) {
            events.clear();
            alive = stream->Wait(events);
            ApplyPushed(events);
        }
        Forget(stream);
        stream.reset();
        if (monitorId_.load() != id) {
            break;  // stopped: what is held carries over to the next monitor, as a poll's would
        }
        // The filter went away or the channel closed: no key can be known to be held any more.
        Report(heldKeys_.Update(std::span<const uint32_t>()));
    }
}

}  // namespace kb::KbFiltrDevice
