#!/usr/bin/env bash
# Sets up what is missing, builds, and runs the utility. When no board is configured it
# starts the simulated board and names it as a COM port in config.ini, so "Test Connection"
# finds a board at once. Without a display it runs the command-line demo instead.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRIX_BUILD_DIR:-$root/build}"
bin="$build/bin"
sim_port="${KESTRIX_SIM_PORT:-9}"

mkdir -p "$build"
echo "Setting up and building (log: $build/setup.log) ..."
"$root/scripts/setup.sh" > "$build/setup.log" 2>&1 || { cat "$build/setup.log"; exit 1; }
data=("$@")
cli() { "$bin/kestrix-cli" "${data[@]}" "$@"; }

sim_pid=""
cleanup() { [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT

# Exit status 2: no port configured, or its device is not there. Start the simulated board.
status=0
cli check > /dev/null 2>&1 || status=$?
if [ "$status" -eq 2 ]; then
  device_file="$(mktemp -u /tmp/kestrix-sim.XXXXXX)"
  "$bin/kestrix-board-sim" --device-file "$device_file" > "$build/board-sim.log" 2>&1 &
  sim_pid=$!
  for _ in $(seq 50); do [ -s "$device_file" ] && break; sleep 0.1; done
  device="$(cat "$device_file")"
  cli map-port "$sim_port" "$device" > /dev/null
  echo "No board is configured: started the simulated board on $device and named it COM$sim_port"
  echo "in config.ini. Its traffic is logged in $build/board-sim.log."
  config="$(cli config-path)"
  if ! grep -qi '^\[Parameters\]' "$config"; then
    # A demo start-up preset: the clock shows the time for 10 s and the date for 3 s.
    printf '\r\n[Parameters]\r\nP6=10\r\nP7=03\r\n' >> "$config"
    echo "Added a [Parameters] preset (P6=10, P7=03) so the clock display cycles time and date."
  fi
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$bin/kestrix" "${data[@]}"
else
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): running the command-line demo."
  echo "\$ kestrix-cli scan"
  cli scan || true
  echo "\$ kestrix-cli check"
  cli check || true
  echo "\$ kestrix-cli versions"
  cli versions || true
fi
