#include "kb/device/VirtualKeyboard.h"

#include "HidChannel.h"
#include "kb/common/AppConfig.h"
#include "kb/common/NumberText.h"
#include "kb/common/Trace.h"
#include "kb/common/Utf.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kb {
namespace {

constexpr uint8_t kResetCommand = 0xF0;
constexpr uint8_t kResetConfirm = 0xAA;

const char* KindName(VirtualReport::Kind kind) {
    switch (kind) {
        case VirtualReport::Kind::SetFeature:
            return "SetFeature";
        case VirtualReport::Kind::GetFeature:
            return "GetFeature";
        case VirtualReport::Kind::Write:
            return "Write";
    }
    return "?";
}

void TraceReport(VirtualReport::Kind kind, const Report& bytes) {
    Trace("virtual keyboard: %s %02X %02X %02X %02X %02X %02X %02X %02X\n", KindName(kind), bytes[0],
          bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]);
}

// KBSTUDIO_VIRTUAL_VERSION with the C library's rules ("0x100", "261"); anything else keeps the default.
uint16_t VersionFromEnvironment() {
    const char* text = std::getenv("KBSTUDIO_VIRTUAL_VERSION");
    if (text == nullptr) {
        return VirtualKeyboard::kDefaultVersion;
    }
    const std::string_view value(text);
    std::size_t used = 0;
    const uint32_t version = StrToULong32(value, 0, &used);
    if (used == 0 || used != value.size() || version > 0xFFFF) {
        return VirtualKeyboard::kDefaultVersion;
    }
    return static_cast<uint16_t>(version);
}

std::u16string VirtualPath(const HidPathIds& ids) {
    char text[64];
    std::snprintf(text, sizeof text, "hid#vid_%04x&pid_%04x", static_cast<unsigned>(ids.vid & 0xFFFF),
                  static_cast<unsigned>(ids.pid & 0xFFFF));
    std::string path = text;
    if (ids.interfaceNumber >= 0) {
        std::snprintf(text, sizeof text, "&mi_%02x", static_cast<unsigned>(ids.interfaceNumber & 0xFF));
        path += text;
    }
    if (ids.collection >= 0) {
        std::snprintf(text, sizeof text, "&col%02x", static_cast<unsigned>(ids.collection & 0xFF));
        path += text;
    }
    return std::u16string(VirtualKeyboard::kPathPrefix) + Utf8ToUtf16(path);
}

void Notify(const std::vector<VirtualKeyboard::Listener>& listeners) {
    for (const auto& wake : listeners) {
        wake();
    }
}

class VirtualChannel final : public HidChannel {
  public:
    explicit VirtualChannel(uint64_t generation) : generation_(generation) {}

    intptr_t Handle() const override { return static_cast<intptr_t>(0x7F000000u | (generation_ & 0xFFFFu)); }
    HidCapabilities Capabilities() const override { return {0xFF00, 0x0001, 8, 8, 8}; }
    std::optional<std::size_t> GetFeature(Report& report) override {
        if (!VirtualKeyboard::Instance().GetFeature(generation_, report)) {
            return std::nullopt;
        }
        return report.size();
    }
    bool SetFeature(const Report& report) override {
        return VirtualKeyboard::Instance().SetFeature(generation_, report);
    }
    HidWriteResult Write(const uint8_t* data, std::size_t length, std::chrono::milliseconds) override {
        Report report{};
        for (std::size_t i = 0; i < length && i < report.size(); ++i) {
            report[i] = data[i];
        }
        if (!VirtualKeyboard::Instance().Write(generation_, report)) {
            return {HidWriteResult::Status::Failed, 0, ENODEV};
        }
        return {HidWriteResult::Status::Done, static_cast<int32_t>(length), 0};
    }

  private:
    uint64_t generation_;
};

}  // namespace

bool VirtualKeyboard::Enabled() {
    const char* value = std::getenv("KBSTUDIO_VIRTUAL_KEYBOARD");
    return value != nullptr && std::string_view(value) == "1";
}

