// kbstudio: the keyboard configuration program.
#include <cstdio>
#include <cstring>

#include "kb/app/Startup.h"

namespace {

constexpr const char* kHelp =
    "usage: kbstudio [-hid]\n"
    "       kbstudio --help | --version\n"
    "\n"
    "Sets the keyboard's lighting and side light, assigns macros, keys, media keys and shortcuts to its\n"
    "keys, and records macros.\n"
    "\n"
    "options:\n"
    "  -hid        start hidden, with only the tray icon (as at login)\n"
    "  -h, --help  show this help and exit\n"
    "  --version   print the version and exit\n"
    "\n"
    "Other arguments are left to Qt (for example -platform offscreen). KBSTUDIO_VIRTUAL_KEYBOARD=1 and\n"
    "KBSTUDIO_VIRTUAL_FILTER=1 let it run without the keyboard and without kbfilterd; see kbstudio(1).\n";

// Prints before any window or settings file is touched; exit 1 when the text could not be written.
int PrintAndExit(const char* text) {
    const bool ok = std::fputs(text, stdout) >= 0;
    return ok && std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return PrintAndExit(kHelp);
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            return PrintAndExit("kbstudio " KBSTUDIO_VERSION "\n");
        }
    }
    return kb::app::RunKbStudio(argc, argv);
}
