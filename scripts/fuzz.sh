#!/usr/bin/env bash
# Builds the libFuzzer targets (with clang, AddressSanitizer and UndefinedBehaviorSanitizer) in
# build-sanitize/ and runs each for the given number of seconds (default 20). Findings are kept
# in build-sanitize/fuzz-findings/; the corpus grows in build-sanitize/fuzz-corpus/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRIX_SANITIZE_BUILD_DIR:-$root/build-sanitize}"
seconds="${1:-20}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(ini_fuzz language_fuzz answer_fuzz parameter_file_fuzz alarm_file_fuzz daynight_file_fuzz daynight_name_fuzz time_reply_fuzz info_fuzz display_fuzz)

"$root/scripts/sanitize.sh" --build-only
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
status=0
for target in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$target"
  findings="$build/fuzz-findings/$target"
  mkdir -p "$corpus" "$findings"
  echo "Fuzzing $target for $seconds s ..."
  if ! "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" > "$build/$target.log" 2>&1; then
    echo "$target found a fault:"; tail -40 "$build/$target.log"; status=1
  else
    grep -E "^stat::number_of_executed_units" "$build/$target.log" || true
  fi
done
exit $status
