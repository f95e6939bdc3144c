#!/bin/sh
# Takes the running program's assignment dialog (a macro recorded from typed keys, a captured key) for the
# README with kb_dialog_shots (built with the test suites), offscreen. The main window's pictures: running.sh.
# Usage: docs/screenshots/update.sh [build folder]   (default: build)
set -e
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../../build}/bin" && pwd)
# The running program: the main window over the virtual keyboard and filter, driven by the shots program.
cd "$bin/../tests"
QT_QPA_PLATFORM=offscreen KBSTUDIO_VIRTUAL_KEYBOARD=1 KBSTUDIO_VIRTUAL_FILTER=1 \
    ./kb_dialog_shots "$here" >/dev/null
