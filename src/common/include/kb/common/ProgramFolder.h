// The folder of the running program: settings files and the UI package live there.
#pragma once

#include <filesystem>
#include <string_view>

namespace kb {

std::filesystem::path ProgramFolder();

// The program folder (or the given folder) joined with a settings file name.
std::filesystem::path SettingsPath(const std::filesystem::path& folder, std::string_view fileName);

}  // namespace kb
