#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, only those that are missing.
set -euo pipefail

packages=(
    # toolchain and core libraries
    cmake ninja-build g++ pkg-config clang-format
    libpugixml-dev nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev
    # the Qt application
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
    fonts-dejavu-core fonts-wqy-microhei xvfb xauth
    # Qt's own texts (context menus, standard buttons) in the languages the program offers
    qt6-translations-l10n
    # screenshots of the running program and the start-up bench (X window capture and conversion)
    x11-apps x11-utils netpbm libxcb1-dev
    # the device layer and the filter daemon
    libudev-dev libevdev-dev umockdev libumockdev-dev
    # the fuzz targets (libFuzzer and the sanitizer runtimes come with clang's runtime package)
    clang-14 libclang-rt-14-dev
    # the Debian package and its checks
    dpkg-dev file desktop-file-utils appstream man-db lintian
    # the completion tests load it
    bash-completion
)

# The Windows cross-build and its tests under Wine.
# Qt's recommended packages (plugins, tools) are part of what the build and tests are run with here.
install_opts=()
if [ "${1:-}" = "--windows" ]; then
    packages=(g++-mingw-w64-x86-64-posix wine wine64 ca-certificates)
    # Wine's recommendations pull in a 32-bit world the 64-bit tests never use.
    install_opts=(--no-install-recommends)
fi

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
