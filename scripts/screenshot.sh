#!/usr/bin/env bash
# Renders the whole main window into docs/main-window.png (or the file given as the first
# argument). Needs no display: it uses the offscreen platform. The window is shown with the
# shipped data files and a config.ini of its own (English, the clock showing the time first),
# so the operator's settings neither show nor change.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRIX_BUILD_DIR:-$root/build}"
output="${1:-$root/docs/main-window.png}"

if [ ! -x "$build/bin/kestrix" ]; then
  "$root/scripts/setup.sh"
fi

data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT
cp "$build"/bin/*.ini "$build"/bin/*.bmp "$build"/bin/*.png "$data"/ 2>/dev/null || true
printf '[System]\r\nLanguage=english\r\n[Parameters]\r\nP6=05\r\nP7=03\r\n' > "$data/config.ini"

mkdir -p "$(dirname "$output")"
QT_QPA_PLATFORM=offscreen "$build/bin/kestrix" --data-dir "$data" --screenshot "$output"
echo "Wrote $output"
