#include "kb/device/VirtualFilter.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>

#include "kb/common/Trace.h"
#include "kb/keys/KeyRecordTable.h"

namespace kb::KbFiltrDevice {

class VirtualFilter::Subscriber {
  public:
    void Push(const filterwire::KeyEvent& e) {
        const std::lock_guard guard(mutex_);
        events_.push_back(e);
        wake_.notify_all();
    }
    bool Wait(std::vector<filterwire::KeyEvent>& events) {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return interrupted_ || !events_.empty(); });
        events.insert(events.end(), events_.begin(), events_.end());
        events_.clear();
        return !interrupted_;
    }
    void Interrupt() {
        const std::lock_guard guard(mutex_);
        interrupted_ = true;
        wake_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<filterwire::KeyEvent> events_;
    bool interrupted_ = false;
};

namespace {

namespace w = filterwire;

// kbfilterd's limit on a record file it is handed.
constexpr std::uintmax_t kMaxRecordFileBytes = 16u << 20;

uint64_t NowUs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

// The client's checks before it hands a file over: the file itself, not a link, and a regular file.
bool CanHandOver(const std::filesystem::path& file, std::string& why) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(file, ec);
    if (ec || !fs::exists(status)) {
        why = "cannot open " + file.string() + ": " +
              (ec ? ec.message() : std::make_error_code(std::errc::no_such_file_or_directory).message());
        return false;
    }
    if (fs::is_symlink(status)) {
        why = "cannot hand " + file.string() + " to kbfilterd: it is a symbolic link";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        why = "cannot hand " + file.string() + " to kbfilterd: not a regular file";
        return false;
    }
    return true;
}

class VirtualKeyStream final : public IKeyEventStream {
  public:
    explicit VirtualKeyStream(VirtualFilter& filter) : subscriber_(filter.Subscribe(held_)) {}

    std::vector<w::KeyEvent> EarlyEvents() override { return {}; }
    std::vector<uint32_t> HeldAtStart() override { return std::exchange(held_, {}); }
    bool Wait(std::vector<w::KeyEvent>& events) override { return subscriber_->Wait(events); }
    void Interrupt() override { subscriber_->Interrupt(); }

  private:
    std::vector<uint32_t> held_;
    std::shared_ptr<VirtualFilter::Subscriber> subscriber_;
};

class VirtualConnection final : public IFilterConnection {
  public:
    VirtualConnection(VirtualFilter& filter, uint64_t owner) : filter_(filter), owner_(owner) {}
    ~VirtualConnection() override { filter_.ConnectionClosed(owner_); }

    FilterReply Request(const FilterRequest& request, std::span<std::byte> output) override {
        // What the socket client would not hand over is not sent, as there.
        if (std::string why; !request.handOver.empty() && !CanHandOver(request.handOver, why)) {
            return {false, false, 0, why};
        }
        std::vector<std::byte> reply;
        if (filter_.Handle(request, reply, owner_) != w::Status::Ok) {
            return {false, true, 0, std::string(reinterpret_cast<const char*>(reply.data()), reply.size())};
        }
        const std::size_t copied = std::min(reply.size(), output.size());
        std::copy_n(reply.begin(), copied, output.begin());
        return {true, false, copied, {}};
    }

    bool PushesKeys() const override { return true; }
    std::unique_ptr<IKeyEventStream> SubscribeKeys() override {
        return std::make_unique<VirtualKeyStream>(filter_);
    }

  private:
    VirtualFilter& filter_;
    const uint64_t owner_;
};

void PutText(std::vector<std::byte>& output, const std::string& text) {
    const std::size_t n = std::min(text.size(), w::kMaxReasonBytes);
    output.resize(n);
    std::memcpy(output.data(), text.data(), n);
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// Reads a handed-over record file the way kbfilterd takes it: the file itself (no link), a regular file
// within the limit, and records the validating reader accepts. The count, or the reason.
int ReadRecordFile(const std::filesystem::path& file, std::string& why) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(file, ec);
    if (ec || !fs::is_regular_file(status)) {
        why = "cannot use " + file.string() + ": " +
              (ec                       ? ec.message()
               : fs::is_symlink(status) ? "a symbolic link"
                                        : "not a regular file");
        return -1;
    }
    if (fs::file_size(file, ec) > kMaxRecordFileBytes || ec) {
        why = "cannot use " + file.string() + ": too large";
        return -1;
    }
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        why = "cannot read " + file.string();
        return -1;
    }
    const RecordFileDecodeResult decoded = DecodeRecordFile(bytes);
    if (!decoded.ok) {
        why = "cannot use " + file.string() + ": " + decoded.error;
        return -1;
    }
    return static_cast<int>(decoded.records.size());
}

}  // namespace

