#!/usr/bin/env bash
# Start-up and idle cost of kbstudio (virtual keyboard) beside a bare Qt 6 window with a tray icon,
# both on the same private Xvfb display in the same run: time from exec to the first mapped window
# (median of several starts), resident memory after 5 s, and wake-ups per second over the next 30 s.
# Usage: bench/app_startup.sh [build folder]   (default: build; RUNS=5 starts per program for the time)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../scripts/xvfb.sh
source "$here/../scripts/xvfb.sh"
build=$(cd "${1:-$here/../build}" && pwd)
runs=${RUNS:-5}
probe="$build/bench/startup_probe"
for file in "$probe" "$build/bench/bare_window" "$build/bench/app_stall" "$build/bin/kbstudio"; do
    [ -x "$file" ] || { echo "app_startup.sh: $file is not built" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "app_startup.sh: Xvfb is missing (scripts/deps.sh installs it)" >&2; exit 1; }

scratch=$(mktemp -d)
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

# kbstudio runs from a program folder of its own, so that the build's settings files stay untouched.
mkdir "$scratch/kbstudio" && cp "$build/bin/kbstudio" "$build/bin/config.xml" "$scratch/kbstudio/"
cp -r "$build/bin/uires" "$scratch/kbstudio/uires"
mkdir -m 0700 "$scratch/runtime"
export XDG_RUNTIME_DIR="$scratch/runtime"
export KBSTUDIO_VIRTUAL_KEYBOARD=1
export QT_QPA_PLATFORM=xcb
# A user's chosen effect, as after any real use: the start-up then restores it.
"$build/bin/kbctl" --dir "$scratch/kbstudio" effect 4 >/dev/null 2>&1

start_xvfb "$scratch"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# measure NAME PROGRAM: prints the program's figures and leaves them in the variables ms_NAME etc.
measure() {
    local name=$1 program=$2 times=() i line
    (cd "$(dirname "$program")" && "$probe" --window-only -- "$program" >/dev/null)  # warm the caches
    for ((i = 0; i < runs; i++)); do
        line=$(cd "$(dirname "$program")" && "$probe" --window-only -- "$program")
        times+=("${line#window_ms=}")
    done
    local ms
    ms=$(printf '%s\n' "${times[@]}" | median)
    local full
    full=$(cd "$(dirname "$program")" && "$probe" -- "$program")
    echo "$name: window_ms=$ms (starts: ${times[*]}) ${full#window_ms=* }"
    printf -v "ms_$name" '%s' "$ms"
    printf -v "full_$name" '%s' "$(head -1 <<<"$full")"
}

echo "cores: $(nproc), load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
measure bare "$build/bench/bare_window"
measure kbstudio "$scratch/kbstudio/kbstudio"
# The longest stall of kbstudio's UI thread while a lighting slider is dragged for a second.
stall=$("$build/bench/app_stall" "$scratch/kbstudio" 2>/dev/null | tail -1)
echo "kbstudio slider drag: $stall"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p" <<<"$2"; }
rss_bare=$(field rss_mb "$full_bare")
rss_kb=$(field rss_mb "$full_kbstudio")
wake_bare=$(field wakeups_per_s "$full_bare")
wake_kb=$(field wakeups_per_s "$full_kbstudio")
stall_ms=$(field stall_max_ms "$stall")
# Goals: at most 150 ms and 45 MB, each within twice the bare window, at most 0.1 wake-ups/s, and no
# stall of the UI thread over 16 ms while a slider is dragged.
awk -v ms="$ms_kbstudio" -v bms="$ms_bare" -v rss="$rss_kb" -v brss="$rss_bare" \
    -v wake="$wake_kb" -v bwake="$wake_bare" -v stall="${stall_ms:-999}" 'BEGIN {
    verdict = "goals met"
    if (ms > 150 || ms > 2 * bms) { verdict = "missed"; print "window time over the goal" }
    if (rss > 45 || rss > 2 * brss) { verdict = "missed"; print "memory over the goal" }
    if (wake > 0.1) { verdict = "missed"; print "idle wake-ups over the goal" }
    if (stall > 16) { verdict = "missed"; print "UI stall while dragging over the goal" }
    printf "kbstudio against the bare window: %.1f/%.1f ms, %.1f/%.1f MB, %.2f/%.2f wake-ups/s, longest stall %.1f ms: %s\n",
           ms, bms, rss, brss, wake, bwake, stall, verdict
}'
