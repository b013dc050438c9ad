#!/usr/bin/env bash
# Times whole gridora-cli runs over generated sheet descriptions at several job counts,
# in one go so that they compare: wall and CPU time, the share of the seamless step (from
# its progress line to the end of the run, map files included) and peak memory per count,
# then the floor no run beats on this disk: copying the output folder.
#
#   bench/run_jobs.sh BUILD_DIR ROWSxCOLUMNS [JOBS...]
#   bench/run_jobs.sh build 10x10 1 2          # 100 sheets
#   bench/run_jobs.sh build 25x40 1 2          # 1,000 sheets (5.3 GB of output)
#
# The sheets are kept in $TMPDIR/gridora-bench-jobs/ for later runs; each run's output is
# removed before the next.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
grid=${2:?rows x columns}
shift 2
jobs=("$@")
[ ${#jobs[@]} -gt 0 ] || jobs=(1 2)

work=${TMPDIR:-/tmp}/gridora-bench-jobs/$grid
if [ ! -e "$work/generated" ]; then
    rm -rf "$work"
    # Large grids may draw a few warnings about their generated topology; the sheets are there.
    "$build/bin/sheetgen" -q -o "$work/sheets" --grid "09LD172:$grid" --city 13101:千代田区 --city 13102:中央区 || true
    touch "$work/generated"
fi
sources=("$work"/sheets/*/*/*.TXT)
out=$work/out

for j in "${jobs[@]}"; do
    rm -rf "$out" "$work/gridora.Ini"
    mkdir -p "$out"
    sync
    start=$(date +%s.%N)
    /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" \
        "$build/bin/gridora-cli" -j "$j" --settings "$work/gridora.Ini" -o "$out/run.lis" "${sources[@]}" 2>&1 |
        while IFS= read -r line; do printf '%s %s\n' "$(date +%s.%N)" "$line"; done >"$work/progress.txt"
    end=$(date +%s.%N)
    seamless_start=$(awk '/シームレス処理実行中/ { print $1; exit }' "$work/progress.txt")
    read -r wall user sys peak_kb <"$work/time.txt"
    awk -v s="$start" -v e="$end" -v ss="${seamless_start:-$end}" -v n="${#sources[@]}" -v j="$j" \
        -v wall="$wall" -v user="$user" -v sys="$sys" -v peak="$peak_kb" 'BEGIN {
        printf "-j %-2s %d sheets: %.1f s wall, %.1f s CPU, sheets %.1f s, seamless step %.1f s (%.0f%%), peak %.0f MiB\n",
            j, n, wall, user + sys, ss - s, e - ss, 100 * (e - ss) / (e - s), peak / 1024
    }'
done
size=$(du -sm "$out" | cut -f1)
sync
start=$(date +%s.%N)
cp -r "$out" "$work/copy"
sync
echo "floor: copying the ${size} MB output takes $(echo "$(date +%s.%N) - $start" | bc | cut -c1-5) s"
rm -rf "$work/copy" "$out"
