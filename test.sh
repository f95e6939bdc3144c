#!/usr/bin/env bash
# Builds everything and runs every test: the Linux build, then the Windows cross-build under Wine
# (KB_SKIP_WINDOWS=1 leaves the Windows part out, for quick rounds).
set -euo pipefail
cd "$(dirname "$0")"
scripts/build.sh
ctest --test-dir build --output-on-failure -j2 "$@"
if [ "${KB_SKIP_WINDOWS:-0}" != 1 ]; then
    scripts/windows-tests.sh
fi