void VirtualKeyboard::AppendListing(const HidMatch& match, std::vector<HidInterfaceInfo>& result) {
    if (!Enabled()) {
        return;
    }
    VirtualKeyboard& keyboard = Instance();
    const HidPathIds ids = keyboard.Identity();
    if (!keyboard.Present() || !MatchesHidIds(match, ids)) {
        return;
    }
    HidInterfaceInfo info;
    info.path = keyboard.Path();
    info.flags = kActiveInterfaceEntry;
    info.vid = ids.vid;
    info.pid = ids.pid;
    info.interfaceNumber = ids.interfaceNumber;
    info.collection = ids.collection;
    info.version = keyboard.Version();
    info.usagePage = 0xFF00;  // a vendor collection, as the keyboard's report interface is
    info.usage = 0x0001;
    result.push_back(info);
}

VirtualKeyboard& VirtualKeyboard::Instance() {
    // Never destroyed: HidDevice objects may use it until the process ends.
    static VirtualKeyboard* instance = [] {
        auto* keyboard = new VirtualKeyboard();
        const AppConfig& config = AppConfig::Instance();
        keyboard->Configure({config.Vid() > 0 ? config.Vid() & 0xFFFF : 0, config.Pid() & 0xFFFF,
                             config.Interface() >= 0 ? config.Interface() & 0xFF : -1,
                             config.Subdevice() >= 0 ? config.Subdevice() & 0xFF : -1},
                            VersionFromEnvironment());
        return keyboard;
    }();
    return *instance;
}

VirtualKeyboard::VirtualKeyboard() : clock_([] { return std::chrono::steady_clock::now(); }) {}

void VirtualKeyboard::Configure(const HidPathIds& identity, uint16_t version) {
    std::lock_guard guard(mutex_);
    identity_ = identity;
    version_ = version;
    present_ = true;
    ++generation_;
    reappearAt_.reset();
    reports_.clear();
    for (ListenerEntry& listener : listeners_) {
        listener.events.clear();
    }
}

void VirtualKeyboard::SetClock(Clock clock) {
    std::lock_guard guard(mutex_);
    clock_ = clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); });
}

std::chrono::steady_clock::time_point VirtualKeyboard::Now() const {
    return clock_();
}

std::u16string VirtualKeyboard::Path() const {
    return VirtualPath(Identity());
}

HidPathIds VirtualKeyboard::Identity() const {
    std::lock_guard guard(mutex_);
    return identity_;
}

uint16_t VirtualKeyboard::Version() const {
    std::lock_guard guard(mutex_);
    return version_;
}

bool VirtualKeyboard::Present() {
    std::vector<Listener> toNotify;
    bool present = false;
    {
        std::lock_guard guard(mutex_);
        PollLocked(toNotify);
        present = present_;
    }
    Notify(toNotify);
    return present;
}

std::optional<std::chrono::steady_clock::time_point> VirtualKeyboard::NextDeadline() const {
    std::lock_guard guard(mutex_);
    return reappearAt_;
}

std::vector<VirtualReport> VirtualKeyboard::Reports() const {
    std::lock_guard guard(mutex_);
    return reports_;
}

void VirtualKeyboard::ClearReports() {
    std::lock_guard guard(mutex_);
    reports_.clear();
}

void VirtualKeyboard::PollLocked(std::vector<Listener>& toNotify) {
    if (!present_ && reappearAt_ && Now() >= *reappearAt_) {
        present_ = true;
        reappearAt_.reset();
        Trace("virtual keyboard: back\n");
        QueueLocked(DeviceEventKind::Arrival, toNotify);
    }
}

void VirtualKeyboard::QueueLocked(DeviceEventKind kind, std::vector<Listener>& toNotify) {
    const std::u16string path = VirtualPath(identity_);
    for (ListenerEntry& listener : listeners_) {
        listener.events.push_back({kind, path});
        toNotify.push_back(listener.wake);
    }
}

