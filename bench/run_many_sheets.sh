#!/usr/bin/env bash
# Times a whole gridora-cli run over many generated sheets packed as published: one -lh5-
# archive per municipality of 50 sheets, made by jlha (Debian jlha-utils; it needs Java,
# so the set-up script does not install it). Prints the run's wall and CPU time, the time
# per sheet, the share of the seamless step (from the time its progress line appears to the
# end of the run, map file included), the peak resident memory and the size of the layers
# written (Shapefiles with their tables, or the GeoPackage). OPTIONS go to gridora-cli.
#
#   bench/run_many_sheets.sh BUILD_DIR ROWSxCOLUMNS CITIES [OPTIONS...]
#   bench/run_many_sheets.sh build 10x10 2     # 100 sheets in 2 archives
#   bench/run_many_sheets.sh build 25x40 20    # 1,000 sheets in 20 archives
#   bench/run_many_sheets.sh build 10x10 2 --format gpkg
#
# The sheets and archives are kept in $TMPDIR/gridora-bench-sheets/ for later runs.
set -euo pipefail

build=$(cd "${1:?build folder}" && pwd)
grid=${2:?rows x columns}
cities=${3:?municipalities}
shift 3
command -v jlha >/dev/null || { echo "jlha not found (apt-get install jlha-utils)" >&2; exit 2; }

work=${TMPDIR:-/tmp}/gridora-bench-sheets/$grid-$cities
if [ ! -e "$work/packed" ]; then
    rm -rf "$work"
    mkdir -p "$work/archives"
    city_args=()
    for i in $(seq 1 "$cities"); do city_args+=(--city "$((13100 + i)):C$i"); done
    # A large grid may give topology warnings, which make sheetgen's status nonzero.
    "$build/bin/sheetgen" -q -o "$work/sheets" --density normal --seed 7 --grid "09LD172:$grid" "${city_args[@]}" || true
    for city in "$work"/sheets/*/; do
        code=$(basename "$city")
        (cd "$city" && jlha a "$work/archives/$code.LZH" * >/dev/null)
    done
    rm -rf "$work/sheets"
    touch "$work/packed"
fi

out=$work/out
rm -rf "$out"
mkdir -p "$out"
start=$(date +%s.%N)
/usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" \
    "$build/bin/gridora-cli" "$@" -o "$out/run.lis" "$work"/archives/*.LZH 2>&1 |
    while IFS= read -r line; do printf '%s %s\n' "$(date +%s.%N)" "$line"; done >"$work/progress.txt"
end=$(date +%s.%N)

sheets=$(grep -c '処理中$' "$work/progress.txt" || true)
seamless_start=$(awk '/シームレス処理実行中/ { print $1; exit }' "$work/progress.txt")
read -r wall user sys peak_kb <"$work/time.txt"
layer_bytes=$(find "$out" -maxdepth 1 -type f \( -name '*.shp' -o -name '*.shx' -o -name '*.dbf' -o -name '*.prj' \
    -o -name '*.cpg' -o -name '*.gpkg' \) -printf '%s\n' | awk '{ t += $1 } END { print t + 0 }')
awk -v s="$start" -v e="$end" -v ss="${seamless_start:-$end}" -v n="$sheets" -v wall="$wall" \
    -v user="$user" -v sys="$sys" -v peak="$peak_kb" -v grid="$grid" -v cities="$cities" -v bytes="$layer_bytes" 'BEGIN {
    printf "%d sheets (%s) in %d archives: run %.1f s wall, %.1f s CPU, %.1f ms a sheet, seamless step %.0f%%, peak %.0f MiB, layers %.0f MiB\n",
        n, grid, cities, wall, user + sys, 1000 * wall / (n > 0 ? n : 1), 100 * (e - ss) / (e - s), peak / 1024, bytes / 1048576
}'
