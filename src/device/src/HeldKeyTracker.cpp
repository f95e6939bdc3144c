#include "kb/device/HeldKeyTracker.h"

#include <algorithm>

namespace kb {
namespace {

bool Contains(const uint32_t* codes, std::size_t count, uint32_t code) {
    return std::find(codes, codes + count, code) != codes + count;
}

}  // namespace

std::span<const HeldKeyEvent> HeldKeyTracker::Update(std::span<const uint32_t> keys) {
    std::array<uint32_t, kMaxKeys> now;  // only the first nowCount entries are written and read
    std::size_t nowCount = 0;
    const std::size_t count = std::min(keys.size(), kMaxKeys);
    for (std::size_t i = 0; i < count; ++i) {
        const uint32_t code = keys[i] & kCodeMask;
        if (code != 0) {
            now[nowCount++] = code;
        }
    }

    // New keys are reported first, in this poll's order; then the keys that went away, in the previous
    // poll's order. A key present in both polls is reported neither pressed nor released.
    std::size_t events = 0;
    for (std::size_t n = 0; n < nowCount; ++n) {
        if (!Contains(held_.data(), heldCount_, now[n])) {
            events_[events++] = HeldKeyEvent{now[n], true};
        }
    }
    for (std::size_t o = 0; o < heldCount_; ++o) {
        if (!Contains(now.data(), nowCount, held_[o])) {
            events_[events++] = HeldKeyEvent{held_[o], false};
        }
    }
    std::copy_n(now.begin(), nowCount, held_.begin());
    heldCount_ = nowCount;
    return std::span<const HeldKeyEvent>(events_.data(), events);
}

bool HeldKeyTracker::Press(uint32_t code) {
    code &= kCodeMask;
    if (code == 0 || heldCount_ == kMaxKeys || Contains(held_.data(), heldCount_, code)) {
        return false;
    }
    held_[heldCount_++] = code;
    return true;
}

bool HeldKeyTracker::Release(uint32_t code) {
    code &= kCodeMask;
    uint32_t* const end = held_.data() + heldCount_;
    uint32_t* const at = std::find(held_.data(), end, code);
    if (code == 0 || at == end) {
        return false;
    }
    std::copy(at + 1, end, at);  // the others keep their order
    --heldCount_;
    return true;
}

void HeldKeyTracker::Reset() {
    heldCount_ = 0;
}

}  // namespace kb
