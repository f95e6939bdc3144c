#!/usr/bin/env bash
# Configures once (build/) and builds everything with two jobs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKBSTUDIO_WERROR=ON
fi
cmake --build build -j2
