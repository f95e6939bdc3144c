#!/usr/bin/env bash
# CI stage: the Qt-free libraries, kbctl, kbfilterd and their suites built with the address and
# undefined-behaviour sanitizers in a tree of their own (build-sanitize/), then every suite run.
# KB_SKIP_SANITIZE=1 leaves the stage out (quick rounds).
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${KB_SKIP_SANITIZE:-0}" = 1 ] && exit 0
started=$(date +%s)
if [ ! -f build-sanitize/CMakeCache.txt ]; then
    cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKBSTUDIO_WERROR=ON \
          -DKBSTUDIO_SANITIZE=ON -DKBSTUDIO_BUILD_GUI=OFF -DKBSTUDIO_BUILD_BENCH=OFF
fi
# The umockdev suites run under umockdev's preload library, which the sanitizer runtime must not insist
# on preceding (the build lists the tests by running them, so this comes first). Leaks count as failures.
export ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
cmake --build build-sanitize -j2
ctest --test-dir build-sanitize --output-on-failure -j2
echo "sanitizer stage: $(( $(date +%s) - started )) s"
