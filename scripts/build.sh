#!/usr/bin/env bash
# Configures build/ once and builds it with two jobs.
#   scripts/build.sh             everything: the programs, the test suites and the benchmarks
#   scripts/build.sh --programs  only what running the programs needs (./run.sh, ./package.sh): no test or
#                                benchmark packages are installed for it
# A tree configured with --programs gains the suites on the next full build; it is never configured twice.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
    "") all=ON ;;
    --programs) all=OFF ;;
    *)
        echo "usage: scripts/build.sh [--programs]" >&2
        exit 2
        ;;
esac
if [ "$all" = ON ]; then
    scripts/deps.sh --test
else
    scripts/deps.sh
fi
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKBSTUDIO_WERROR=ON \
          -DKBSTUDIO_BUILD_TESTS="$all" -DKBSTUDIO_BUILD_BENCH="$all"
elif [ "$all" = ON ] && grep -Eq '^KBSTUDIO_BUILD_(TESTS|BENCH):BOOL=OFF' build/CMakeCache.txt; then
    cmake -S . -B build -DKBSTUDIO_BUILD_TESTS=ON -DKBSTUDIO_BUILD_BENCH=ON
fi
cmake --build build -j2
