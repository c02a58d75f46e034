#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test (no display needed).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRIX_BUILD_DIR:-$root/build}"

"$root/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
cd "$build"
# A failed test runs once more; a second failure fails the run.
ctest --output-on-failure -j "$(nproc)" --repeat until-pass:2 "$@"
