#!/usr/bin/env bash
# Builds the programs and starts kbstudio from the program folder build/bin. Without a real keyboard it
# starts with the simulated keyboard and filter, so every page can be tried. It installs only what
# building and running need; ./test.sh adds the test tool-chains.
set -euo pipefail
cd "$(dirname "$0")"
scripts/build.sh --programs
if [ "${KBSTUDIO_VIRTUAL_KEYBOARD:-}" != "1" ] && [ "$(build/bin/kbctl devices 2>/dev/null | tr -d ' \n')" = "[]" ]; then
    echo "run.sh: no keyboard found; starting kbstudio with the virtual keyboard and filter."
    export KBSTUDIO_VIRTUAL_KEYBOARD=1 KBSTUDIO_VIRTUAL_FILTER=1
fi
exec build/bin/kbstudio "$@"
