#include "kb/app/KeyboardMatch.h"

namespace kb::app {
namespace {

// A configured -1 accepts any value, as the keyboard search does; otherwise the values must agree.
bool FieldMatches(int32_t parsed, int32_t configured) {
    return parsed < 0 || configured == -1 || parsed == configured;
}

}  // namespace

bool IsConfiguredKeyboard(const HidPathIds& ids, const AppConfig& config) {
    if (ids.vid != 0 && ids.vid != config.Vid()) {
        return false;
    }
    if (ids.pid != 0 && ids.pid != config.Pid()) {
        return false;
    }
    return FieldMatches(ids.interfaceNumber, config.Interface()) &&
           FieldMatches(ids.collection, config.Subdevice());
}

}  // namespace kb::app
