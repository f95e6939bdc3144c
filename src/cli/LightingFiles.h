// The program folder's two lighting settings files, as the lighting commands load and save them.
#pragma once

#include "Cli.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"

namespace kbctl {

// Loads both files of ctx.dir as at start-up, side light first; an unreadable file is replaced by the
// factory values. Throws CliError for a folder that does not exist (loading would write factory files
// there) and when such a replacement cannot be written.
void LoadLightingFiles(const CliContext& ctx, kb::SideLightConfig& sides, kb::LedEffectConfig& effects);

// Throws CliError with the file's reason when `saved` is false.
void RequireSaved(bool saved, const kb::EffectSettingsFile& file);

}  // namespace kbctl
