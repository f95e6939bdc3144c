// The sharing file: a profile or macros in one versioned, human-readable XML document, read and written
// with pugixml like every other settings file (and so on every platform the window runs on).
//
//   <kbstudio version="1">
//       <profile name="Games">
//           <key code="0x1E" name="A" mode="2" parameter="3" macro="Burst">
//               <step code="0x20" name="D" state="down" delay="10"/> ...
//           </key> ...
//           <ledeffect><effect sel="3">...</effect></ledeffect>   (the lighting files, as stored)
//           <sidemodel><effect sel="0">...</effect></sidemodel>
//       </profile>
//       <macro name="Burst"><step .../> ...</macro> ...          (the macros the profile uses)
//   </kbstudio>
//
// Keys carry their code (authoritative) and their name (for people). The reader checks the whole file
// before anything is written and refuses it with a reason: unknown version, bad key codes, records over
// the record file's limits, duplicate names.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kb/keys/KeyRecordTable.h"
#include "kb/macros/MacroLibrary.h"
#include "kb/profiles/ProfileStore.h"

namespace kb {

inline constexpr int kShareFormatVersion = 1;
// Larger files are refused before they are parsed.
inline constexpr std::size_t kMaxShareFileBytes = 16u << 20;

struct SharedProfile {
    std::string name;                      // UTF-8, as exported (the importer may choose another)
    std::vector<KeyRecord> records;        // in file order; assigned names are the macro names where known
    std::optional<std::string> ledeffect;  // the lighting files' bytes; nullopt when the profile has none
    std::optional<std::string> sidemodel;

    // The profile's files as the store keeps them.
    ProfileFiles ToFiles() const;
};

struct SharedFile {
    std::optional<SharedProfile> profile;
    std::vector<MacroGroup> macros;
};

struct SharedFileReadResult {
    bool ok = false;
    SharedFile file;    // empty unless ok
    std::string error;  // why the file is refused; empty when ok
};

// Total: any bytes give a checked file or a reason.
SharedFileReadResult ReadSharedFile(std::string_view bytes);

// A profile's files with the library's macros that its records play (a record whose steps are a group's
// steps uses that group). False with a reason when the record file cannot be read.
bool WriteSharedProfile(const std::string& name, const ProfileFiles& files, const MacroLibrary& library,
                        std::string& out, std::string& error);
std::string WriteSharedMacro(const MacroGroup& group);

// Macros of an imported file against the library: a name the library has with other steps is a
// conflict, refused (with a reason) unless `replace`. Identical macros are left as they are.
std::string CheckMacroConflicts(const MacroLibrary& library, const std::vector<MacroGroup>& macros,
                                bool replace);
// Adds the macros (replacing the steps of a same-named group); returns how many changed the library.
std::size_t MergeMacros(MacroLibrary& library, const std::vector<MacroGroup>& macros);

}  // namespace kb
