// The program folder's two lighting settings files, as the lighting commands load and save them.
#pragma once

#include "Cli.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"

namespace kbctl {

// Loads both files of ctx.dir as at start-up, side light first; a missing file is created with the
// factory values. A damaged one is kept aside as NAME.unreadable before its factory values stand, and a
// line on stderr says so. Throws CliError for a folder that does not exist (loading would write factory
// files there), for a file that exists but cannot be read at all (it is left alone), and when the
// factory values or the copy aside cannot be written.
void LoadLightingFiles(const CliContext& ctx, kb::SideLightConfig& sides, kb::LedEffectConfig& effects);

// Throws CliError with the file's reason when `saved` is false.
void RequireSaved(bool saved, const kb::EffectSettingsFile& file);

}  // namespace kbctl
