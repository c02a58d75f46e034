#!/usr/bin/env bash
# The display library as another program's developer gets it: installed with `cmake --install`,
# the installed tree then moved elsewhere, the example built once with find_package(KestrixComm)
# and once with pkg-config, and both run against the simulated board.
#
#   example_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail

build="$1"
example="$2/examples/display_example"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

cmake --install "$build" --prefix "$work/installed" > "$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }
# Nothing in the installed files may name the folder it was installed to.
mv "$work/installed" "$work/prefix"
prefix="$work/prefix"
pcfile="$(find "$prefix" -name kestrixcomm.pc)"
[ -n "$pcfile" ] || fail "no kestrixcomm.pc installed"
libdir="$(dirname "$(dirname "$pcfile")")"
[ -f "$libdir/libkestrixcomm.so" ] || fail "no libkestrixcomm.so beside the pkgconfig folder"
# Qt is the library's own business: the imported target names nothing of it.
! grep -q "Qt6" "$libdir"/cmake/KestrixComm/*.cmake || fail "the CMake package drags Qt into its users"

# With CMake.
cmake -S "$example" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" > "$work/configure.log" 2>&1 \
  || { cat "$work/configure.log"; fail "configuring the example"; }
cmake --build "$work/cmake-build" > "$work/build.log" 2>&1 || { cat "$work/build.log"; fail "building the example"; }

# With pkg-config: the library and its headers only, nothing of Qt.
flags="$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs kestrixcomm)"
echo "pkg-config: $flags"
[[ "$flags" != *[Qq]t* ]] || fail "pkg-config names Qt"
# shellcheck disable=SC2086
g++ -o "$work/display_example_pc" "$example/main.cpp" $flags || fail "compiling the example with pkg-config"

start_board "$build/bin/kestrix-board-sim"

mkdir "$work/data"
printf '[Ports]\nCOM1=%s\n' "$device" > "$work/data/config.ini"
for program in "$work/cmake-build/display_example" "$work/display_example_pc"; do
  out="$(KESTRIX_DATA_DIR="$work/data" LD_LIBRARY_PATH="$libdir" "$program" 2>&1)" \
    || { echo "$out"; fail "$program did not see the board accept"; }
  echo "$(basename "$program"): $out"
  [ "$out" = "Answer: >" ] || fail "$program printed: $out"
done

# Without KESTRIX_DATA_DIR the library, as an installed program, reads the per-user config.ini.
mkdir -p "$work/xdg/kestrix"
printf '[Ports]\nCOM1=%s\n' "$device" > "$work/xdg/kestrix/config.ini"
out="$(env -u KESTRIX_DATA_DIR XDG_DATA_HOME="$work/xdg" LD_LIBRARY_PATH="$libdir" "$work/display_example_pc" 2>&1)" \
  || { echo "$out"; fail "the library did not find the per-user config.ini"; }

# Each run's rate line reached the board (it prints every frame it receives).
lines=0
for _ in $(seq 50); do
  lines="$(grep -c '\$03I|    1.5| 1.4567|' "$work/sim.log" || true)"
  [ "$lines" = 3 ] && break
  sleep 0.1
done
[ "$lines" = 3 ] || { cat "$work/sim.log"; fail "the board received the rate line $lines times, not 3"; }
echo "example test passed"
