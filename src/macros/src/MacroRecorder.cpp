#include "kb/macros/MacroRecorder.h"

#include <algorithm>
#include <limits>
#include <new>

#include "kb/common/NumberText.h"
#include "kb/keys/KeyTable.h"

namespace kb {
namespace {

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

}  // namespace

int32_t MacroRecorder::Gap(const MacroLibrary& library, int64_t nowMs) const {
    switch (library.mode) {
        case kDelayReal:
            return ClampToInt32(nowMs - lastEventTime_.value_or(nowMs));
        case kDelayFixed:
            return library.delay;
        default:
            return 0;
    }
}

bool MacroRecorder::OnKey(const MacroLibrary& library, MacroGroup* group, uint32_t code, bool pressed,
                          int64_t nowMs) {
    const std::size_t count = group != nullptr ? group->steps.size() : 0;
    if (!pressed && count == 0) {
        return false;  // a release with nothing before it in the group
    }
    // With no event since the dialog opened there is nothing to measure a real gap from (the clock
    // counts from program start): that step keeps its delay. Fixed and no delay need no measurement.
    if (count > 0 && (lastEventTime_.has_value() || library.mode != kDelayReal)) {
        group->steps[count - 1].delay = Gap(library, nowMs);
    }
    bool appended = false;
    if (group != nullptr && code != 0) {
        try {
            group->AppendStep(code, pressed ? 0 : 1, 0, KeyNameForCode(code));
            appended = true;
        } catch (const std::bad_alloc&) {
            // This event is lost; recording goes on.
        }
    }
    lastEventTime_ = nowMs;
    return appended;
}

std::optional<int32_t> ParseDelayText(std::u16string_view text) {
    if (std::all_of(text.begin(), text.end(), IsBlank)) {
        return 0;
    }
    return ScanDecimalInt(text);
}

int32_t ParseCountText(std::u16string_view text) {
    return StrToLong32(text, 10);
}

const char* StepStateCaption(int32_t state) {
    switch (state) {
        case 0:
            return "key down";
        case 1:
            return "key up";
        default:
            return "replace";
    }
}

bool ApplySortClick(int column, int* marks, int count) {
    if (column == 5 || marks == nullptr || column < 0 || column >= count) {
        return false;
    }
    int mark = marks[column];
    if (mark == kSortNone || mark == kSortDown) {
        mark = kSortUp;
    } else if (mark == kSortUp) {
        mark = kSortDown;
    }
    std::fill(marks, marks + count, kSortNone);
    marks[column] = mark;
    return true;
}

}  // namespace kb
