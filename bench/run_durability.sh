#!/usr/bin/env bash
# What staging and progress records cost a run, and what a resume saves.
#   bench/run_durability.sh BUILD ROWSxCOLUMNS [RUNS]
# Generates ROWS x COLUMNS sheets of normal density (descriptions) with sheetgen, then
# converts them RUNS times each (alternating) with staging and progress records, as every
# run does, and in place: a plain file where the staging folder would be makes the run
# write in place without records, as it does when no staging folder can be made. An
# in-place run leaves its data in the system's cache; "in place + sync" times it with a
# sync after it, as the staged run syncs its files before it puts them in place. Then it
# kills a run at 90% of its time and times the --resume against a whole run.
set -euo pipefail
build=$(cd "${1:?BUILD}" && pwd)
grid=${2:-10x10}
runs=${3:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/sheetgen" -q -o "$work/sheets" --grid "09LD171:$grid" --city 13101:千代田区 --city 13102:中央区 || true  # a large grid may give topology warnings (nonzero status)
sources=("$work"/sheets/*/*/*.TXT)
cli=("$build/bin/gridora-cli" --settings "$work/gridora.Ini")

seconds() { /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -1; }
run_staged() { rm -rf "$work/out"; mkdir -p "$work/out"; sync; seconds "${cli[@]}" -o "$work/out/run.lis" "${sources[@]}"; }
run_in_place() {
  rm -rf "$work/out"; mkdir -p "$work/out"; touch "$work/out/.gridora-stage-run.lis"; sync
  seconds "${cli[@]}" -o "$work/out/run.lis" "${sources[@]}"
}
run_in_place_synced() {
  rm -rf "$work/out"; mkdir -p "$work/out"; touch "$work/out/.gridora-stage-run.lis"; sync
  local start; start=$(date +%s.%N)
  "${cli[@]}" -o "$work/out/run.lis" "${sources[@]}" >/dev/null 2>&1
  sync
  printf '%.2f' "$(echo "$(date +%s.%N) - $start" | bc)"
}
echo "sheets: ${#sources[@]}"
for ((i = 0; i < runs; i++)); do
  echo "staged   $(run_staged) s"
  echo "in place $(run_in_place) s"
  echo "in place + sync $(run_in_place_synced) s"
done

rm -rf "$work/out"; mkdir -p "$work/out"
start=$(date +%s.%N)
"${cli[@]}" -o "$work/out/run.lis" "${sources[@]}" >/dev/null 2>&1
whole=$(echo "$(date +%s.%N) - $start" | bc)
rm -rf "$work/out"; mkdir -p "$work/out"
timeout -s KILL "$(echo "$whole * 0.9" | bc)" "${cli[@]}" -o "$work/out/run.lis" "${sources[@]}" >/dev/null 2>&1 || true
echo "killed at 90% of ${whole} s: $(grep -o 'next_row [0-9]*\|seamless_done [0-9]' "$work/out/.gridora-stage-run.lis/PROGRESS" | tr '\n' ' ')"
echo "resume   $(seconds "${cli[@]}" --resume -o "$work/out/run.lis" "${sources[@]}") s"
