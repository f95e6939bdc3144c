#!/usr/bin/env bash
# Builds kbstudio_<version>_amd64.deb from the build in build/ (building first what is missing).
# Install it with: sudo apt install ./build/package/kbstudio_*_amd64.deb
set -euo pipefail
cd "$(dirname "$0")"
scripts/build.sh --programs
cpack --config build/CPackConfig.cmake -B build/package
ls build/package/kbstudio_*_amd64.deb
