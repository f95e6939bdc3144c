#include "kb/device/HeldKeyTracker.h"

#include <algorithm>

namespace kb {

std::span<const HeldKeyEvent> HeldKeyTracker::Update(std::span<const uint32_t> keys) {
    std::array<uint32_t, kMaxKeys> now{};
    const std::size_t count = std::min(keys.size(), kMaxKeys);
    for (std::size_t i = 0; i < count; ++i) {
        now[i] = keys[i] & kCodeMask;
    }

    // A key present in both polls is marked on both sides and reported neither pressed nor released.
    std::array<bool, kMaxKeys> keptNow{};
    std::array<bool, kMaxKeys> keptOld{};
    for (std::size_t o = 0; o < kMaxKeys; ++o) {
        if (held_[o] == 0) {
            continue;
        }
        for (std::size_t n = 0; n < kMaxKeys; ++n) {
            if (now[n] == held_[o]) {
                keptNow[n] = true;
                keptOld[o] = true;
            }
        }
    }

    std::size_t events = 0;
    for (std::size_t n = 0; n < kMaxKeys; ++n) {
        if (now[n] != 0 && !keptNow[n]) {
            events_[events++] = HeldKeyEvent{now[n], true};
        }
    }
    for (std::size_t o = 0; o < kMaxKeys; ++o) {
        if (held_[o] != 0 && !keptOld[o]) {
            events_[events++] = HeldKeyEvent{held_[o], false};
        }
    }
    held_ = now;
    return std::span<const HeldKeyEvent>(events_.data(), events);
}

void HeldKeyTracker::Reset() {
    held_.fill(0);
}

}  // namespace kb