bool VirtualFilter::Enabled() {
    const char* value = std::getenv(kEnv);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

VirtualFilter& VirtualFilter::Instance() {
    static VirtualFilter* instance = new VirtualFilter();  // never destroyed: threads may still use it
    return *instance;
}

FilterOpenResult VirtualFilter::Open() {
    Trace("\nList of KBFILTER Device Interfaces\n");
    Trace("---------------------------------\n");
    Trace("%d %s\n", 1, kPath);
    uint64_t owner = 0;
    {
        const std::lock_guard guard(mutex_);
        owner = ++nextOwner_;
    }
    FilterOpenResult result;
    result.connection = std::make_shared<VirtualConnection>(*this, owner);
    result.path = kPath;
    result.error = FilterOpenError::None;
    return result;
}

void VirtualFilter::PressKey(uint32_t code) {
    const std::lock_guard guard(mutex_);
    if (code != 0 && held_.size() < w::kHeldKeySlots &&
        std::find(held_.begin(), held_.end(), code) == held_.end()) {
        held_.push_back(code);
        Push(code, true);
    }
}

void VirtualFilter::ReleaseKey(uint32_t code) {
    const std::lock_guard guard(mutex_);
    const auto at = std::find(held_.begin(), held_.end(), code);
    if (at != held_.end()) {
        held_.erase(at);
        Push(code, false);
    }
}

void VirtualFilter::ReleaseAll() {
    const std::lock_guard guard(mutex_);
    for (const uint32_t code : held_) {
        Push(code, false);
    }
    held_.clear();
}

void VirtualFilter::Push(uint32_t code, bool pressed) {
    const w::KeyEvent event{code, pressed, NowUs()};
    std::erase_if(subscribers_, [&](const std::weak_ptr<Subscriber>& weak) {
        const std::shared_ptr<Subscriber> subscriber = weak.lock();
        if (subscriber == nullptr) {
            return true;  // its stream is gone
        }
        subscriber->Push(event);
        return false;
    });
}

std::shared_ptr<VirtualFilter::Subscriber> VirtualFilter::Subscribe(std::vector<uint32_t>& heldNow) {
    auto subscriber = std::make_shared<Subscriber>();
    const std::lock_guard guard(mutex_);
    subscribers_.push_back(subscriber);
    heldNow = held_;  // under the same lock: no event falls between the list and the subscription
    return subscriber;
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

int VirtualFilter::LoadedRecords() const {
    const std::lock_guard guard(mutex_);
    return loadedRecords_;
}

std::vector<VirtualFilter::Request> VirtualFilter::Requests() const {
    const std::lock_guard guard(mutex_);
    return requests_;
}

void VirtualFilter::ConnectionClosed(uint64_t owner) {
    const std::lock_guard guard(mutex_);
    if (owner != 0 && modeOwner_ == owner) {
        mode_ = w::kModeNormal;
        modeOwner_ = 0;
        Trace("virtual filter: the connection that set the mode closed; mode 1\n");
    }
}

w::Status VirtualFilter::Handle(uint32_t code, std::span<const std::byte> input,
                                std::vector<std::byte>& output) {
    return Handle(FilterRequest{code, input, {}}, output, 0);
}

w::Status VirtualFilter::Handle(const FilterRequest& request, std::vector<std::byte>& output,
                                uint64_t owner) {
    using w::Status;
    output.clear();
    const uint32_t code = request.code;
    const std::span<const std::byte> input = request.input;
    const std::optional<std::size_t> inputBytes = w::InputBytesFor(code);
    Status status = Status::Ok;
    std::string reason;
    // Read outside the lock: a file is slow next to a key press.
    int records = -1;
    if (inputBytes && input.size() == *inputBytes && code == w::kReloadAssignments &&
        !request.handOver.empty()) {
        records = ReadRecordFile(request.handOver, reason);
    }
    const std::lock_guard guard(mutex_);
    if (!inputBytes) {
        status = Status::UnknownRequest;
        reason = "unknown request " + Hex(code);
    } else if (input.size() != *inputBytes) {
        status = Status::BadSize;
        reason = "request " + Hex(code) + " takes " + std::to_string(*inputBytes) + " input bytes, not " +
                 std::to_string(input.size());
    } else if (code == w::kReadHeldKeys) {
        output.resize(w::kHeldKeysBytes);
        for (std::size_t i = 0; i < held_.size(); ++i) {
            w::PutU32(output.data() + i * 4, held_[i]);
        }
        return status;  // not logged: a polling client reads every millisecond
    } else if (code == w::kReloadAssignments) {
        if (!request.handOver.empty() && records < 0) {
            status = Status::Failed;  // the previous assignments stay
        } else {
            ++reloads_;
            if (records >= 0) {
                loadedRecords_ = records;
            }
            Trace("virtual filter: reload assignments\n");
        }
    } else if (code == w::kSubscribeKeys) {
        // Taken by a connection's SubscribeKeys; as a bare request it changes nothing.
        const uint32_t value = w::GetU32(input.data());
        if (value != w::kSubscribeOn && value != w::kSubscribeOff) {
            status = Status::BadValue;
            reason = "refused subscription value " + Hex(value);
        }
    } else {
        const uint32_t mode = w::GetU32(input.data());
        if (mode == w::kModeNoRemap || mode == w::kModeNormal || mode == w::kModeCapture) {
            mode_ = mode;
            modeOwner_ = mode == w::kModeNormal ? 0 : owner;
            Trace("virtual filter: mode %#x\n", mode);
        } else {
            status = Status::BadValue;
            reason = "refused mode " + Hex(mode);
        }
    }
    if (status != Status::Ok) {
        PutText(output, reason);
    }
    requests_.push_back(
        Request{code, std::vector<std::byte>(input.begin(), input.end()), status, request.handOver});
    return status;
}

}  // namespace kb::KbFiltrDevice
