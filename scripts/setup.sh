#!/usr/bin/env bash
# Installs the Debian packages the utility needs when they are missing, then configures and
# builds it in build/ (or $KESTRIX_BUILD_DIR). Safe to run again: it only does what is missing.
#
#   scripts/setup.sh                              install what is missing and build
#   scripts/setup.sh --packages-only [PACKAGE...] install what is missing, and these, only
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRIX_BUILD_DIR:-$root/build}"

packages=(
  cmake g++ make pkg-config
  ccache lld   # faster builds: a compile cache kept across build folders, a faster linker
  qt6-base-dev qt6-serialport-dev qt6-qpa-plugins libgl-dev
  qt6-translations-l10n   # Qt's own texts (file dialogs, standard buttons) in the chosen language
  libgtest-dev libgmock-dev
  xinetd rdate   # a real Time Protocol server and client for the time-server tests
  python3 binutils   # the exported library's tests: loaded with ctypes, its symbols listed with nm
  dpkg-dev file help2man   # the Debian packages (cpack) and their manual pages
  lintian appstream desktop-file-utils   # the package test checks the packages with them
  ser2net python3-serial   # a real network serial server, and pyserial as a reference client of it
  fonts-dseg fonts-dejavu-core
)
packages_only=false
if [ "${1:-}" = "--packages-only" ]; then
  packages_only=true
  shift
  packages+=("$@")
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi

$packages_only && exit 0

mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build/configure.log" 2>&1 \
  || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j "$(nproc)"
