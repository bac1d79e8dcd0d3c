#!/usr/bin/env bash
# Builds the Debian package and checks it: every file it must hold, the
# dependencies dpkg-shlibdeps computed plus the CJK font, the menu entry,
# metainfo and man pages against what the programs offer, and that it
# installs into and removes cleanly from a throwaway dpkg root, where both
# programs find all their libraries.
# Usage: package_check.sh BUILD_DIR
set -euo pipefail
build="${1:?usage: package_check.sh BUILD_DIR}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "== building the package in $build"
cmake --build "$build" --target package >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; fail "the package target failed"; }
deb="$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' "$work/build.log")"
[ -f "$deb" ] || fail "CPack named no .deb"
echo "== $deb"

sizes=(16 32 48 64 128 256)
app_id=org.example.steppertool
expected=(usr/bin/steppertool usr/bin/simdriver usr/share/applications/$app_id.desktop
    usr/share/metainfo/$app_id.metainfo.xml usr/share/steppertool/RegisterInfo
    usr/share/doc/steppertool/copyright
    usr/share/man/man1/steppertool.1.gz usr/share/man/man1/simdriver.1.gz)
for size in "${sizes[@]}"; do expected+=("usr/share/icons/hicolor/${size}x${size}/apps/steppertool.png"); done
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' >"$work/contents"
for file in "${expected[@]}"; do
    grep -qx "$file" "$work/contents" || fail "$file is not in the package"
done
echo "contents: all ${#expected[@]} expected files"

depends="$(dpkg-deb -f "$deb" Depends)"
for package in fonts-wqy-zenhei qttranslations5-l10n libqt5core5a libqt5gui5 libqt5widgets5 libqt5serialport5 libmodbus5; do
    [[ ", $depends," == *", $package"[\ ,]* ]] || fail "Depends lacks $package: $depends"
done
echo "Depends: $depends"

dpkg-deb -x "$deb" "$work/tree"
tree="$work/tree"
for size in "${sizes[@]}"; do
    actual="$(identify -format '%wx%h' "$tree/usr/share/icons/hicolor/${size}x${size}/apps/steppertool.png")"
    [ "$actual" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $actual"
done
desktop="$tree/usr/share/applications/$app_id.desktop"
grep -qx 'Exec=steppertool' "$desktop" || fail "the menu entry does not start steppertool"
grep -qx 'Icon=steppertool' "$desktop" || fail "the menu entry names another icon"
grep -qx 'Path=/usr/share/steppertool' "$desktop" || fail "the menu entry does not start beside the sample map: $(grep Path= "$desktop")"
# Not even a hint: software centres show what the validator complains of.
appstreamcli validate-tree --no-net --strict "$tree" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log" >&2; fail "the metainfo or the menu entry is not valid"; }
grep -q '^Files: \*$' "$tree/usr/share/doc/steppertool/copyright" || fail "the copyright file covers no files"
echo "icons, menu entry, metainfo and copyright: good"

# Every option a program's --help lists is in its man page.
check_man_page() {
    local program="$1" help="$2" option
    zcat "$tree/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g' >"$work/$program.man"
    for option in $(grep -o -- '--[a-z][a-z-]*' "$help" | sort -u); do
        grep -q -- "$option" "$work/$program.man" || fail "$program.1 lacks $option"
    done
    echo "$program.1: lists all $(grep -o -- '--[a-z][a-z-]*' "$help" | sort -u | wc -l) options of --help"
}
# What a user must find without the source: the undo folder, the parameter
# file's columns, and that --lang is the window's alone.
zcat "$tree/usr/share/man/man1/steppertool.1.gz" | sed 's/\\-/-/g' >"$work/steppertool.txt"
for text in '~/.local/share/steppertool/steppertool/undo/' 'address,value,name,permission,range' \
    'With the window only: its language'; do
    grep -qF -- "$text" "$work/steppertool.txt" || fail "steppertool.1 does not say '$text'"
done
env -u LD_LIBRARY_PATH "$tree/usr/bin/simdriver" --help >"$work/simdriver.help"
check_man_page simdriver "$work/simdriver.help"
# A steppertool without a command line would open its window: bounded wait.
if env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen timeout 5 "$tree/usr/bin/steppertool" --help \
    >"$work/steppertool.help" 2>/dev/null && grep -q -- '--version' "$work/steppertool.help"; then
    check_man_page steppertool "$work/steppertool.help"
    version="$(env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen timeout 5 "$tree/usr/bin/steppertool" --version)"
    [[ "$version" == *"$(dpkg-deb -f "$deb" Version)"* ]] || fail "steppertool --version says '$version'"
    echo "steppertool --version: $version"
else
    echo "steppertool has no --help/--version yet: its man page and version were not checked against it"
fi

# Installed into an empty dpkg root with its dependencies taken as given:
# both programs resolve every library from the system, and removing the
# package leaves no file behind.
if [ "$(id -u)" -ne 0 ]; then
    echo "not root: the install into a throwaway dpkg root is skipped"
    exit 0
fi
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/log"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -i failed"; }
for program in steppertool simdriver; do
    env -u LD_LIBRARY_PATH ldd "$root/usr/bin/$program" >"$work/ldd.log" || fail "ldd $program failed"
    if grep 'not found' "$work/ldd.log"; then fail "$program misses libraries"; fi
done
echo "installed into $root: steppertool and simdriver resolve all their libraries"
dpkg --root="$root" -r steppertool >>"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -r failed"; }
left="$(find "$root/usr" -type f 2>/dev/null || true)"
[ -z "$left" ] || fail "files left after removal: $left"
echo "removed: no file left"
echo "package check passed"
