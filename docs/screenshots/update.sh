#!/bin/sh
# Renders the assignment dialog's layout for the README from the built UI package with kbpreview
# (src/preview), offscreen, and takes the running program's assignment dialog (a macro recorded from typed
# keys, a captured key) through its test. The main window's pictures are of the running program:
# running.sh.
# Usage: docs/screenshots/update.sh [build folder]   (default: build)
set -e
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../../build}/bin" && pwd)
# The style sheet names its images relative to the program folder, the program's working directory.
cd "$bin"
for lang in en cn; do
    ./kbpreview --layout macro --lang "$lang" --out "$here/macro_$lang.png"
    ./kbpreview --layout macro --lang "$lang" --tab tab_macro_mode_selection=1 --out "$here/macro_single_key_$lang.png"
done
# The running program: the main window over the virtual keyboard and filter, driven by its test.
cd "$bin/../tests"
QT_QPA_PLATFORM=offscreen KBSTUDIO_VIRTUAL_KEYBOARD=1 KBSTUDIO_VIRTUAL_FILTER=1 KB_SCREENSHOTS="$here" \
    ./tst_app_assign screenshots >/dev/null