std::optional<uint64_t> VirtualKeyboard::OpenGeneration() {
    std::vector<Listener> toNotify;
    std::optional<uint64_t> generation;
    {
        std::lock_guard guard(mutex_);
        PollLocked(toNotify);
        if (present_) {
            generation = generation_;
        }
    }
    Notify(toNotify);
    return generation;
}

bool VirtualKeyboard::SetFeature(uint64_t generation, const Report& report) {
    std::lock_guard guard(mutex_);
    if (!present_ || generation != generation_ || report[0] != kReportId) {
        return false;
    }
    reports_.push_back({VirtualReport::Kind::SetFeature, report});
    TraceReport(VirtualReport::Kind::SetFeature, report);
    return true;
}

bool VirtualKeyboard::GetFeature(uint64_t generation, Report& report) {
    std::lock_guard guard(mutex_);
    if (!present_ || generation != generation_ || report[0] != kReportId) {
        return false;
    }
    // The keyboard's only readable feature report is the version answer.
    report = Report{kReportId, static_cast<uint8_t>(version_ >> 8), static_cast<uint8_t>(version_ & 0xFF)};
    reports_.push_back({VirtualReport::Kind::GetFeature, report});
    TraceReport(VirtualReport::Kind::GetFeature, report);
    return true;
}

bool VirtualKeyboard::Write(uint64_t generation, const Report& report) {
    std::vector<Listener> toNotify;
    {
        std::lock_guard guard(mutex_);
        if (!present_ || generation != generation_ || report[0] != kReportId) {
            return false;
        }
        reports_.push_back({VirtualReport::Kind::Write, report});
        TraceReport(VirtualReport::Kind::Write, report);
        if (report[1] == kResetCommand && report[2] == kResetConfirm) {
            // Like the keyboard: it restarts, so it leaves the bus and comes back a second later.
            present_ = false;
            ++generation_;
            reappearAt_ = Now() + kReappearDelay;
            Trace("virtual keyboard: reset, gone until it comes back\n");
            QueueLocked(DeviceEventKind::Removal, toNotify);
            for (ListenerEntry& listener : listeners_) {
                toNotify.push_back(listener.wake);  // also to arm the watcher's timer for the return
            }
        }
    }
    Notify(toNotify);
    return true;
}

int VirtualKeyboard::AddListener(Listener listener) {
    std::lock_guard guard(mutex_);
    const int id = nextListenerId_++;
    listeners_.push_back({id, std::move(listener), {}});
    return id;
}

void VirtualKeyboard::RemoveListener(int id) {
    std::lock_guard guard(mutex_);
    std::erase_if(listeners_, [id](const ListenerEntry& entry) { return entry.id == id; });
}

std::vector<DeviceEvent> VirtualKeyboard::TakeEvents(int listenerId) {
    std::vector<Listener> toNotify;
    std::vector<DeviceEvent> events;
    {
        std::lock_guard guard(mutex_);
        PollLocked(toNotify);
        for (ListenerEntry& listener : listeners_) {
            if (listener.id == listenerId) {
                events.swap(listener.events);
            }
        }
    }
    Notify(toNotify);
    return events;
}

HidOpenResult OpenVirtualHidChannel(std::u16string_view path) {
    HidOpenResult result;
    if (!VirtualKeyboard::Enabled()) {
        result.error = ENODEV;
        return result;
    }
    VirtualKeyboard& keyboard = VirtualKeyboard::Instance();
    const std::optional<uint64_t> generation = keyboard.OpenGeneration();
    if (!generation || path != keyboard.Path()) {
        result.error = ENODEV;
        return result;
    }
    result.handle = static_cast<intptr_t>(0x7F000000u | (*generation & 0xFFFFu));
    result.channel = std::make_unique<VirtualChannel>(*generation);
    return result;
}

}  // namespace kb
