#!/usr/bin/env bash
# Runs every fuzz program of a fuzz build for a while and prints the executions each
# reached. Fails when any target finds an input that breaks it; the input is kept in
# BUILD/fuzz-findings/<target>/ (copy it to tests/fuzz/<target>/regressions/ once mended).
#   scripts/run-fuzz.sh [BUILD_DIR [SECONDS]]     (defaults: build-fuzz, 300)
set -uo pipefail
cd "$(dirname "$0")/.."
# Absolute paths: the archive target works in a folder of its own.
build=$(realpath "${1:-build-fuzz}")
seconds=${2:-300}
targets=(engine data_readers sheet_description ini archive extract_command cp932)
# Longest input per target: the small parsers stay fast; archives and data files need room.
declare -A max_len=([engine]=1024 [data_readers]=8192 [sheet_description]=1024 [ini]=256 [archive]=40000
                    [extract_command]=256 [cp932]=256)

failed=()
printf '%-18s %12s %10s  %s\n' target executions per_second result
for t in "${targets[@]}"; do
  program="$build/bin/fuzz_$t"
  corpus="$build/fuzz-corpus/$t"
  findings="$build/fuzz-findings/$t"
  mkdir -p "$corpus" "$findings"
  log="$build/fuzz-findings/$t.log"
  # New inputs go to the build's corpus; the committed seeds and regressions are read only.
  "$program" -max_total_time="$seconds" -max_len="${max_len[$t]}" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$PWD/tests/fuzz/$t/seeds" \
    $( [ -d "tests/fuzz/$t/regressions" ] && echo "$PWD/tests/fuzz/$t/regressions" ) >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  result=ok
  if [ $status -ne 0 ] || ls "$findings"/crash-* "$findings"/leak-* "$findings"/timeout-* "$findings"/oom-* >/dev/null 2>&1; then
    result="FINDING (see $log)"
    failed+=("$t")
  fi
  printf '%-18s %12s %10s  %s\n' "$t" "${runs:-?}" "${rate:-?}" "$result"
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz findings in: ${failed[*]}" >&2
  exit 1
fi
