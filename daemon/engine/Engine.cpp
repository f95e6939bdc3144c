#include "Engine.h"

#include <linux/input-event-codes.h>

#include <algorithm>

namespace kb::filterd {

Engine::Engine(IKeySink& sink) : sink_(sink) {}

void Engine::Own(uint16_t key) {
    if (owners_[key]++ == 0) {
        sink_.Emit(key, true);
    }
}

void Engine::Disown(uint16_t key) {
    if (owners_[key] != 0 && --owners_[key] == 0) {
        sink_.Emit(key, false);
    }
}

void Engine::OnKey(uint16_t key, bool down, Time now) {
    if (key == 0 || key >= kLinuxKeyCount) {
        return;
    }
    Advance(now);
    if (down) {
        PressDown(key, now);
    } else {
        PressUp(key);
    }
}

void Engine::PressDown(uint16_t key, Time now) {
    PressState& press = press_[key];
    if (press.what != Press::None) {
        return;  // a second down without an up: the first press stays in charge
    }
    heldOrder_[heldCount_++] = key;
    press = {Press::Ignored, 0};

    // Panic chord: stops every playback and lets go of everything, whatever the assignments say, and
    // ends a mode that swallows or unmaps keys.
    if (press_[KEY_BACKSPACE].what != Press::None && press_[KEY_ESC].what != Press::None &&
        press_[KEY_ENTER].what != Press::None) {
        ReleaseAll();
        mode_ = kModeNormal;
        return;
    }

    if (mode_ == kModeCapture) {
        return;
    }
    const uint16_t slot = mode_ == kModeNormal ? assignmentOf_[key] : uint16_t{0};
    if (slot == 0) {
        press = {Press::PassThrough, key};
        Own(key);
        return;
    }
    const uint16_t index = static_cast<uint16_t>(slot - 1);
    const Assignment& a = assignments_[index];
    if (a.remap) {
        press = {Press::Remapped, a.target};
        Own(a.target);
        return;
    }
    if (a.play == PlayMode::Toggle && playbacks_[index].state != PlayState::Idle) {
        StopPlayback(index);  // the second press ends the repetition; its release does nothing
        return;
    }
    press = {Press::Playing, index};
    StartPlayback(index, now);
    Advance(now);
}

void Engine::PressUp(uint16_t key) {
    const PressState press = press_[key];
    if (press.what == Press::None) {
        return;
    }
    press_[key] = {};
    auto* end = heldOrder_.data() + heldCount_;
    auto* it = std::find(heldOrder_.data(), end, key);
    if (it != end) {
        std::copy(it + 1, end, it);
        --heldCount_;
    }
    switch (press.what) {
        case Press::PassThrough:
        case Press::Remapped:
            Disown(press.arg);
            break;
        case Press::Playing:
            SourceReleased(press.arg);
            break;
        case Press::None:
        case Press::Ignored:
            break;
    }
}

void Engine::StartPlayback(uint16_t index, Time now) {
    Playback& p = playbacks_[index];
    if (p.state != PlayState::Idle) {
        StopPlayback(index);  // a new press plays the record from its start
    }
    const Assignment& a = assignments_[index];
    p.sourceHeld = true;
    p.step = 0;
    p.roundsLeft = a.repeat;
    p.deadline = now;
    if (a.steps.empty()) {
        p.state = PlayState::Holding;
        return;
    }
    p.state = PlayState::Running;
    running_.push_back(index);  // never grows past the reserved capacity: one entry per record at most
}

void Engine::ReleasePlaybackKeys(Playback& p) {
    // Like fingers letting go of a chord: the last key pressed goes up first.
    for (auto it = p.order.rbegin(); it != p.order.rend(); ++it) {
        Disown(*it);
    }
    p.order.clear();
    p.held.Clear();
}

void Engine::StopPlayback(uint16_t index) {
    Playback& p = playbacks_[index];
    if (p.state == PlayState::Running) {
        running_.erase(std::find(running_.begin(), running_.end(), index));
    }
    ReleasePlaybackKeys(p);
    p.state = PlayState::Idle;
}

void Engine::SourceReleased(uint16_t index) {
    Playback& p = playbacks_[index];
    p.sourceHeld = false;
    switch (assignments_[index].play) {
        case PlayMode::Times:
            // The rounds play to their end whatever the source does; only what a finished playback
            // still holds waits for the release.
            if (p.state == PlayState::Holding) {
                ReleasePlaybackKeys(p);
                p.state = PlayState::Idle;
            }
            break;
        case PlayMode::WhileHeld:
            StopPlayback(index);
            break;
        case PlayMode::Toggle:
            break;  // runs on until the next press
    }
}

void Engine::RunStep(uint16_t index) {
    const Assignment& a = assignments_[index];
    Playback& p = playbacks_[index];
    if (p.step == a.steps.size()) {
        Finish(index);  // the last delay has passed
        return;
    }
    const PlayStep& s = a.steps[p.step];
    if (s.key != 0) {
        if (s.down) {
            if (!p.held.Test(s.key)) {
                p.held.Set(s.key);
                p.order.push_back(s.key);  // never beyond the capacity reserved for the steps
                Own(s.key);
            }
        } else if (p.held.Test(s.key)) {
            p.held.Reset(s.key);
            p.order.erase(std::find(p.order.begin(), p.order.end(), s.key));
            Disown(s.key);
        }
    }
    p.deadline += std::chrono::milliseconds(s.delayMs);
    if (++p.step < a.steps.size()) {
        return;
    }
    if (a.play == PlayMode::Times && --p.roundsLeft <= 0) {
        return;  // the last delay still runs before Finish
    }
    p.step = 0;
    if (a.roundMs == 0) {
        p.deadline += std::chrono::milliseconds(1);  // a round without delays must not spin
    }
}

void Engine::Finish(uint16_t index) {
    Playback& p = playbacks_[index];
    running_.erase(std::find(running_.begin(), running_.end(), index));
    if (p.sourceHeld) {
        p.state = PlayState::Holding;  // e.g. a key combination stays down while its key is held
    } else {
        ReleasePlaybackKeys(p);
        p.state = PlayState::Idle;
    }
}

void Engine::Advance(Time now) {
    for (uint16_t i : running_) {
        if (now - playbacks_[i].deadline > kMaxLag) {
            playbacks_[i].deadline = now;
        }
    }
    for (;;) {
        const uint16_t* best = nullptr;
        for (const uint16_t& i : running_) {
            if (playbacks_[i].deadline <= now &&
                (best == nullptr || playbacks_[i].deadline < playbacks_[*best].deadline)) {
                best = &i;
            }
        }
        if (best == nullptr) {
            return;
        }
        RunStep(*best);
    }
}

std::optional<Time> Engine::NextDeadline() const {
    std::optional<Time> next;
    for (uint16_t i : running_) {
        if (!next || playbacks_[i].deadline < *next) {
            next = playbacks_[i].deadline;
        }
    }
    return next;
}

void Engine::ReleaseSynthesized() {
    for (std::size_t i = 0; i < playbacks_.size(); ++i) {
        if (playbacks_[i].state != PlayState::Idle) {
            ReleasePlaybackKeys(playbacks_[i]);
            playbacks_[i].state = PlayState::Idle;
        }
    }
    running_.clear();
    for (std::size_t i = 0; i < heldCount_; ++i) {
        PressState& press = press_[heldOrder_[i]];
        if (press.what == Press::Remapped) {
            Disown(press.arg);
            press = {Press::Ignored, 0};
        } else if (press.what == Press::Playing) {
            press = {Press::Ignored, 0};
        }
    }
}

void Engine::SetAssignments(std::vector<Assignment> assignments, Time now) {
    Advance(now);
    ReleaseSynthesized();
    assignments_ = std::move(assignments);
    // Indices are kept in 16 bits; a record file cannot hold more records than fit (65536 bytes each
    // at least 14), but cut here rather than trust that.
    if (assignments_.size() > 0xFFFE) {
        assignments_.resize(0xFFFE);
    }
    playbacks_.assign(assignments_.size(), Playback{});
    for (std::size_t i = 0; i < assignments_.size(); ++i) {
        playbacks_[i].order.reserve(assignments_[i].steps.size());
    }
    running_.clear();
    running_.reserve(assignments_.size());
    assignmentOf_.fill(0);
    for (std::size_t i = 0; i < assignments_.size(); ++i) {
        const uint16_t source = assignments_[i].source;
        if (source != 0 && source < kLinuxKeyCount && assignmentOf_[source] == 0) {
            assignmentOf_[source] = static_cast<uint16_t>(i + 1);
        }
    }
}

bool Engine::SetMode(uint32_t mode, Time now) {
    if (mode != kModeNoRemap && mode != kModeNormal && mode != kModeCapture) {
        return false;
    }
    Advance(now);
    if (mode != mode_) {
        ReleaseSynthesized();
        mode_ = mode;
    }
    return true;
}

void Engine::ReleaseAll() {
    for (Playback& p : playbacks_) {
        p.held.Clear();
        p.order.clear();
        p.state = PlayState::Idle;
    }
    running_.clear();
    for (std::size_t k = 0; k < kLinuxKeyCount; ++k) {
        if (owners_[k] != 0) {
            owners_[k] = 0;
            sink_.Emit(static_cast<uint16_t>(k), false);
        }
    }
    for (std::size_t i = 0; i < heldCount_; ++i) {
        press_[heldOrder_[i]] = {Press::Ignored, 0};
    }
}

void Engine::KeyboardGone() {
    ReleaseAll();
    press_.fill({});
    heldCount_ = 0;
}

void Engine::HeldKeyCodes(std::span<uint32_t> out) const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < heldCount_ && n < out.size(); ++i) {
        const uint32_t code = CodeForLinuxKey(heldOrder_[i]);
        if (code != 0) {
            out[n++] = code;
        }
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(n), out.end(), 0u);
}

}  // namespace kb::filterd
