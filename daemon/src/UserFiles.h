// The files of the user the daemon serves (--user), found the way kbstudio itself finds them.
#pragma once

#include <string>

namespace kb::filterd {

// Fills `records` with the user's "record.bin" and `config` with the installation's "config.xml" (the
// daemon runs as root: the keyboard it grabs is the installation's choice, not the user's), each only
// where it is still empty. An installed daemon reads ~USER/.config/kbstudio/record.bin and
// /etc/kbstudio/config.xml; one beside a "config.xml" reads the files of its own folder.
// False with `error` set when the user or the folder cannot be found.
bool FindUserFiles(const std::string& user, std::string& records, std::string& config, std::string& error);

}  // namespace kb::filterd
