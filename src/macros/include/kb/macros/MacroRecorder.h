// How the key events of the filter's monitor become the steps of a macro group while the assignment
// dialog records, and the small text rules of the dialog's step list. No widgets here: the dialog feeds
// events in on its own thread and refreshes its lists afterwards.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "kb/macros/MacroLibrary.h"

namespace kb {

// Delay modes of the library's `mode`.
inline constexpr int32_t kDelayReal = 0;
inline constexpr int32_t kDelayFixed = 1;
inline constexpr int32_t kDelayNone = 2;

class MacroRecorder {
  public:
    static constexpr int64_t kNoEvent = -1;

    // The dialog opened: no event recorded yet.
    void Reset() { lastEventTime_.reset(); }
    int64_t LastEventTime() const { return lastEventTime_.value_or(kNoEvent); }

    // One press or release, read at `nowMs` (milliseconds of the dialog's clock), for `group` (the group
    // the step list shows, or null). A press appends a key-down step; a release appends a key-up step
    // unless the group is still empty. Either first gives the group's last step the gap since the
    // previous event by `library.mode` (measured, `library.delay`, or 0); with no previous event since
    // the dialog opened a measured gap is unknown, so in real delay mode that step's delay is left as it
    // was. Returns whether a step was appended.
    bool OnKey(const MacroLibrary& library, MacroGroup* group, uint32_t code, bool pressed, int64_t nowMs);

  private:
    int32_t Gap(const MacroLibrary& library, int64_t nowMs) const;

    // 64-bit: a program that has run for weeks is past 2^31 ms, and a clamped stamp would add the whole
    // time since to every recorded gap.
    std::optional<int64_t> lastEventTime_;
};

// What a typed delay cell means: the number it starts with ("%d": blanks, a sign, digits; "12ms" is 12),
// 0 for a text of nothing but blanks, nothing when it starts with something else.
std::optional<int32_t> ParseDelayText(std::u16string_view text);

// The number typed into the repeat or delay field: leading blanks and a sign allowed, reading stops at the
// first non-digit, no digits give 0.
int32_t ParseCountText(std::u16string_view text);

// The state cell's text (untranslated): "key down" for 0, "key up" for 1, "replace" otherwise.
const char* StepStateCaption(int32_t state);

// Sort marks of a column header: 0 none, 1 up, 2 down.
inline constexpr int kSortNone = 0;
inline constexpr int kSortUp = 1;
inline constexpr int kSortDown = 2;

// A click on header `column` of `count` columns: the clicked column's mark turns up (from none or down)
// or down (from up), every other mark is cleared. Column 5 is refused (false, marks unchanged). The rows
// are never reordered: the marks only show what was asked.
bool ApplySortClick(int column, int* marks, int count);

}  // namespace kb
