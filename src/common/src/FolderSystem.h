// The system's part of finding and preparing the program's folders, behind Folders.cpp, which holds the
// rest once for every system.
#pragma once

#include <filesystem>
#include <string>

#include "kb/common/Folders.h"

namespace kb::folder_system {

// The running program's folder, the installation's config.xml and UI package, and the folders the
// program never writes into.
FolderInputs InstallationInputs();
// Where this user's settings go as the environment says: $XDG_CONFIG_HOME and $HOME (the password
// database's home when unset) on Linux, %APPDATA% on Windows.
void AddUserEnvironment(FolderInputs& in);
// Creates `folder` (its parent exists) for its owner alone; an existing folder is left as its owner made
// it. False with a message naming the folder and the reason.
bool MakePrivateFolder(const std::filesystem::path& folder, std::string& error);
// The folder of the written files exists, is a folder and can be written into; otherwise false with a
// message naming it and the reason.
bool CheckDataFolder(const std::filesystem::path& folder, std::string& error);

}  // namespace kb::folder_system
