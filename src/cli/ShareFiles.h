// Reading and writing the sharing files for kbctl, and the macro library that imports change.
#pragma once

#include <string>

#include "Cli.h"
#include "kb/macros/MacroLibrary.h"
#include "kb/profiles/Sharing.h"

namespace kbctl {

// Reads and checks a sharing file; throws CliError with the reason (nothing has been written then).
kb::SharedFile ReadShareFile(const std::string& path);
// Writes the file atomically; an existing file is kept unless `replace`.
void WriteShareFile(const std::string& path, const std::string& text, bool replace);
// The settings folder's macro library. A "macro.xml" that exists but cannot be read is refused: saving
// over it would lose what it holds.
kb::MacroLibrary LoadLibraryForChange(const CliContext& ctx);

}  // namespace kbctl
