#include "kb/device/VirtualFilter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "kb/common/Trace.h"

namespace kb::KbFiltrDevice {
namespace {

class VirtualConnection final : public IFilterConnection {
  public:
    explicit VirtualConnection(VirtualFilter& filter) : filter_(filter) {}

    std::optional<std::size_t> Request(uint32_t code, std::span<const std::byte> input,
                                       std::span<std::byte> output) override {
        std::vector<std::byte> reply;
        if (filter_.Handle(code, input, reply) != filterwire::Status::Ok) {
            return std::nullopt;
        }
        const std::size_t copied = std::min(reply.size(), output.size());
        std::copy_n(reply.begin(), copied, output.begin());
        return copied;
    }

  private:
    VirtualFilter& filter_;
};

}  // namespace

bool VirtualFilter::Enabled() {
    const char* value = std::getenv(kEnv);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

VirtualFilter& VirtualFilter::Instance() {
    static VirtualFilter* instance = new VirtualFilter();  // never destroyed: threads may still poll it
    return *instance;
}

FilterOpenResult VirtualFilter::Open() {
    Trace("\nList of KBFILTER Device Interfaces\n");
    Trace("---------------------------------\n");
    Trace("%d %s\n", 1, kPath);
    FilterOpenResult result;
    result.connection = std::make_shared<VirtualConnection>(*this);
    result.path = kPath;
    result.error = FilterOpenError::None;
    return result;
}

void VirtualFilter::PressKey(uint32_t code) {
    const std::lock_guard guard(mutex_);
    if (code != 0 && held_.size() < filterwire::kHeldKeySlots &&
        std::find(held_.begin(), held_.end(), code) == held_.end()) {
        held_.push_back(code);
    }
}

void VirtualFilter::ReleaseKey(uint32_t code) {
    const std::lock_guard guard(mutex_);
    held_.erase(std::remove(held_.begin(), held_.end(), code), held_.end());
}

void VirtualFilter::ReleaseAll() {
    const std::lock_guard guard(mutex_);
    held_.clear();
}

std::vector<uint32_t> VirtualFilter::HeldKeys() const {
    const std::lock_guard guard(mutex_);
    return held_;
}

uint32_t VirtualFilter::Mode() const {
    const std::lock_guard guard(mutex_);
    return mode_;
}

int VirtualFilter::ReloadCount() const {
    const std::lock_guard guard(mutex_);
    return reloads_;
}

std::vector<VirtualFilter::Request> VirtualFilter::Requests() const {
    const std::lock_guard guard(mutex_);
    return requests_;
}

filterwire::Status VirtualFilter::Handle(uint32_t code, std::span<const std::byte> input,
                                         std::vector<std::byte>& output) {
    using filterwire::Status;
    output.clear();
    const std::lock_guard guard(mutex_);
    Status status = Status::Ok;
    const std::optional<std::size_t> inputBytes = filterwire::InputBytesFor(code);
    if (!inputBytes) {
        status = Status::UnknownRequest;
    } else if (input.size() != *inputBytes) {
        status = Status::BadSize;
    } else if (code == filterwire::kReadHeldKeys) {
        output.resize(filterwire::kHeldKeysBytes);
        for (std::size_t i = 0; i < held_.size(); ++i) {
            filterwire::PutU32(output.data() + i * 4, held_[i]);
        }
        return status;  // not logged: the monitor polls every millisecond
    } else if (code == filterwire::kReloadAssignments) {
        ++reloads_;
        Trace("virtual filter: reload assignments\n");
    } else {
        const uint32_t mode = filterwire::GetU32(input.data());
        if (mode == filterwire::kModeNoRemap || mode == filterwire::kModeNormal ||
            mode == filterwire::kModeCapture) {
            mode_ = mode;
            Trace("virtual filter: mode %#x\n", mode);
        } else {
            status = Status::BadValue;
        }
    }
    requests_.push_back(Request{code, std::vector<std::byte>(input.begin(), input.end()), status});
    return status;
}

}  // namespace kb::KbFiltrDevice
