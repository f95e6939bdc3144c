// The filter's core: physical key events and the time go in, the key events to emit and the next time
// the engine must run come out. No I/O, no clock of its own, no allocation per key event.
//
// Every emitted key has owners: each physical key that passes through or is remapped to it, and each
// playback that pressed it. A key goes down when it gets its first owner and up when it loses its last,
// so overlapping playbacks and physical keys never leave a key stuck or release one another's keys.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "Assignments.h"
#include "LinuxKeyMap.h"
#include "Time.h"

namespace kb::filterd {

class IKeySink {
  public:
    virtual ~IKeySink() = default;
    virtual void Emit(uint16_t key, bool down) = 0;
};

class Engine {
  public:
    static constexpr uint32_t kModeNoRemap = 0;
    static constexpr uint32_t kModeNormal = 1;
    static constexpr uint32_t kModeCapture = 0xFFFFFFFF;
    // A playback further behind than this (the process was stopped) resumes from now instead of
    // firing everything it missed at once.
    static constexpr Time kMaxLag = std::chrono::milliseconds(100);

    explicit Engine(IKeySink& sink);

    // A physical key event (no autorepeat). Runs due playback steps first.
    void OnKey(uint16_t key, bool down, Time now);

    // Runs every playback step due at `now`, in deadline order.
    void Advance(Time now);

    // When Advance must run next; nothing while no playback runs.
    std::optional<Time> NextDeadline() const;

    // Replaces the assignments. Playbacks stop and every key they or a remap pressed is released;
    // keys held now keep what their press did until released.
    void SetAssignments(std::vector<Assignment> assignments, Time now);

    // 0, 1 or 0xFFFFFFFF; false (nothing changes) for any other value. A change releases like a reload.
    bool SetMode(uint32_t mode, Time now);
    uint32_t Mode() const { return mode_; }

    // Stops every playback and releases every emitted key; the keys held now do nothing more until
    // pressed again. Used by the panic chord (which also returns to mode 1) and on exit.
    void ReleaseAll();

    // The keyboard went away: releases everything and forgets the held keys.
    void KeyboardGone();

    // The physical keys held now, as key codes, in the order they were pressed; keys without a key
    // code are left out, unused slots are 0.
    void HeldKeyCodes(std::span<uint32_t> out) const;

    bool IsEmitted(uint16_t key) const { return key < kLinuxKeyCount && owners_[key] != 0; }
    bool AnyPlaybackRunning() const { return !running_.empty(); }

  private:
    // What a physical key's press did, undone by its release.
    enum class Press : uint8_t { None, PassThrough, Remapped, Playing, Ignored };
    struct PressState {
        Press what = Press::None;
        uint16_t arg = 0;  // target key (Remapped) or assignment index (Playing)
    };

    class KeySet {
      public:
        bool Test(uint16_t k) const { return (words_[k >> 6] >> (k & 63)) & 1u; }
        void Set(uint16_t k) { words_[k >> 6] |= uint64_t{1} << (k & 63); }
        void Reset(uint16_t k) { words_[k >> 6] &= ~(uint64_t{1} << (k & 63)); }
        template <typename F>
        void ForEach(F&& f) const {
            for (std::size_t w = 0; w < words_.size(); ++w) {
                for (uint64_t bits = words_[w]; bits != 0; bits &= bits - 1) {
                    f(static_cast<uint16_t>(w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits))));
                }
            }
        }
        void Clear() { words_.fill(0); }

      private:
        std::array<uint64_t, kLinuxKeyCount / 64> words_{};
    };

    // Running: steps are due (`step` == the step count: the last delay runs, then the playback ends).
    // Holding: finished, keeping its keys down until the source key is released.
    enum class PlayState : uint8_t { Idle, Running, Holding };
    struct Playback {
        PlayState state = PlayState::Idle;
        bool sourceHeld = false;
        std::size_t step = 0;
        int32_t roundsLeft = 0;
        Time deadline{};
        KeySet held;
        std::vector<uint16_t> order;  // the held keys in the order of their presses; capacity reserved
    };

    void Own(uint16_t key);
    void Disown(uint16_t key);
    void StartPlayback(uint16_t index, Time now);
    void StopPlayback(uint16_t index);
    void ReleasePlaybackKeys(Playback& p);
    void RunStep(uint16_t index);
    void Finish(uint16_t index);
    void SourceReleased(uint16_t index);
    // Stops playbacks and releases what remaps and playbacks pressed (reload, mode change).
    void ReleaseSynthesized();
    void PressDown(uint16_t key, Time now);
    void PressUp(uint16_t key);

    IKeySink& sink_;
    uint32_t mode_ = kModeNormal;
    std::vector<Assignment> assignments_;
    std::vector<Playback> playbacks_;
    std::vector<uint16_t> running_;  // indices of Running playbacks; capacity reserved at each reload
    std::array<uint16_t, kLinuxKeyCount> assignmentOf_{};  // index + 1, 0 when the key has none
    std::array<PressState, kLinuxKeyCount> press_{};
    std::array<uint16_t, kLinuxKeyCount> owners_{};
    std::array<uint16_t, kLinuxKeyCount> heldOrder_{};
    std::size_t heldCount_ = 0;
};

}  // namespace kb::filterd
