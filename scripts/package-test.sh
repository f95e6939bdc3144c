#!/usr/bin/env bash
# The Debian package, tried as a user would: builds the .deb from the existing build/ (no second build),
# checks it with lintian, installs it with apt, runs the installed programs as an ordinary user with a
# fresh HOME, checks where they wrote, validates the desktop files and removes the package again. Needs
# root (or sudo) and the build of ./test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi
fail() {
    echo "package-test: FAIL: $*" >&2
    exit 1
}
step() { echo "package-test: $*"; }

[ -f build/CPackConfig.cmake ] || fail "no build/ to package (run ./test.sh first)"
grep -q 'CPACK_PACKAGING_INSTALL_PREFIX "/usr"' build/CPackConfig.cmake ||
    fail "build/ is configured for another prefix than /usr; configure a fresh build/"
rm -f build/package/kbstudio_*.deb
step "building the package"
cmake --build build -j2 >/dev/null
cpack --config build/CPackConfig.cmake -B build/package >/dev/null
deb=$(ls build/package/kbstudio_*_amd64.deb)
[ -f "$deb" ] || fail "no package was built"
step "built $deb"

# What the package holds and needs.
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/kbctl ./usr/sbin/kbfilterd ./etc/kbstudio/config.xml ./usr/share/kbstudio/uires/layout/XML_MAINWND.ui \
    ./usr/share/applications/org.kbstudio.kbstudio.desktop ./etc/xdg/autostart/kbstudio.desktop \
    ./usr/share/metainfo/org.kbstudio.kbstudio.metainfo.xml ./usr/share/icons/hicolor/48x48/apps/kbstudio.png \
    ./usr/share/man/man1/kbctl.1.gz ./usr/share/man/man1/kbstudio.1.gz ./usr/share/man/man8/kbfilterd.8.gz \
    ./usr/share/bash-completion/completions/kbctl ./lib/systemd/system/kbfilterd@.service \
    ./lib/udev/rules.d/70-kbstudio-hidraw.rules ./lib/udev/rules.d/70-kbfilterd.rules; do
    grep -qx -- "$f" <<<"$contents" || fail "the package lacks $f"
done
has_app=0
if grep -qx -- ./usr/bin/kbstudio <<<"$contents"; then
    has_app=1
fi
depends=$(dpkg-deb -f "$deb" Depends)
for d in libpugixml1v5 libudev1 libevdev2 qt6-qpa-plugins; do
    grep -q "$d" <<<"$depends" || fail "Depends lacks $d: $depends"
done
if [ $has_app = 1 ]; then
    grep -q libqt6widgets6 <<<"$depends" || fail "Depends lacks libqt6widgets6: $depends"
fi
dpkg-deb -e "$deb" build/package/control
grep -qx /etc/kbstudio/config.xml build/package/control/conffiles || fail "config.xml is no conffile"

# Debian's own checks: hardening flags, maintainer scripts, files and control data. Errors and warnings
# fail the test; an override, where one is needed, is shipped in the package with its reason.
step "lintian"
lintian_out=$(lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2>&1) ||
    { echo "$lintian_out"; fail "lintian reports errors or warnings"; }
[ -z "$lintian_out" ] || echo "$lintian_out"

# An ordinary user with a fresh home, removed again at the end.
user=kbpkgtest
"${as_root[@]}" id -u $user >/dev/null 2>&1 || "${as_root[@]}" useradd --no-create-home --shell /bin/sh $user
scratch=$(mktemp -d /tmp/kbpkgtest.XXXXXX)
chmod 755 "$scratch"
cleanup() {
    "${as_root[@]}" apt-get remove -y --purge -o DPkg::Lock::Timeout=600 kbstudio >/dev/null 2>&1 || true
    "${as_root[@]}" userdel $user >/dev/null 2>&1 || true
    "${as_root[@]}" rm -rf "$scratch"
}
trap cleanup EXIT

step "installing with apt"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get install -y -o DPkg::Lock::Timeout=600 "./$deb" >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log"; fail "apt could not install the package"; }
command -v kbctl >/dev/null || fail "kbctl is not on PATH after installing"

stamp="$scratch/stamp"
touch "$stamp"
sleep 1  # file times have a resolution; anything written from now on is newer than the stamp

