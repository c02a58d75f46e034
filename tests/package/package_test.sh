#!/usr/bin/env bash
# The Debian packages as a distribution and its users get them: kestrix, libkestrixcomm2 and
# libkestrixcomm-dev built with cpack from the build folder; what each holds and depends on;
# lintian, appstreamcli and desktop-file-validate on them when installed; then all three
# unpacked with `dpkg-deb -x` into one tree, whose programs run against the simulated board
# (finding their data in the tree's usr/share/kestrix), whose manual pages render, whose bash
# completion completes, and against whose development files the example builds and runs.
#
#   package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail

build="$1"
source_dir="$2"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# The packages go into a folder of this run, so parallel runs do not meet.
(cd "$build" && cpack -G DEB -B "$work/out" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
version="$(dpkg-parsechangelog -l "$source_dir/packaging/debian/changelog" -S Version)"
arch="$(dpkg --print-architecture)"
multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
program_deb="$work/out/kestrix_${version}_$arch.deb"
library_deb="$work/out/libkestrixcomm2_${version}_$arch.deb"
dev_deb="$work/out/libkestrixcomm-dev_${version}_$arch.deb"
debs=("$program_deb" "$library_deb" "$dev_deb")
for deb in "${debs[@]}"; do
  [ -f "$deb" ] || { ls "$work/out"; fail "no $(basename "$deb")"; }
done
[ "$(find "$work/out" -maxdepth 1 -name '*.deb' | wc -l)" = 3 ] || { ls "$work/out"; fail "not three packages"; }

# Each package's Depends names these (dpkg-shlibdeps computes the Qt ones).
for deb in "${debs[@]}"; do
  echo "$(basename "$deb"): Depends: $(dpkg-deb -f "$deb" Depends)"
done
while read -r deb wanted; do
  depends="$(dpkg-deb -f "$deb" Depends)"
  [[ ", $depends," == *", $wanted"[\ ,]* ]] || fail "$(basename "$deb") does not depend on $wanted"
done <<EOF
$program_deb libqt6core6
$program_deb libqt6serialport6
$program_deb libqt6widgets6
$program_deb qt6-qpa-plugins
$library_deb libqt6core6
$library_deb libqt6serialport6
$dev_deb libkestrixcomm2 (= $version)
EOF
[ "$(dpkg-deb -f "$program_deb" Recommends)" = "fonts-dseg" ] || fail "Recommends is not fonts-dseg"

# Where each file is: in this package and in no other.
for deb in "${debs[@]}"; do
  dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' > "$work/$(dpkg-deb -f "$deb" Package).files"
done
while read -r package path; do
  path="${path/MULTIARCH/$multiarch}"
  grep -qx "$path" "$work/$package.files" || fail "$package lacks $path"
  for other in kestrix libkestrixcomm2 libkestrixcomm-dev; do
    [ "$other" = "$package" ] || ! grep -qx "$path" "$work/$other.files" || fail "$other holds $path too"
  done
done <<EOF
kestrix usr/bin/kestrix
kestrix usr/bin/kestrix-cli
kestrix usr/bin/kestrix-board-sim
kestrix usr/share/kestrix/lng_english.ini
kestrix usr/share/kestrix/identifiers.ini
kestrix usr/share/kestrix/vars.txt
kestrix usr/share/applications/org.example.kestrix.desktop
kestrix usr/share/icons/hicolor/64x64/apps/kestrix.png
kestrix usr/share/metainfo/org.example.kestrix.metainfo.xml
kestrix usr/share/man/man1/kestrix.1.gz
kestrix usr/share/man/man1/kestrix-cli.1.gz
kestrix usr/share/man/man1/kestrix-board-sim.1.gz
kestrix usr/share/bash-completion/completions/kestrix-cli
kestrix usr/share/doc/kestrix/copyright
kestrix usr/share/doc/kestrix/changelog.Debian.gz
libkestrixcomm2 usr/lib/MULTIARCH/libkestrixcomm.so.2
libkestrixcomm2 usr/share/doc/libkestrixcomm2/copyright
libkestrixcomm2 usr/share/doc/libkestrixcomm2/changelog.Debian.gz
libkestrixcomm-dev usr/lib/MULTIARCH/libkestrixcomm.so
libkestrixcomm-dev usr/include/kestrix/comm.h
libkestrixcomm-dev usr/include/kestrix/comm_c.h
libkestrixcomm-dev usr/lib/MULTIARCH/pkgconfig/kestrixcomm.pc
libkestrixcomm-dev usr/lib/MULTIARCH/cmake/KestrixComm/KestrixCommConfig.cmake
libkestrixcomm-dev usr/share/doc/libkestrixcomm-dev/copyright
libkestrixcomm-dev usr/share/doc/libkestrixcomm-dev/changelog.Debian.gz
EOF

# The library package runs ldconfig through a trigger, not maintainer scripts, and names its
# soname in a shlibs file.
dpkg-deb -e "$library_deb" "$work/library-control"
[ "$(cat "$work/library-control/triggers")" = "activate-noawait ldconfig" ] || fail "no ldconfig trigger"
[ ! -e "$work/library-control/postinst" ] && [ ! -e "$work/library-control/postrm" ] \
  || fail "the library package has maintainer scripts"
grep -qx "libkestrixcomm 2 libkestrixcomm2 (= $version)" "$work/library-control/shlibs" || fail "shlibs: $(cat "$work/library-control/shlibs")"

if command -v lintian > /dev/null; then
  # Nothing but its complaint about running as root.
  lintian --pedantic "${debs[@]}" 2>&1 | grep -v '^running with root privileges' > "$work/lintian.log" || true
  [ ! -s "$work/lintian.log" ] || { cat "$work/lintian.log"; fail "lintian reports the packages"; }
else
  echo "SKIPPED: lintian is not installed (scripts/setup.sh installs it)"
fi

root="$work/root"
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$root"
done
bin="$root/usr/bin"
shipped="$root/usr/share/kestrix"
export LD_LIBRARY_PATH="$root/usr/lib/$multiarch"

desktop-file-validate "$root/usr/share/applications/org.example.kestrix.desktop" || fail "the desktop entry is not valid"
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.kestrix.metainfo.xml" || fail "the AppStream metadata is not valid"
else
  echo "SKIPPED: appstreamcli is not installed (scripts/setup.sh installs it)"
fi
grep -q "<release version=\"${version%-*}\"" "$root/usr/share/metainfo/org.example.kestrix.metainfo.xml" \
  || fail "the AppStream metadata names no release ${version%-*}"

# Each manual page renders and names its program.
for page in kestrix kestrix-cli kestrix-board-sim; do
  MANPAGER=cat MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" > "$work/$page.man" 2>&1 \
    || { cat "$work/$page.man"; fail "man -l $page.1.gz"; }
  grep -q "^NAME" "$work/$page.man" && grep -q "$page" "$work/$page.man" || { cat "$work/$page.man"; fail "$page.1.gz names no $page"; }
done
grep -q "map-port" "$work/kestrix-cli.man" || fail "the manual page of kestrix-cli lists no map-port"

# The bash completion: what each command line (cursor at its end) completes to.
mkdir "$work/files" && touch "$work/files/board.ini"
while IFS='|' read -r line expected; do
  # shellcheck disable=SC2016
  got="$(cd "$work/files" && bash -c 'source "$1"; read -ra COMP_WORDS <<< "$2"; [[ $2 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _kestrix_cli; echo "${COMPREPLY[*]}"' _ \
    "$root/usr/share/bash-completion/completions/kestrix-cli" "$line")"
  [ "$got" = "$expected" ] || fail "completing \"$line\" gave \"$got\", not \"$expected\""
done <<'EOF'
kestrix-cli ma|map-port
kestrix-cli d|download daynight display
kestrix-cli alarms |upload download clear compare
kestrix-cli alarms upload --v|--verify
kestrix-cli daynight show |board.ini
kestrix-cli --po|--port --ports
kestrix-cli --port 3 ch|check
kestrix-cli --ports |configured
kestrix-cli --speed |
kestrix-cli download --save |board.ini
kestrix-cli time-server --p|--print --port --ports
EOF

# The unpacked programs, with no data folder of ours in their environment.
unset KESTRIX_DATA_DIR
export XDG_DATA_HOME="$work/xdg"
"$bin/kestrix-cli" --help > "$work/help.txt" || fail "kestrix-cli --help"
grep -q "map-port" "$work/help.txt" || fail "kestrix-cli --help lists no map-port"

start_board "$bin/kestrix-board-sim"

# An installed program keeps config.ini in the per-user folder, never below its prefix.
[ "$("$bin/kestrix-cli" config-path)" = "$XDG_DATA_HOME/kestrix/config.ini" ] || fail "config.ini is not in the per-user folder"
[ ! -e "$shipped/config.ini" ] || fail "config.ini was written into usr/share/kestrix"
"$bin/kestrix-cli" map-port 1 "$device" > /dev/null || fail "map-port"
out="$("$bin/kestrix-cli" check --port 1 2>&1)" || { echo "$out"; fail "check against the simulated board"; }
echo "$out"
[[ "$out" == *"Communication OK."* ]] || fail "check did not speak English from usr/share/kestrix"
[ ! -e "$shipped/config.ini" ] || fail "map-port wrote config.ini into usr/share/kestrix"

# An empty data folder of its own: the language tables still come from usr/share/kestrix.
mkdir "$work/data"
"$bin/kestrix-cli" --data-dir "$work/data" map-port 1 "$device" > /dev/null || fail "map-port into --data-dir"
out="$("$bin/kestrix-cli" --data-dir "$work/data" check --port 1 2>&1)" || { echo "$out"; fail "check with --data-dir"; }
[[ "$out" == *"Communication OK."* ]] || fail "check with an empty --data-dir found no language tables"

# The example, built with the development package's CMake package, drives the board through
# the library package.
cmake -S "$source_dir/examples/display_example" -B "$work/example" -DCMAKE_PREFIX_PATH="$root/usr" \
  > "$work/example.log" 2>&1 || { cat "$work/example.log"; fail "configuring the example"; }
cmake --build "$work/example" >> "$work/example.log" 2>&1 || { cat "$work/example.log"; fail "building the example"; }
out="$(KESTRIX_DATA_DIR="$work/data" "$work/example/display_example" 2>&1)" || { echo "$out"; fail "the example"; }
[ "$out" = "Answer: >" ] || fail "the example printed: $out"
echo "package test passed"
