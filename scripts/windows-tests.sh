#!/usr/bin/env bash
# Cross-builds the Qt-free libraries, the Win32 platform sources and their tests with MinGW-w64 and runs
# the tests under Wine. Uses its own build folder, build-win/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --windows

build=build-win
src_cache="$build/_sources"
mkdir -p "$src_cache"

# pugixml for MinGW, from Debian's source package (no MinGW binary package exists).
pugi_dir=$(find "$src_cache" -maxdepth 1 -type d -name 'pugixml-*' | head -n 1)
if [ -z "$pugi_dir" ]; then
    lists="$src_cache/apt-lists"
    mkdir -p "$lists/partial"
    sources="$src_cache/deb-src.sources"
    cat >"$sources" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    apt_opts=(-o "Dir::Etc::sourcelist=$PWD/$sources" -o Dir::Etc::sourceparts=/nonexistent
              -o "Dir::State::Lists=$PWD/$lists" -o APT::Sandbox::User=root)
    apt-get "${apt_opts[@]}" update >/dev/null
    (cd "$src_cache" && apt-get "${apt_opts[@]}" source --download-only pugixml >/dev/null)
    tar -xzf "$src_cache"/pugixml_*.orig.tar.gz -C "$src_cache"
    pugi_dir=$(find "$src_cache" -maxdepth 1 -type d -name 'pugixml-*' | head -n 1)
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DKBSTUDIO_WERROR=ON -DKBSTUDIO_BUILD_GUI=OFF -DKBSTUDIO_BUILD_BENCH=OFF \
        -DKB_PUGIXML_SOURCE_DIR="$PWD/$pugi_dir"
fi
# Only what runs under Wine: the Qt-free suites and the Windows-only suite. test_device is left out: its
# filter channel tests talk to a Unix socket server (its portable parts run inside test_win32).
targets=(test_common test_keys test_lighting test_macros test_win32)
cmake --build "$build" -j2 --target "${targets[@]}"

export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
ctest --test-dir "$build" --output-on-failure -R "^($(IFS='|'; echo "${targets[*]}"))\$" "$@"
