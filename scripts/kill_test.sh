#!/usr/bin/env bash
# Kills writers of config.ini at random moments (half of them anywhere in the run, half inside
# the write, after it has taken its lock) and checks what each kill leaves behind:
# config.ini must be whole (byte for byte the file before the write or the file after it), and
# the next write must succeed at once (no waiting for a lock) and leave no lock file or
# temporary file behind. Prints "0 damaged files, 0 leftover locks" and exits 0 when all is well.
#
#   scripts/kill_test.sh [KILLS]       (default 200; KESTRIX_BUILD_DIR names the build folder)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRIX_BUILD_DIR:-$root/build}"
cli="$build/bin/kestrix-cli"
kills="${1:-200}"
# The next write may take this long; a lock left behind would hold it for seconds.
slow_ms=1000

if [[ ! -x $cli ]]; then
    echo "kill_test: $cli is missing; build it first (scripts/setup.sh)" >&2
    exit 2
fi
if [[ ! $kills =~ ^[1-9][0-9]*$ ]]; then
    echo "kill_test: the number of kills must be a positive number, not \"$kills\"" >&2
    exit 2
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
data="$work/data"
mkdir "$data"

# A config.ini as a user has it: CR LF lines, every port mapped.
{
    printf '[System]\r\nLanguage=english\r\n\r\n[Settings]\r\nPort=2\r\nBaud=2\r\n\r\n[Ports]\r\n'
    for port in $(seq 1 20); do
        printf 'COM%d=/dev/kill-test-start-%d\r\n' "$port" "$port"
    done
} > "$data/config.ini"

now_ms() { date +%s%3N; }

# Whether a child process still runs (it is neither gone nor a zombie waiting to be reaped).
running() {
    local stat
    read -r stat 2> /dev/null < "/proc/$1/stat" || return 1
    stat="${stat##*) }"
    [[ ${stat:0:1} != Z ]]
}

map_port() { "$cli" --data-dir "$data" map-port "$1" "$2"; }

# config.ini as it must be after COM<port> is mapped to <device>, from the file before.
expected_after() {
    awk -v key="COM$1=" -v value="$2" \
        'index($0, key) == 1 { print key value "\r"; next } { print }' "$work/before"
}

# Anything in the data folder besides config.ini: a lock or temporary file.
leftovers() { find "$data" -mindepth 1 ! -name config.ini -printf '%f '; }

# One run of a writer, to spread the kills over about 1.2 times its length.
start=$(now_ms)
map_port 1 /dev/kill-test-start-1 > /dev/null 2>&1
run_us=$(( ($(now_ms) - start) * 1000 ))
(( run_us > 0 )) || run_us=1000
span_us=$(( run_us * 12 / 10 ))

damaged=0
leftover_locks=0
inside=0
for ((kill = 1; kill <= kills; kill++)); do
    port=$(( (kill - 1) % 20 + 1 ))
    device="/dev/kill-test-$kill"
    cp "$data/config.ini" "$work/before"

    # Started directly (not through a function), so that $! is the writer itself.
    "$cli" --data-dir "$data" map-port "$port" "$device" > /dev/null 2>&1 &
    writer=$!
    if (( kill % 2 )); then
        # Anywhere in the run: mostly while the program starts, reads and parses.
        delay_us=$(( (RANDOM * 32768 + RANDOM) % span_us ))
        sleep "$(printf '%d.%06d' $(( delay_us / 1000000 )) $(( delay_us % 1000000 )))"
    else
        # Inside the write: once the lock file is there, at once (every fourth kill) or after
        # a random number of spins.
        while running "$writer" && [[ ! -e $data/config.ini.lock ]]; do :; done
        spins=$(( kill % 4 ? RANDOM % 2000 : 0 ))
        for ((; spins > 0; spins--)); do :; done
    fi
    kill -KILL "$writer" 2> /dev/null || true
    wait "$writer" 2> /dev/null || true
    cp "$data/config.ini" "$work/killed"
    [[ -n $(leftovers) ]] && inside=$(( inside + 1 ))

    # The next write completes the killed one, at once.
    start=$(now_ms)
    next_written=true
    if ! map_port "$port" "$device" > /dev/null 2> "$work/error"; then
        echo "kill $kill: the next write failed: $(grep -v '^Warning' "$work/error")"
        leftover_locks=$(( leftover_locks + 1 ))
        next_written=false
    elif (( $(now_ms) - start > slow_ms )); then
        echo "kill $kill: the next write took $(( $(now_ms) - start )) ms (waited for a lock?)"
        leftover_locks=$(( leftover_locks + 1 ))
    fi
    if [[ -n $(leftovers) ]]; then
        echo "kill $kill: left behind after the next write: $(leftovers)"
        leftover_locks=$(( leftover_locks + 1 ))
    fi

    expected_after "$port" "$device" > "$work/expected"
    if ! cmp -s "$work/killed" "$work/before" && ! cmp -s "$work/killed" "$work/expected"; then
        echo "kill $kill: the kill left config.ini neither old nor new"
        damaged=$(( damaged + 1 ))
    elif $next_written && ! cmp -s "$data/config.ini" "$work/expected"; then
        echo "kill $kill: config.ini after the next write is not the expected file"
        damaged=$(( damaged + 1 ))
    fi
done

echo "$kills kills, $inside of them inside a write (a lock or temporary file was left)"
echo "$damaged damaged files, $leftover_locks leftover locks"
if (( inside == 0 )); then
    echo "no kill landed inside a write, so nothing was tested; run more kills"
    exit 1
fi
(( damaged == 0 && leftover_locks == 0 ))
