#include "kb/profiles/ProfileStore.h"

#include <algorithm>
#include <mutex>

#include "kb/common/AtomicFile.h"
#include "kb/device/NamedLock.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/profiles/ProfileName.h"

namespace fs = std::filesystem;

namespace kb {
namespace {

// Folders of operations in progress; the dot keeps them out of the names a user may choose.
constexpr std::string_view kNewPrefix = ".new-";  // a profile being written; removed when found
constexpr std::string_view kOldPrefix = ".old-";  // a replaced profile; put back when its name is free
constexpr std::string_view kDelPrefix = ".del-";  // a profile being deleted

// Every process of the user that changes profiles takes it, so that a switch never meets a rename.
NamedLock& StoreLock() {
    return NamedLock::Get("ProfileStore");
}

ProfileResult Failed(std::string error) {
    return ProfileResult{false, std::move(error), false};
}

std::string Quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

}  // namespace

ProfileStore::ProfileStore(fs::path dataFolder) : data_(std::move(dataFolder)) {}

fs::path ProfileStore::FolderOf(std::string_view name) const {
    return ProfilesFolder() / ProfilePathPart(name);
}

std::optional<std::string> ProfileStore::Find(std::string_view name) const {
    for (const std::string& known : names_) {
        if (known == name) {
            return known;
        }
    }
    for (const std::string& known : names_) {
        if (SameProfileName(known, name)) {
            return known;
        }
    }
    return std::nullopt;
}

void ProfileStore::ListNames() {
    names_.clear();
    std::error_code ec;
    for (fs::directory_iterator it(ProfilesFolder(), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = PathPartText(it->path().filename());
        std::error_code typeError;
        if (it->is_directory(typeError) && CheckProfileName(name).empty()) {
            names_.push_back(name);
        }
    }
    std::sort(names_.begin(), names_.end());
}

std::optional<ProfileFiles> ProfileStore::ReadFolder(const fs::path& folder, std::string& error) const {
    ProfileFiles files;
    for (std::size_t f = 0; f < kProfileFiles.size(); ++f) {
        const fs::path path = folder / kProfileFiles[f];
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (status.type() == fs::file_type::not_found) {
            continue;
        }
        if (status.type() != fs::file_type::regular) {
            // A FIFO or a device would block or never end.
            error = path.string() + " is not a regular file";
            return std::nullopt;
        }
        FileReadResult read = ReadWholeFile(path);
        if (!read.ok) {
            error = read.error;
            return std::nullopt;
        }
        files.bytes[f] = std::move(read.bytes);
    }
    return files;
}

ProfileResult ProfileStore::WriteFolder(const fs::path& folder, const ProfileFiles& files) {
    for (std::size_t f = 0; f < kProfileFiles.size(); ++f) {
        const fs::path path = folder / kProfileFiles[f];
        if (files.bytes[f]) {
            const FileWriteResult written = WriteFileAtomically(path, *files.bytes[f]);
            if (!written.ok) {
                return Failed(written.error);
            }
        } else {
            std::error_code ec;
            fs::remove(path, ec);
            if (ec) {
                return Failed("cannot remove " + path.string() + ": " + ec.message());
            }
        }
    }
    return {};
}

ProfileResult ProfileStore::WriteMarker(const std::string& active, const std::string& switchingTo) {
    std::string text = active + "\n";
    if (!switchingTo.empty()) {
        text += switchingTo + "\n";
    }
    const FileWriteResult written = WriteFileAtomically(MarkerFile(), text);
    return written.ok ? ProfileResult{} : Failed(written.error);
}

ProfileResult ProfileStore::SaveActiveLocked() {
    std::string error;
    const std::optional<ProfileFiles> live = ReadFolder(data_, error);
    if (!live) {
        return Failed(error);
    }
    std::error_code ec;
    fs::create_directories(FolderOf(active_), ec);
    if (ec) {
        return Failed("cannot create " + FolderOf(active_).string() + ": " + ec.message());
    }
    return WriteFolder(FolderOf(active_), *live);
}

ProfileResult ProfileStore::CopyIn(const std::string& name) {
    std::string error;
    std::optional<ProfileFiles> files = ReadFolder(FolderOf(name), error);
    if (!files) {
        return Failed(error);
    }
    if (!files->bytes[0]) {
        // A profile without assignments: the filter must drop the previous profile's, which a missing
        // file might not make it do. An empty record file reads as no records everywhere.
        files->bytes[0] = EncodeRecordFile({});
    }
    ProfileResult result = WriteFolder(data_, *files);
    result.liveChanged = true;  // also when it failed part way
    return result;
}

ProfileResult ProfileStore::Sync() {
    std::error_code ec;
    fs::create_directories(ProfilesFolder(), ec);
    if (ec) {
        return Failed("cannot create " + ProfilesFolder().string() + ": " + ec.message());
    }
    // What killed operations left: a half-written new profile goes, a replaced one comes back when the
    // replacement never took its name, a half-deleted one goes.
    std::vector<fs::path> leftovers;
    for (fs::directory_iterator it(ProfilesFolder(), ec), end; !ec && it != end; it.increment(ec)) {
        leftovers.push_back(it->path());
    }
    for (const fs::path& path : leftovers) {
        const std::string name = PathPartText(path.filename());
        std::error_code ignored;
        if (name.starts_with(kOldPrefix)) {
            const fs::path original = ProfilesFolder() / ProfilePathPart(name.substr(kOldPrefix.size()));
            if (!fs::exists(original, ignored)) {
                fs::rename(path, original, ignored);
                continue;
            }
            fs::remove_all(path, ignored);
        } else if (name.starts_with(kNewPrefix) || name.starts_with(kDelPrefix)) {
            fs::remove_all(path, ignored);
        }
    }
    ListNames();

    ProfileResult result;
    std::string active;
    std::string switchingTo;
    if (fs::is_regular_file(MarkerFile(), ec)) {  // anything else (a FIFO would block) says nothing usable
        const FileReadResult marker = ReadWholeFile(MarkerFile(), 4096);
        if (marker.ok) {
            const std::size_t end1 = marker.bytes.find('\n');
            active = marker.bytes.substr(0, end1);
            if (end1 != std::string::npos) {
                const std::size_t end2 = marker.bytes.find('\n', end1 + 1);
                if (end2 != std::string::npos) {
                    switchingTo = marker.bytes.substr(end1 + 1, end2 - end1 - 1);
                }
            }
        }
    }
    if (active.empty() || !CheckProfileName(active).empty()) {
        // First start (or a marker that says nothing usable): what the settings folder holds becomes a
        // profile of its own, under a name no other profile has.
        active = kDefaultName;
        for (int n = 2; Find(active); ++n) {
            active = std::string(kDefaultName) + " " + std::to_string(n);
        }
        switchingTo.clear();
        active_ = active;
        if (ProfileResult saved = SaveActiveLocked(); !saved) {
            return saved;
        }
        if (ProfileResult marked = WriteMarker(active_, {}); !marked) {
            return marked;
        }
        ListNames();
        return result;
    }
    if (const std::optional<std::string> stored = Find(active)) {
        active = *stored;
    }
    active_ = active;
    if (!switchingTo.empty()) {
        // A switch was under way: its target's files go into the settings folder again, whole.
        const std::optional<std::string> target = Find(switchingTo);
        if (target && CheckProfileName(*target).empty()) {
            result = CopyIn(*target);
            if (!result) {
                return result;
            }
            active_ = *target;
        }
        if (ProfileResult marked = WriteMarker(active_, {}); !marked) {
            marked.liveChanged = result.liveChanged;
            return marked;
        }
    }
    if (!fs::is_directory(FolderOf(active_), ec)) {
        // The settings folder holds the active profile, so its folder can always be made again from there.
        if (ProfileResult saved = SaveActiveLocked(); !saved) {
            saved.liveChanged = result.liveChanged;
            return saved;
        }
        ListNames();
    }
    return result;
}

ProfileResult ProfileStore::Open() {
    const std::lock_guard lock(StoreLock());
    return Sync();
}

ProfileResult ProfileStore::SaveActive() {
    const std::lock_guard lock(StoreLock());
    if (ProfileResult synced = Sync(); !synced) {
        return synced;
    }
    return SaveActiveLocked();
}

ProfileResult ProfileStore::Create(std::string_view name) {
    const std::lock_guard lock(StoreLock());
    if (ProfileResult synced = Sync(); !synced) {
        return synced;
    }
    if (std::string why = CheckProfileName(name); !why.empty()) {
        return Failed(why);
    }
    std::string error;
    const std::optional<ProfileFiles> live = ReadFolder(data_, error);
    if (!live) {
        return Failed(error);
    }
    if (Find(name)) {
        return Failed("a profile named " + Quoted(*Find(name)) + " exists already");
    }
    return Install(name, *live, false);
}

ProfileResult ProfileStore::Install(std::string_view name, const ProfileFiles& files, bool replace) {
    const std::lock_guard lock(StoreLock());
    ProfileResult result = Sync();
    if (!result) {
        return result;
    }
    if (std::string why = CheckProfileName(name); !why.empty()) {
        return Failed(why);
    }
    const std::optional<std::string> existing = Find(name);
    if (existing && !replace) {
        return Failed("a profile named " + Quoted(*existing) + " exists already");
    }
    const std::string target = existing ? *existing : std::string(name);
    // The new files are complete in a folder of their own before they take the name.
    const fs::path fresh = ProfilesFolder() / ProfilePathPart(std::string(kNewPrefix) + target);
    std::error_code ec;
    fs::remove_all(fresh, ec);
    fs::create_directory(fresh, ec);
    if (ec) {
        return Failed("cannot create " + fresh.string() + ": " + ec.message());
    }
    if (ProfileResult written = WriteFolder(fresh, files); !written) {
        fs::remove_all(fresh, ec);
        return written;
    }
    const fs::path old = ProfilesFolder() / ProfilePathPart(std::string(kOldPrefix) + target);
    if (existing) {
        fs::remove_all(old, ec);
        fs::rename(FolderOf(target), old, ec);
        if (ec) {
            fs::remove_all(fresh, ec);
            return Failed("cannot replace " + FolderOf(target).string() + ": " + ec.message());
        }
    }
    fs::rename(fresh, FolderOf(target), ec);
    if (ec) {
        const std::string why = ec.message();
        std::error_code ignored;
        if (existing) {
            fs::rename(old, FolderOf(target), ignored);
        }
        fs::remove_all(fresh, ignored);
        return Failed("cannot create " + FolderOf(target).string() + ": " + why);
    }
    fs::remove_all(old, ec);
    ListNames();
    if (existing && target == active_) {
        // The settings folder holds the active profile: it takes the new files as a switch would.
        if (ProfileResult marked = WriteMarker(active_, active_); !marked) {
            return marked;
        }
        result = CopyIn(active_);
        if (!result) {
            return result;
        }
        if (ProfileResult marked = WriteMarker(active_, {}); !marked) {
            marked.liveChanged = true;
            return marked;
        }
    }
    return result;
}

ProfileResult ProfileStore::Rename(std::string_view from, std::string_view to) {
    const std::lock_guard lock(StoreLock());
    if (ProfileResult synced = Sync(); !synced) {
        return synced;
    }
    const std::optional<std::string> source = Find(from);
    if (!source) {
        return Failed("there is no profile named " + Quoted(from));
    }
    if (std::string why = CheckProfileName(to); !why.empty()) {
        return Failed(why);
    }
    if (*source == to) {
        return {};
    }
    if (const std::optional<std::string> other = Find(to); other && !SameProfileName(*other, *source)) {
        return Failed("a profile named " + Quoted(*other) + " exists already");
    }
    std::error_code ec;
    fs::rename(FolderOf(*source), FolderOf(to), ec);
    if (ec) {
        return Failed("cannot rename " + FolderOf(*source).string() + ": " + ec.message());
    }
    if (*source == active_) {
        // A kill before the marker names the new folder makes the next Open rebuild the old name's folder
        // from the settings folder: a second whole copy, nothing lost.
        active_ = std::string(to);
        if (ProfileResult marked = WriteMarker(active_, {}); !marked) {
            return marked;
        }
    }
    ListNames();
    return {};
}

ProfileResult ProfileStore::Remove(std::string_view name) {
    const std::lock_guard lock(StoreLock());
    if (ProfileResult synced = Sync(); !synced) {
        return synced;
    }
    const std::optional<std::string> source = Find(name);
    if (!source) {
        return Failed("there is no profile named " + Quoted(name));
    }
    if (names_.size() <= 1) {
        return Failed("the last profile cannot be deleted");
    }
    if (*source == active_) {
        return Failed(Quoted(*source) +
                      " is the active profile; switch to another profile before deleting it");
    }
    const fs::path doomed = ProfilesFolder() / ProfilePathPart(std::string(kDelPrefix) + *source);
    std::error_code ec;
    fs::remove_all(doomed, ec);
    fs::rename(FolderOf(*source), doomed, ec);
    if (ec) {
        return Failed("cannot delete " + FolderOf(*source).string() + ": " + ec.message());
    }
    fs::remove_all(doomed, ec);
    ListNames();
    return {};
}

ProfileResult ProfileStore::Switch(std::string_view name) {
    const std::lock_guard lock(StoreLock());
    ProfileResult result = Sync();
    if (!result) {
        return result;
    }
    const std::optional<std::string> target = Find(name);
    if (!target) {
        return Failed("there is no profile named " + Quoted(name));
    }
    if (*target == active_) {
        return result;
    }
    if (ProfileResult saved = SaveActiveLocked(); !saved) {
        return saved;
    }
    // From here the marker says where the switch is going: a kill anywhere below is finished by the next
    // Open, which copies the target's files in again.
    if (ProfileResult marked = WriteMarker(active_, *target); !marked) {
        return marked;
    }
    result = CopyIn(*target);
    if (!result) {
        // Back to the profile that was active (its folder was just written), when the disk allows.
        const std::string why = result.error;
        if (CopyIn(active_) && WriteMarker(active_, {})) {
            return ProfileResult{false, "cannot switch to " + Quoted(*target) + ": " + why, true};
        }
        return ProfileResult{false, why, true};
    }
    active_ = *target;
    if (ProfileResult marked = WriteMarker(active_, {}); !marked) {
        marked.liveChanged = true;
        return marked;
    }
    return result;
}

std::optional<ProfileFiles> ProfileStore::Read(std::string_view name, std::string& error) {
    const std::lock_guard lock(StoreLock());
    if (ProfileResult synced = Sync(); !synced) {
        error = synced.error;
        return std::nullopt;
    }
    const std::optional<std::string> source = Find(name);
    if (!source) {
        error = "there is no profile named " + Quoted(name);
        return std::nullopt;
    }
    return ReadFolder(*source == active_ ? data_ : FolderOf(*source), error);
}

}  // namespace kb
