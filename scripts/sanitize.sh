#!/usr/bin/env bash
# The checked build: every target and test built with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (plus the libFuzzer targets) in build-sanitize/, then every test
# run with leaks fatal. `--build-only` stops after building.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRIX_SANITIZE_BUILD_DIR:-$root/build-sanitize}"

"$root/scripts/setup.sh" --packages-only clang libclang-rt-14-dev
mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DKESTRIX_SANITIZE=ON -DKESTRIX_FUZZ=ON > "$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j "$(nproc)"
[ "${1:-}" = "--build-only" ] && exit 0

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
cd "$build"
ctest --output-on-failure -j "$(nproc)" --repeat until-pass:2
