#!/usr/bin/env bash
# The Debian package as a user gets it: built with cpack from the build folder, its Depends line,
# and its programs run from a `dpkg-deb -x` unpacked tree against the simulated board, each
# finding its data in the tree's usr/share/kestrix.
#
#   package_test.sh BUILD_DIR
set -euo pipefail

build="$1"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# The package goes into a folder of this run, so parallel runs do not meet.
(cd "$build" && cpack -G DEB -B "$work/out" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb="$(ls "$work"/out/kestrix_*.deb)"

depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for package in libqt6core6 libqt6serialport6 qt6-qpa-plugins; do
  [[ "$depends" == *"$package"* ]] || fail "Depends does not name $package"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = "fonts-dseg" ] || fail "Recommends is not fonts-dseg"

root="$work/root"
dpkg-deb -x "$deb" "$root"
bin="$root/usr/bin"
shipped="$root/usr/share/kestrix"
for file in lng_english.ini identifiers.ini vars.txt; do
  [ -f "$shipped/$file" ] || fail "$file is not in usr/share/kestrix"
done
desktop-file-validate "$root/usr/share/applications/kestrix.desktop" || fail "the desktop entry is not valid"
[ -f "$root/usr/share/icons/hicolor/64x64/apps/kestrix.png" ] || fail "no icon"
# The library's pkg-config file points into the unpacked tree.
pcfile="$(find "$root/usr" -name kestrixcomm.pc)"
[ -n "$pcfile" ] || fail "no kestrixcomm.pc in the package"
libdir="$(PKG_CONFIG_PATH="$(dirname "$pcfile")" pkg-config --variable=libdir kestrixcomm)"
includedir="$(PKG_CONFIG_PATH="$(dirname "$pcfile")" pkg-config --variable=includedir kestrixcomm)"
[ -e "$libdir/libkestrixcomm.so" ] || fail "pkg-config's libdir $libdir holds no libkestrixcomm.so"
[ -f "$includedir/kestrix/comm.h" ] || fail "pkg-config's includedir $includedir holds no kestrix/comm.h"

# The unpacked programs, with no data folder of ours in their environment.
unset KESTRIX_DATA_DIR
export XDG_DATA_HOME="$work/xdg"
"$bin/kestrix-cli" --help > "$work/help.txt" || fail "kestrix-cli --help"
grep -q "map-port" "$work/help.txt" || fail "kestrix-cli --help lists no map-port"

start_board "$bin/kestrix-board-sim"

# The tree's own data folder (writable here): config.ini next to the shipped files.
[ "$("$bin/kestrix-cli" config-path)" = "$shipped/config.ini" ] || fail "config.ini is not in usr/share/kestrix"
"$bin/kestrix-cli" map-port 1 "$device" > /dev/null || fail "map-port"
out="$("$bin/kestrix-cli" check --port 1 2>&1)" || { echo "$out"; fail "check against the simulated board"; }
echo "$out"
[[ "$out" == *"Communication OK."* ]] || fail "check did not speak English from usr/share/kestrix"

# An empty data folder of its own: the language tables still come from usr/share/kestrix.
mkdir "$work/data"
"$bin/kestrix-cli" --data-dir "$work/data" map-port 1 "$device" > /dev/null || fail "map-port into --data-dir"
out="$("$bin/kestrix-cli" --data-dir "$work/data" check --port 1 2>&1)" || { echo "$out"; fail "check with --data-dir"; }
[[ "$out" == *"Communication OK."* ]] || fail "check with an empty --data-dir found no language tables"
echo "package test passed"
