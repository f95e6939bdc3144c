#!/usr/bin/env bash
# CI stage: the libFuzzer targets built with clang in build-fuzz/ and each run for a short while from the
# seed corpus in fuzz/corpus/, so that a reader that regresses fails the build. KB_FUZZ_SECONDS sets the
# time per target (20 s by default); KB_SKIP_FUZZ=1 leaves the stage out (quick rounds). fuzz/README.md
# says how to run them for hours.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${KB_SKIP_FUZZ:-0}" = 1 ] && exit 0
started=$(date +%s)
seconds="${KB_FUZZ_SECONDS:-20}"
if [ ! -f build-fuzz/CMakeCache.txt ]; then
    launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
          "${launcher[@]}" -DKBSTUDIO_WERROR=ON -DKBSTUDIO_FUZZ=ON -DKBSTUDIO_BUILD_TESTS=OFF \
          -DKBSTUDIO_BUILD_BENCH=OFF
fi
cmake --build build-fuzz -j2 --target fuzz_all
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
mkdir -p build-fuzz/artifacts
failed=()
while read -r target; do
    [ -n "$target" ] || continue
    seeds="fuzz/corpus/${target#fuzz_}"
    work="build-fuzz/corpus/${target#fuzz_}"  # what the runs find stays out of the repository
    mkdir -p "$work"
    echo "== $target (${seconds} s)"
    if ! build-fuzz/fuzz/"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$target-" \
            "$work" "$seeds" >"build-fuzz/$target.log" 2>&1; then
        tail -n 60 "build-fuzz/$target.log"
        failed+=("$target")
    else
        grep -E "^stat::number_of_executed_units|^stat::new_units_added" "build-fuzz/$target.log" || true
    fi
done <build-fuzz/fuzz/targets.txt
echo "fuzz stage: $(( $(date +%s) - started )) s"
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz targets with findings: ${failed[*]} (inputs in build-fuzz/artifacts/)"
    exit 1
fi
