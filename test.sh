#!/usr/bin/env bash
# Builds everything and runs every test (installing the test, fuzz and cross-build tool-chains it needs):
# the Linux build, the sanitizer build, the fuzz smoke runs, then the Windows cross-build under Wine (KB_SKIP_SANITIZE=1, KB_SKIP_FUZZ=1 and KB_SKIP_WINDOWS=1 leave those
# parts out, for quick rounds).
set -euo pipefail
cd "$(dirname "$0")"
scripts/build.sh
ctest --test-dir build --output-on-failure -j2 "$@"
scripts/ci-sanitize.sh
scripts/ci-fuzz.sh
if [ "${KB_SKIP_WINDOWS:-0}" != 1 ]; then
    scripts/windows-tests.sh
fi
