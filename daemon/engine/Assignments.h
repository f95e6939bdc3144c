// Key assignments in the form the engine plays them: Linux key codes, one entry per source key.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "kb/keys/KeyRecordTable.h"

namespace kb::filterd {

// How a played record repeats (record mode = play-mode index + 2).
enum class PlayMode : uint8_t {
    Times,      // mode 2 (and higher, unknown, modes): `repeat` rounds, at least one
    WhileHeld,  // mode 3: rounds repeat while the source key is held
    Toggle,     // mode 4: rounds repeat until the source key is pressed again
};

struct PlayStep {
    uint16_t key = 0;  // Linux key; 0 when the stored code names no key (only the delay is kept)
    bool down = false;
    uint32_t delayMs = 0;  // wait after the event
};

struct Assignment {
    uint16_t source = 0;  // Linux key
    bool remap = false;   // single key: `target` follows the source's down and up
    uint16_t target = 0;
    PlayMode play = PlayMode::Times;
    int32_t repeat = 1;  // rounds for PlayMode::Times, at least 1
    uint64_t roundMs = 0;
    std::vector<PlayStep> steps;
};

// Turns loaded records into assignments. Records that cannot be carried out (no Linux key for the source
// or the target, mode 0, a second record for the same key) are left out, each with a line in `notes`.
std::vector<Assignment> BuildAssignments(std::span<const KeyRecord> records, std::vector<std::string>& notes);

}  // namespace kb::filterd
