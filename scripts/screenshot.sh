#!/usr/bin/env bash
# Renders the whole main window into docs/main-window.png (or the file given as the first
# argument). Needs no display: it uses the offscreen platform. The window is shown with the
# shipped data files and a config.ini of its own (English, the clock showing the time first,
# COM1 on a simulated board), so the operator's settings neither show nor change. The window
# first downloads the simulated board's configuration (about 20 s), and shows what it read.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRIX_BUILD_DIR:-$root/build}"
output="${1:-$root/docs/main-window.png}"

if [ ! -x "$build/bin/kestrix-shot" ] || [ ! -x "$build/bin/kestrix-board-sim" ]; then
  "$root/scripts/setup.sh"
fi

data="$(mktemp -d)"
board=""
cleanup() {
  if [ -n "$board" ]; then kill "$board" 2>/dev/null || true; wait "$board" 2>/dev/null || true; fi
  rm -rf "$data"
}
trap cleanup EXIT
cp "$build"/bin/*.ini "$build"/bin/*.bmp "$build"/bin/*.png "$data"/ 2>/dev/null || true

"$build/bin/kestrix-board-sim" --device-file "$data/board-device" > /dev/null &
board=$!
for _ in $(seq 100); do
  [ -s "$data/board-device" ] && break
  sleep 0.1
done
if [ ! -s "$data/board-device" ]; then
  echo "The simulated board did not start" >&2
  exit 1
fi
device="$(cat "$data/board-device")"
printf '[System]\r\nLanguage=english\r\n[Settings]\r\nPort=0\r\nBaud=2\r\n[Ports]\r\nCOM1=%s\r\n[Parameters]\r\nP6=05\r\nP7=03\r\n' \
  "$device" > "$data/config.ini"

mkdir -p "$(dirname "$output")"
QT_QPA_PLATFORM=offscreen "$build/bin/kestrix-shot" --data-dir "$data" --screenshot "$output" --download-first
echo "Wrote $output"
