#include "kb/device/HidDevice.h"

#include "HidChannel.h"
#include "kb/common/Trace.h"
#include "kb/device/HidDiscovery.h"
#include "kb/device/NamedLock.h"
#include "kb/device/VirtualKeyboard.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace kb {
namespace {

// Trace lines print handles and addresses as 32-bit words, as the original formats do.
unsigned Word(intptr_t value) {
    return static_cast<unsigned>(static_cast<uintptr_t>(value) & 0xFFFFFFFFu);
}

}  // namespace

HidDevice::HidDevice() = default;
HidDevice::~HidDevice() = default;

std::shared_ptr<HidChannel> HidDevice::CurrentChannel() const {
    std::lock_guard guard(mutex_);
    return channel_;
}

HidDevice::State HidDevice::GetState() const {
    std::lock_guard guard(mutex_);
    return state_;
}

bool HidDevice::IsOpen() const {
    return GetState() == State::Open;
}

int HidDevice::LastError() const {
    std::lock_guard guard(mutex_);
    return lastError_;
}

std::u16string HidDevice::Path() const {
    std::lock_guard guard(mutex_);
    return path_;
}

std::string HidDevice::NodePath() const {
    std::lock_guard guard(mutex_);
    return nodePath_;
}

HidCapabilities HidDevice::Capabilities() const {
    std::lock_guard guard(mutex_);
    return capabilities_;
}

bool HidDevice::Open(std::u16string_view path, uint32_t access) {
    std::lock_guard lock(NamedLock::Get("HidDevice::Open"));
    if (path.empty()) {
        return false;
    }
    std::shared_ptr<HidChannel> old;
    {
        // The old interface goes first, even when the new open fails.
        std::lock_guard guard(mutex_);
        old = std::move(channel_);
        channel_.reset();
        state_ = State::Closed;
    }
    old.reset();
    HidOpenResult opened = path.starts_with(VirtualKeyboard::kPathPrefix)
                               ? OpenVirtualHidChannel(path)
                               : OpenSystemHidChannel(path, access);
    Trace("open dev: %08x\n", Word(opened.handle));
    std::lock_guard guard(mutex_);
    path_ = std::u16string(path);
    nodePath_ = opened.nodePath;
    if (opened.channel == nullptr) {
        state_ = State::Failed;
        lastError_ = opened.error != 0 ? opened.error : ENODEV;
        capabilities_ = {};
        return false;
    }
    capabilities_ = opened.channel->Capabilities();
    channel_ = std::move(opened.channel);
    state_ = State::Open;
    lastError_ = 0;
    return true;
}

bool HidDevice::OpenByIds(const HidMatch& match, uint16_t* versionOut, uint32_t access) {
    std::lock_guard lock(NamedLock::Get("HidDevice::Open"));
    const std::vector<HidInterfaceInfo> found = EnumHidInterfaces(match);
    if (found.empty()) {
        return false;
    }
    const bool opened = Open(found.front().path, access);
    if (versionOut != nullptr) {
        *versionOut = found.front().version;
    }
    return opened;
}

void HidDevice::Close() {
    std::lock_guard lock(NamedLock::Get("HidDevice::Close"));
    std::shared_ptr<HidChannel> closing;
    {
        std::lock_guard guard(mutex_);
        if (channel_ == nullptr) {
            return;  // closed already, or failed: a failed open stays failed until the next open
        }
        closing = std::move(channel_);
        channel_.reset();
        state_ = State::Closed;
    }
    // The system handle is released here, or by an operation still running on another thread when it
    // finishes.
    closing.reset();
}

int32_t HidDevice::Write(const Report& report) {
    std::lock_guard lock(NamedLock::Get("HidDevice::Write"));
    const std::shared_ptr<HidChannel> channel = CurrentChannel();
    if (channel == nullptr) {
        return 0;
    }
    std::size_t length = report.size();
    Trace("写(异步)USB设备 handle=%08x, data=%08x, len=%d, timeout=%d\n", Word(channel->Handle()),
          Word(reinterpret_cast<intptr_t>(report.data())), static_cast<int>(length), kWriteTimeoutMs);
    const uint16_t outputLength = channel->Capabilities().outputReportLength;
    if (outputLength != 0 && outputLength < length) {
        length = outputLength;
    }
    Trace("正在写入... %d\n", static_cast<int>(length));
    const HidWriteResult result =
        channel->Write(report.data(), length, std::chrono::milliseconds(kWriteTimeoutMs));
    int32_t written = 0;
    switch (result.status) {
        case HidWriteResult::Status::Done:
            Trace("asynchronous write succeed : %d\n", static_cast<int>(Word(channel->Handle())));
            written = result.bytes;
            break;
        case HidWriteResult::Status::Failed:
            Trace("写文件错误(%04x,%d)\n", Word(channel->Handle()), result.error);
            break;
        case HidWriteResult::Status::TimedOut:
            Trace("超时索引错误\n");
            break;
    }
    Trace("已写长度为 %d\n", static_cast<int>(written));
    return written;
}

bool HidDevice::GetFeature(Report& report, std::size_t* received) {
    std::lock_guard lock(NamedLock::Get("HidDevice::GetFeature"));
    const std::shared_ptr<HidChannel> channel = CurrentChannel();
    if (channel == nullptr) {
        return false;
    }
    const std::optional<std::size_t> filled = channel->GetFeature(report);
    if (filled && received != nullptr) {
        *received = *filled;
    }
    return filled.has_value();
}

bool HidDevice::SetFeature(const Report& report) {
    std::lock_guard lock(NamedLock::Get("HidDevice::SetFeature"));
    const std::shared_ptr<HidChannel> channel = CurrentChannel();
    return channel != nullptr && channel->SetFeature(report);
}

}  // namespace kb
