// Named sets of the assignments and the lighting. The settings folder's own files always hold the active
// profile, so every other reader sees what it always saw; the other profiles live in "profiles/NAME/",
// and "profiles/active" names the active one. A switch is journalled in that marker, so that a process
// killed at any moment leaves, once the store is next opened, one whole profile active, never a mix.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kb {

// The files that make up a profile, in the settings folder and in each profile's folder.
inline constexpr std::array<const char*, 3> kProfileFiles = {"record.bin", "ledeffect.xml", "sidemodel.xml"};

// A profile's files, in kProfileFiles order; nullopt for a file the profile lacks (its reader then gives
// the defaults, as for a settings folder without it).
struct ProfileFiles {
    std::array<std::optional<std::string>, kProfileFiles.size()> bytes;

    friend bool operator==(const ProfileFiles&, const ProfileFiles&) = default;
};

struct ProfileResult {
    bool ok = true;
    std::string error;  // why not, in English, for the user; empty when ok
    // Whether the settings folder's files changed: the caller reloads the daemon and the lighting.
    bool liveChanged = false;

    explicit operator bool() const { return ok; }
};

class ProfileStore {
  public:
    static constexpr const char* kDefaultName = "Default";

    explicit ProfileStore(std::filesystem::path dataFolder);

    // Finishes a switch that a killed process left half done, makes "Default" from the settings folder's
    // files on first use, removes what killed operations left. Every operation below does this first, under
    // a lock shared by the user's processes.
    ProfileResult Open();

    // The profiles by name (byte order) and the active one, as of the last operation.
    const std::vector<std::string>& Names() const { return names_; }
    const std::string& Active() const { return active_; }
    // The stored spelling of a profile name, compared without ASCII case; nullopt when there is none.
    std::optional<std::string> Find(std::string_view name) const;

    // A new profile holding a copy of the active one.
    ProfileResult Create(std::string_view name);
    ProfileResult Rename(std::string_view from, std::string_view to);
    // Refused for the active profile (and so for the last one).
    ProfileResult Remove(std::string_view name);
    // Keeps the active profile's files in its folder, then puts the chosen one's into the settings folder.
    ProfileResult Switch(std::string_view name);
    // Copies the settings folder's files into the active profile's folder.
    ProfileResult SaveActive();

    // A profile's files (the settings folder's for the active one).
    std::optional<ProfileFiles> Read(std::string_view name, std::string& error);
    // Stores a whole profile under the name: a new one, or with `replace` in place of the one of that name
    // (for the active one, its files in the settings folder are replaced too, as by a switch).
    ProfileResult Install(std::string_view name, const ProfileFiles& files, bool replace);

    const std::filesystem::path& DataFolder() const { return data_; }
    std::filesystem::path ProfilesFolder() const { return data_ / "profiles"; }
    std::filesystem::path MarkerFile() const { return ProfilesFolder() / "active"; }

  private:
    ProfileResult Sync();
    ProfileResult SaveActiveLocked();
    ProfileResult CopyIn(const std::string& name);
    ProfileResult WriteMarker(const std::string& active, const std::string& switchingTo);
    ProfileResult WriteFolder(const std::filesystem::path& folder, const ProfileFiles& files);
    std::optional<ProfileFiles> ReadFolder(const std::filesystem::path& folder, std::string& error) const;
    std::filesystem::path FolderOf(std::string_view name) const;
    void ListNames();

    std::filesystem::path data_;
    std::vector<std::string> names_;
    std::string active_;
};

}  // namespace kb
