// The user's macro groups and the remembered choices of the key assignment dialog ("macro.xml").
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "kb/common/LoadStatus.h"
#include "kb/common/MacroStep.h"

namespace kb {

class MacroGroup {
  public:
    std::u16string name;
    std::vector<MacroStep> steps;  // played in order

    // None of these saves; the next library save writes them.
    void AppendStep(uint32_t code, int32_t state, int32_t delay, std::u16string keyName);
    bool MoveStepUp(int32_t index);    // swaps index-1 and index when 0 < index < count
    bool MoveStepDown(int32_t index);  // swaps index and index+1 when 0 <= index and index+1 < count
    void RemoveStep(uint32_t index);   // ignored beyond the end
    void ClearSteps();

    friend bool operator==(const MacroGroup&, const MacroGroup&) = default;
};

// What a group operation did. The change stays in memory whether or not the file was written
// (LastError() says why it was not); `changed` alone is what the operation's boolean test gives.
struct GroupChange {
    bool changed = false;
    bool saved = false;

    explicit operator bool() const { return changed; }
};

class MacroLibrary {
  public:
    // The process-wide instance; created with the initial values on first use and never destroyed.
    static MacroLibrary& Instance();

    // The dialog's remembered choices.
    int32_t type = 0;       // tab of the last assignment: 0 macro, 1 single key, 2 media key, 3 function key
    int32_t repeat = 1;     // repeat count
    int32_t delay = 10;     // fixed delay while recording, milliseconds
    int32_t mode = 0;       // recording delay mode: 0 real, 1 fixed, 2 none
    int32_t media = 0;      // position in the media-key list
    int32_t function = 0;   // position in the function-key list
    int32_t skcode = 0;     // captured single key, 0 for none
    int32_t group = 0;      // selected group; negative or beyond the groups means none
    int32_t play = 0;       // play mode
    int32_t recording = 0;  // record check box; never written to the file

    std::vector<MacroGroup> groups;

    // Remembers the path (even when the file then fails) and reads the file. An empty path returns false
    // and changes nothing. A missing or malformed file returns false and keeps everything in memory; a
    // file that exists but cannot be used is first kept aside as NAME.unreadable (see LastLoad()).
    bool Load(const std::filesystem::path& path);
    // Writes the whole library to the remembered path, replacing the file atomically. On failure the old
    // file and the in-memory state stay as they were, and LastError() says why.
    [[nodiscard]] bool Save();
    // Initial values and no groups; the path stays and nothing is saved.
    void Reset();

    // A negative index stands for `group`; nothing (nullptr) when the index is not a group's.
    MacroGroup* GroupAt(int32_t index);
    const MacroGroup* GroupAt(int32_t index) const;

    // Appends an empty group named "Group N" (the first free N from the group count up), then Save.
    [[nodiscard]] GroupChange AddGroup();
    // Erases the group and saves; unchanged (and no save) when there is no such group.
    [[nodiscard]] GroupChange RemoveGroup(uint32_t index);
    // Stores a different name and saves; unchanged (and no save) when there is no such group or the name
    // is the same.
    [[nodiscard]] GroupChange RenameGroup(uint32_t index, const std::u16string& name);

    const std::filesystem::path& Path() const { return path_; }
    // Why the last save failed; empty after a save that succeeded.
    const std::string& LastError() const { return lastError_; }
    // How the last Load went: loaded, missing, or unreadable with what is wrong and where it was kept.
    const LoadStatus& LastLoad() const { return lastLoad_; }

  private:
    GroupChange SaveChange() { return GroupChange{true, Save()}; }

    std::filesystem::path path_;
    std::string lastError_;
    LoadStatus lastLoad_;
};

}  // namespace kb
