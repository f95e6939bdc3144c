// The record an assignment choice makes. The assignment dialog and kbctl both build it here, so that the
// same choice gives the same bytes in "record.bin" whoever made it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kb/common/AppConfig.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/macros/MacroLibrary.h"

namespace kb {

// Play modes of a macro (the record's mode is the index + 2).
inline constexpr int32_t kPlayTimes = 0;      // play the rounds through, `repeat` of them
inline constexpr int32_t kPlayWhileHeld = 1;  // repeat while the key is held
inline constexpr int32_t kPlayToggle = 2;     // repeat until the key is pressed again

// What the assignment dialog leaves in the macro library when it closes with OK.
struct AssignmentChoice {
    int32_t type = kKindMacro;  // 0 macro, 1 single key, 2 media key, 3 function key
    int32_t group = -1;         // macro: index into the library's groups
    int32_t repeat = 1;         // macro: repeat count
    int32_t play = kPlayTimes;  // macro: play-mode index
    int32_t media = 0;          // media key: index into config.xml's media keys
    int32_t function = 0;       // function key: index into config.xml's function keys
    int32_t skcode = 0;         // single key: the target key's code
};

AssignmentChoice ChoiceFromLibrary(const MacroLibrary& library);

// The keyboard picture's name for a key code, nullopt when the picture has no such key.
using PictureKeyName = std::function<std::optional<std::u16string>(uint32_t code)>;

// The record for assigning `choice` to the key (`code`, `keyName` as the picture names it); nullopt when
// the choice names nothing (no such group, media or function key, a function key without keys, a single
// key that the picture lacks, an unknown kind). The caller checks CheckRecordFits before storing it.
std::optional<KeyRecord> BuildAssignmentRecord(uint32_t code, const std::u16string& keyName,
                                               const AssignmentChoice& choice, const MacroLibrary& library,
                                               const AppConfig& config, const PictureKeyName& pictureName);

// A sentence for the user about a record that does not fit the record file; empty when it fits.
std::string DescribeRecordRefusal(const KeyRecord& record);

}  // namespace kb
