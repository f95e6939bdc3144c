// What the profile, assignment and sharing commands share: the profile store of the settings folder, the
// keyboard picture's key names, and telling the filter and the keyboard about changed files.
#pragma once

#include <string>
#include <vector>

#include "Cli.h"
#include "kb/profiles/PictureKeys.h"
#include "kb/profiles/ProfileStore.h"

namespace kbctl {

// Prints the command's usage and returns true when the arguments ask for help.
bool WantsHelp(const std::vector<std::string>& args, const char* usage);
// Refuses (UsageError) options other than `known`, repeated ones and missing values; `flags` are the known
// ones that take no value.
void CheckOptions(const std::vector<std::string>& args, const std::vector<std::string>& known,
                  const std::vector<std::string>& flags);
bool HasFlag(const std::vector<std::string>& args, const std::string& flag);
// The arguments that are not options, knowing which options take no value.
std::vector<std::string> Operands(const std::vector<std::string>& args,
                                  const std::vector<std::string>& flags);

// The store of ctx.dir, opened (a switch a killed process left is finished here; the filter is then
// told). Throws CliError when it cannot be opened.
kb::ProfileStore OpenStore(const CliContext& ctx);

// The one way these commands make the filter take "record.bin" again. Not reaching the filter is no
// failure: the file is written and the filter reads it when it next starts or reloads.
struct FilterReload {
    bool reloaded = false;
    std::string problem;  // why not, when not
};
FilterReload ReloadFilter();
// The same as JSON fields of the command's answer.
void AddReload(Json& out, const FilterReload& reload);

// Sends the settings folder's lighting (effect and side light) to the keyboard, paced; the reason when
// it could not, empty when sent.
std::string SendLighting(const CliContext& ctx);

// The picture's keys from the UI package; the key table's keys when the package has no coordinate file.
kb::PictureKeys LoadPictureKeys(const CliContext& ctx);

struct ResolvedKey {
    uint32_t code = 0;
    std::u16string name;  // as the picture names it
};
// A key given by the picture's name, the key table's name or a code (decimal or 0x-hex). Throws CliError
// naming `what` when it names no key of the keyboard.
ResolvedKey ResolveKey(const std::string& text, const kb::PictureKeys& keys, const std::string& what);

}  // namespace kbctl
