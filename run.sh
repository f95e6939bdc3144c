#!/usr/bin/env bash
# Builds everything and starts kbstudio from the program folder build/bin.
set -euo pipefail
cd "$(dirname "$0")"
scripts/build.sh
if [ -x build/bin/kbstudio ]; then
    exec build/bin/kbstudio "$@"
fi
echo "The kbstudio window is not built yet; showing the program folder's settings with kbctl instead."
build/bin/kbctl config
build/bin/kbctl lighting
build/bin/kbctl records
build/bin/kbctl macros
