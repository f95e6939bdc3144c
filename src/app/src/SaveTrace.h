// Settings saves that fail stay silent towards the user, as every save does here; the trace says why.
#pragma once

#include <filesystem>
#include <string>

#include "kb/common/Trace.h"
#include "kb/lighting/EffectSettings.h"

namespace kb::app {

inline void TraceFailedSave(bool saved, const std::filesystem::path& path, const std::string& why) {
    if (!saved) {
        Trace("kbstudio: %s was not saved: %s\n", path.string().c_str(), why.c_str());
    }
}

inline void TraceFailedSave(bool saved, const EffectSettingsFile& file) {
    TraceFailedSave(saved, file.Path(), file.LastError());
}

}  // namespace kb::app
