#!/usr/bin/env bash
# Screenshots of the running program for the README: kbstudio is started under Xvfb with the virtual
# keyboard, in English and in Chinese, from a scratch program folder that holds a few key assignments,
# and its main window is captured once it is up.
# Usage: docs/screenshots/running.sh [build folder]   (default: build)
# Needs: Xvfb (xvfb), xwd and xwininfo (x11-apps, x11-utils), xwdtopnm and pnmtopng (netpbm).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/xvfb.sh
source "$here/../../scripts/xvfb.sh"
bin=$(cd "${1:-$here/../../build}/bin" && pwd)
for tool in Xvfb xwd xwininfo xwdtopnm pnmtopng; do
    command -v "$tool" >/dev/null || { echo "running.sh: $tool is missing (scripts/deps.sh installs it)" >&2; exit 1; }
done

scratch=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

# --- record.bin with four assignments -------------------------------------------------------------
# Little-endian record file: per record size(2) mode(1) steps(1) key(4) parameter(4), 8-byte steps
# (key code with 0x400000 for key down, delay), the key name in UTF-16 with a zero unit; then a zero
# word and the negated byte sum.
bytes=()
le16() { bytes+=($(($1 & 255)) $((($1 >> 8) & 255))); }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
# record MODE KEY PARAMETER NAME [STEP_CODE STEP_DELAY]...
record() {
    local mode=$1 key=$2 parameter=$3 name=$4
    shift 4
    local steps=$(($# / 2))
    le16 $((14 + 8 * steps + 2 * ${#name}))
    bytes+=("$mode" "$steps")
    le32 "$key"
    le32 "$parameter"
    while [ $# -gt 0 ]; do
        le32 "$1"
        le32 "$2"
        shift 2
    done
    local i
    for ((i = 0; i < ${#name}; i++)); do
        le16 "$(printf '%d' "'${name:i:1}")"
    done
    le16 0
}
down=$((0x400000))
record 1 $((0x3A)) 1 CapsLock                                            # CapsLock sends Esc
record 2 $((0x3F)) 1 F5 $((down | 0x10022)) 0                            # F5: play/pause
record 2 $((0x22)) 1 G $((down | 0x2A)) 30 $((down | 0x22)) 30 $((0x22)) 30 $((0x2A)) 0  # G: a macro
record 2 $((0x45)) 1 Pause $((0x1D)) 1 $((0x2E)) 1 $((down | 0x1D)) 0 $((down | 0x2E)) 0    # Pause: Ctrl+C
sum=0
for b in "${bytes[@]}"; do sum=$(((sum + b) & 0xFFFFFFFF)); done
le16 0
le32 $(((-sum) & 0xFFFFFFFF))
printf "$(printf '\\x%02x' "${bytes[@]}")" >"$scratch/record.bin"

# --- the program folder ---------------------------------------------------------------------------
cp "$bin/kbstudio" "$bin/config.xml" "$scratch/"
cp -r "$bin/uires" "$scratch/uires"
mkdir -m 0700 "$scratch/runtime"
export XDG_RUNTIME_DIR="$scratch/runtime"
export KBSTUDIO_VIRTUAL_KEYBOARD=1
# A lighting effect of its own rather than the factory state.
"$bin/kbctl" --dir "$scratch" effect 4 --brightness 4 --speed 1 >/dev/null 2>&1

start_xvfb "$scratch"
export QT_QPA_PLATFORM=xcb

shoot() {
    local lang=$1 out=$2
    sed -i "s/<local language=\"[^\"]*\"/<local language=\"$lang\"/" "$scratch/config.xml"
    (cd "$scratch" && exec ./kbstudio >/dev/null 2>&1) &
    app_pid=$!
    local window=""
    for _ in $(seq 100); do
        window=$(xwininfo -root -children 2>/dev/null | awk '/"KBStudio"/ { print $1; exit }')
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "running.sh: no kbstudio window" >&2; exit 1; }
    # Let it paint and finish its start-up sends.
    sleep 3
    xwd -id "$window" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out"
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
    echo "$out"
}
shoot en "$here/main_en.png"
shoot cn "$here/main_cn.png"
