// A failed settings save stays silent towards the user, as every device or file failure of the window
// does; the trace says which file and why.
#pragma once

#include "kb/common/Trace.h"
#include "kb/lighting/EffectSettings.h"

namespace kb::app {

inline void TraceFailedSave(bool saved, const EffectSettingsFile& file) {
    if (!saved) {
        Trace("kbstudio: %s could not be saved: %s\n", file.Path().filename().string().c_str(),
              file.LastError().c_str());
    }
}

}  // namespace kb::app
