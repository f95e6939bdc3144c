#!/usr/bin/env bash
# Installs the Debian 12 packages that are missing, only those.
#   scripts/deps.sh            what building and running the programs need (./run.sh, ./package.sh)
#   scripts/deps.sh --test     that, plus the test suites, benchmarks, fuzzing and package checks (./test.sh)
#   scripts/deps.sh --windows  the Windows cross-build and its tests under Wine
set -euo pipefail

packages=(
    # toolchain and core libraries
    cmake ninja-build g++ pkg-config
    libpugixml-dev nlohmann-json3-dev
    # the Qt application
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
    fonts-dejavu-core fonts-wqy-microhei
    # Qt's own texts (context menus, standard buttons) in the languages the program offers
    qt6-translations-l10n
    # the device layer and the filter daemon
    libudev-dev libevdev-dev
    # the Debian package (./package.sh): CPack works out its dependencies with these
    dpkg-dev file
)
test_packages=(
    clang-format
    libgtest-dev libgmock-dev libbenchmark-dev
    # the window's suites and screenshots run under Xvfb
    xvfb xauth
    # screenshots of the running program and the start-up bench (X window capture and conversion)
    x11-apps x11-utils netpbm libxcb1-dev
    # the device layer's and the daemon's suites fake devices with umockdev
    umockdev libumockdev-dev
    # the fuzz targets (libFuzzer and the sanitizer runtimes come with clang's runtime package)
    clang-14 libclang-rt-14-dev
    # the package checks, and the completion test (a bash with bash-completion loaded)
    desktop-file-utils appstream man-db lintian bash-completion
)

install_opts=()
case "${1:-}" in
    "") ;;
    --test) packages+=("${test_packages[@]}") ;;
    --windows)
        packages=(g++-mingw-w64-x86-64-posix wine wine64 ca-certificates)
        # Wine's recommendations pull in a 32-bit world the 64-bit tests never use.
        install_opts=(--no-install-recommends)
        ;;
    *)
        echo "usage: scripts/deps.sh [--test | --windows]" >&2
        exit 2
        ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y "${install_opts[@]}" "${missing[@]}"
