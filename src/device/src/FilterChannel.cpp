#include "kb/device/FilterChannel.h"

#include <chrono>
#include <system_error>

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
    const std::lock_guard guard(deviceLock_);
    device_ = std::move(result.connection);
    lastError_ = result.error;
    lastProblem_ = std::move(result.problem);
    lastPath_ = std::move(result.path);
    return device_ != nullptr;
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
    const std::lock_guard guard(deviceLock_);
    device_.reset();
}

std::shared_ptr<IFilterConnection> FilterChannel::Connection() const {
    const std::lock_guard guard(deviceLock_);
    return device_;
}

bool FilterChannel::Send(uint32_t code, std::span<const std::byte> input, std::span<std::byte> output,
                         std::size_t* returned) {
    // A copy of the pointer keeps the interface alive while a concurrent OpenChannel replaces it.
    const std::shared_ptr<IFilterConnection> device = Connection();
    if (device == nullptr) {
        return false;
    }
    const std::optional<std::size_t> bytes = device->Request(code, input, output);
    if (returned != nullptr) {
        *returned = bytes.value_or(0);
    }
    return bytes.has_value();
}

bool FilterChannel::ReloadAssignments() {
    return Send(filterwire::kReloadAssignments, {}, {}, nullptr);
}

bool FilterChannel::SetFilterMode(uint32_t mode) {
    std::array<std::byte, filterwire::kSetModeInputBytes> input{};
    filterwire::PutU32(input.data(), mode);
    return Send(filterwire::kSetMode, input, {}, nullptr);
}

std::size_t FilterChannel::ReadHeldKeys(HeldKeys& keys) {
    std::array<std::byte, filterwire::kHeldKeysBytes> bytes{};
    std::size_t returned = 0;
    if (!Send(filterwire::kReadHeldKeys, {}, bytes, &returned)) {
        return 0;
    }
    // Only whole slots that the reply reached are taken; the rest keep the caller's values.
    for (std::size_t i = 0; i < kHeldKeySlots && (i + 1) * 4 <= returned; ++i) {
        keys[i] = filterwire::GetU32(bytes.data() + i * 4);
    }
    return returned;
}

bool FilterChannel::StartMonitor() {
    StopMonitor();
    uint32_t id = ++nextMonitorId_;
    if (id == 0) {
        id = ++nextMonitorId_;  // 0 is the stop token
    }
    // Stored before the thread exists, so its first check already sees its own identity.
    monitorId_.store(id);
    try {
        monitorThread_ = std::thread(&FilterChannel::MonitorLoop, this, id);
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
    monitorId_.store(0);
    monitorThread_.join();
}

void FilterChannel::SetProxy(std::unique_ptr<IMonitorProxy> proxy) {
    const std::lock_guard guard(lock_);
    proxy_ = std::move(proxy);  // the old listener is deleted here, under the lock
}

void FilterChannel::MonitorLoop(uint32_t id) {
    while (monitorId_.load() == id) {
        HeldKeys keys{};
        ReadHeldKeys(keys);  // a failed read leaves the zero-filled array: nothing held
        const std::span<const HeldKeyEvent> events = heldKeys_.Update(keys);
        if (!events.empty()) {
            const std::lock_guard guard(lock_);
            if (proxy_ != nullptr) {
                for (const HeldKeyEvent& e : events) {
                    proxy_->OnMonitorKey(e.code, e.pressed ? 1u : 0u);
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace kb::KbFiltrDevice
