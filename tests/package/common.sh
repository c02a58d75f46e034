# Shared by the package tests: a temporary folder removed at the end (with the simulated board
# they started), failing with a message, and starting a simulated board.
#
#   source common.sh    sets $work; start_board PROGRAM sets $device

work="$(mktemp -d)"
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Starts the simulated board PROGRAM, logging into $work/sim.log, and waits for its device.
start_board() {
  "$1" > "$work/sim.log" 2>&1 &
  sim_pid=$!
  device=""
  for _ in $(seq 100); do
    device="$(grep -o '/dev/pts/[0-9]*' "$work/sim.log" | head -n 1 || true)"
    [ -n "$device" ] && return 0
    sleep 0.1
  done
  cat "$work/sim.log"
  fail "$1 named no device"
}
