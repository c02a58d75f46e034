#!/usr/bin/env bash
# Renders the alarm dialog into docs/alarm-dialog.png (or the file given as the first argument),
# in German, with a few alarm times loaded. Needs no display: it uses the offscreen platform.
# The dialog opens with the shipped data files and a config.ini and alarms.txt of its own, so
# the operator's settings neither show nor change.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRIX_BUILD_DIR:-$root/build}"
output="${1:-$root/docs/alarm-dialog.png}"

if [ ! -x "$build/bin/kestrix-shot" ]; then
  "$root/scripts/setup.sh"
fi

data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT
cp "$build"/bin/*.ini "$build"/bin/*.bmp "$build"/bin/*.png "$data"/ 2>/dev/null || true

printf '[System]\r\nLanguage=german\r\n[Settings]\r\nPort=0\r\nBaud=2\r\n[Parameters]\r\nC1=03\r\nC2=05\r\nC3=05\r\nC4=01\r\nC5=30\r\nC6=00\r\n' \
  > "$data/config.ini"
printf 'p1;07;30;0\r\r\np1;09;45;0\r\r\np1;12;00;1\r\r\np1;16;15;0\r\r\np1;29;;\r\r\np2;08;00;1\r\r\np2;25;;\r\r\np2;17;30;0\r\r\n' \
  > "$data/alarms.txt"

mkdir -p "$(dirname "$output")"
QT_QPA_PLATFORM=offscreen "$build/bin/kestrix-shot" --data-dir "$data" --screenshot-dialog alarms "$output"
echo "Wrote $output"
