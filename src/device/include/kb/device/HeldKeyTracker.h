// Turns successive polls of the filter's held-key list into press and release events, and follows pushed
// presses and releases the same way (so a push and a later poll agree on what is held).
// One poll is up to 256 key codes, 0 marking an empty slot; only bits 0..30 identify a key. Within a poll,
// every new key is reported pressed (in the poll's order) before every key that went away is reported
// released (in the previous poll's order). No allocation: fit for a thread that polls every millisecond.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kb {

struct HeldKeyEvent {
    uint32_t code = 0;  // bits 0..30 of the polled entry
    bool pressed = false;

    friend bool operator==(const HeldKeyEvent&, const HeldKeyEvent&) = default;
};

class HeldKeyTracker {
  public:
    static constexpr std::size_t kMaxKeys = 256;        // entries in one poll (1024 bytes)
    static constexpr uint32_t kCodeMask = 0x7FFFFFFFu;  // bit 31 never belongs to a key code
    static constexpr std::size_t kMaxEvents = 2 * kMaxKeys;

    // Takes this poll's entries (entries beyond kMaxKeys are ignored, missing ones count as empty) and
    // returns the events since the previous poll. The view stays valid until the next Update or Reset.
    std::span<const HeldKeyEvent> Update(std::span<const uint32_t> keys);
    std::span<const HeldKeyEvent> Update(const uint32_t* keys, std::size_t count) {
        return Update(std::span<const uint32_t>(keys, keys == nullptr ? 0 : count));
    }

    // Same, handing each event to `onKey(code, pressed)` in order.
    template <typename OnKey>
    void Update(std::span<const uint32_t> keys, OnKey&& onKey) {
        for (const HeldKeyEvent& e : Update(keys)) {
            onKey(e.code, e.pressed);
        }
    }

    // A pushed press or release (masked like a poll's entry): whether it changes what is held. A press of
    // a key already held, a release of one not held, code 0 and a press beyond kMaxKeys change nothing.
    bool Press(uint32_t code);
    bool Release(uint32_t code);

    // Forgets what was held, so that the next poll reports every held key as a fresh press.
    void Reset();

    // The keys of the previous poll, masked to key codes, in the poll's order without its empty slots.
    std::span<const uint32_t> Held() const { return std::span<const uint32_t>(held_.data(), heldCount_); }

  private:
    // Only the occupied slots are kept: a poll usually holds a handful of keys among 256 slots, and
    // comparing just those keeps a poll well under a microsecond.
    std::array<uint32_t, kMaxKeys> held_{};
    std::size_t heldCount_ = 0;
    std::array<HeldKeyEvent, kMaxEvents> events_{};
};

}  // namespace kb
