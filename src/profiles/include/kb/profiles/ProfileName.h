// Profile names: each one is a folder name under "profiles/", so what could escape that folder, collide
// with the store's own files or differ between file systems is refused with a reason the user can act on.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace kb {

inline constexpr std::size_t kMaxProfileNameLength = 64;  // characters (code points)

// Empty when the name (UTF-8) is acceptable, else an English sentence saying why it is not.
std::string CheckProfileName(std::string_view name);

// Whether two names would name the same folder on a file system that ignores ASCII case.
bool SameProfileName(std::string_view a, std::string_view b);

// The folder name of a profile, built from UTF-8 on every platform.
std::filesystem::path ProfilePathPart(std::string_view name);
// The UTF-8 text of a path's last part.
std::string PathPartText(const std::filesystem::path& part);

}  // namespace kb