# Runs a command as the test user, in a clean environment with the given HOME.
as_user() {
    local home=$1
    shift
    "${as_root[@]}" runuser -u $user -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 \
        XDG_RUNTIME_DIR="$home/run" "$@"
}
new_home() {
    local home="$scratch/$1"
    mkdir -p "$home/run"
    chmod 700 "$home/run"
    "${as_root[@]}" chown -R $user: "$home"
    echo "$home"
}

home=$(new_home home1)
step "kbctl paths"
paths=$(cd / && as_user "$home" kbctl paths) || fail "kbctl paths failed"
echo "$paths"
# kbctl prints one key per line: "key": "value".
has_value() { grep -qF "\"$1\": \"$2\"" <<<"$paths" || fail "kbctl paths: $1 is not $2"; }
has_value mode installed
has_value folder "$home/.config/kbstudio"
has_value config /etc/kbstudio/config.xml
has_value uires /usr/share/kbstudio/uires
[ ! -e "$home/.config" ] || fail "kbctl paths created folders"

step "kbctl lighting"
(cd / && as_user "$home" kbctl lighting) >/dev/null || fail "kbctl lighting failed"
for f in ledeffect.xml sidemodel.xml; do
    [ -f "$home/.config/kbstudio/$f" ] || fail "kbctl lighting wrote no $f"
done
[ "$(stat -c %a "$home/.config/kbstudio")" = 700 ] || fail "the settings folder is not 0700"
step "kbctl config (the installation's config.xml)"
(cd / && as_user "$home" kbctl config) | grep -q '"vid": "1209"' || fail "kbctl config did not read /etc/kbstudio/config.xml"

if [ $has_app = 1 ]; then
    home=$(new_home home2)
    step "kbstudio offscreen with the virtual keyboard"
    set +e
    (cd / && as_user "$home" env QT_QPA_PLATFORM=offscreen KBSTUDIO_VIRTUAL_KEYBOARD=1 \
        timeout 6 kbstudio) >"$scratch/kbstudio.log" 2>&1
    rc=$?
    set -e
    # 124: still running when the time was up, as it should be.
    [ $rc = 124 ] || { cat "$scratch/kbstudio.log"; fail "kbstudio ended early with status $rc"; }
    for f in ledeffect.xml sidemodel.xml; do
        [ -f "$home/.config/kbstudio/$f" ] || { cat "$scratch/kbstudio.log"; fail "kbstudio wrote no $f"; }
    done
    [ "$(stat -c %a "$home/.config/kbstudio")" = 700 ] || fail "kbstudio's settings folder is not 0700"
else
    step "kbstudio is not built yet: the application run is skipped"
fi

step "nothing written under /usr or /etc"
written=$("${as_root[@]}" find /usr /etc -xdev \( -newer "$stamp" -o -user $user \) -print 2>/dev/null |
    grep -v '^/etc/ld.so.cache$' || true)
owned=$("${as_root[@]}" find /usr /etc -xdev -user $user -print 2>/dev/null || true)
[ -z "$owned" ] || fail "files of the test user under /usr or /etc: $owned"
kbfiles=$(grep -E '^/(usr/(bin|sbin|share/kbstudio)|etc/kbstudio)' <<<"$written" || true)
[ -z "$kbfiles" ] || fail "written under /usr or /etc: $kbfiles"

step "desktop entry, autostart entry, metainfo, manual page"
desktop-file-validate /usr/share/applications/org.kbstudio.kbstudio.desktop
desktop-file-validate /etc/xdg/autostart/kbstudio.desktop
grep -qx 'Exec=kbstudio -hid' /etc/xdg/autostart/kbstudio.desktop || fail "autostart does not start -hid"
appstreamcli validate --no-net /usr/share/metainfo/org.kbstudio.kbstudio.metainfo.xml
man -w kbctl >/dev/null || fail "man kbctl finds no page"
MANPAGER=cat MANWIDTH=80 man kbctl 2>/dev/null | grep -q 'kbctl paths' || fail "man kbctl does not render"
bash -c 'source /usr/share/bash-completion/completions/kbctl' || fail "the bash completion does not load"

step "removing the package"
"${as_root[@]}" apt-get remove -y --purge -o DPkg::Lock::Timeout=600 kbstudio >/dev/null
for left in /usr/bin/kbctl /usr/bin/kbstudio /usr/sbin/kbfilterd /etc/kbstudio /usr/share/kbstudio; do
    [ ! -e "$left" ] || fail "$left is left after removing the package"
done
step "OK"
