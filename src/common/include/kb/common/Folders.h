// Where the program's files are: decided once at start-up, the same way by kbstudio, kbctl and kbfilterd.
//
// Portable: the executable's folder holds "config.xml" (a build tree, a copied folder). Everything lives
// there: "config.xml", the written files and the UI package "uires".
// Installed: the UI package comes from the shared data folder (/usr/share/kbstudio/uires), "config.xml"
// from the user's settings folder if the user keeps one there, else from /etc/kbstudio/; the written
// files ("ledeffect.xml", "sidemodel.xml", "macro.xml", "record.bin") live in the user's settings folder
// ($XDG_CONFIG_HOME/kbstudio, by default ~/.config/kbstudio), created 0700 on first use.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kb {

// Everything the decision depends on, so that it can be made for another user (the daemon) or in a test.
struct FolderInputs {
    std::filesystem::path exeFolder;           // the running program's folder
    std::optional<std::string> xdgConfigHome;  // $XDG_CONFIG_HOME, when set
    std::optional<std::string> home;           // $HOME, else the password database's home folder
    std::filesystem::path systemConfig;        // the installation's config.xml (/etc/kbstudio/config.xml)
    std::filesystem::path systemPackage;       // the installed UI package (/usr/share/kbstudio/uires)
    // Folders the program never writes into, whatever the environment says (/usr, /etc).
    std::vector<std::filesystem::path> readOnlyRoots;
};

struct Folders {
    bool portable = false;
    std::filesystem::path configFile;     // "config.xml" to read
    std::filesystem::path systemConfig;   // the installation's own config.xml (portable: same as configFile)
    std::filesystem::path dataFolder;     // folder of the written files; empty when it cannot be decided
    std::filesystem::path packageFolder;  // the UI package "uires"
    std::string error;                    // why dataFolder is empty; "" when it is set
};

// Decides; reads the file system only to see whether "config.xml" files exist. Creates nothing.
Folders ResolveFolders(const FolderInputs& in);

// The inputs of the running process: its executable, its environment, the installation's folders.
FolderInputs CurrentFolderInputs();

// The inputs for another user's files (the root daemon acting for that user), given that user's home:
// no XDG_CONFIG_HOME (the user's environment is not known), this program's folder.
FolderInputs UserFolderInputs(const std::filesystem::path& home);

// Makes sure the folder of the written files exists and can be written: an installed program creates it
// (and missing parents) with mode 0700. False with a message naming the folder and the reason otherwise.
bool PrepareDataFolder(const Folders& folders, std::string& error);

}  // namespace kb
