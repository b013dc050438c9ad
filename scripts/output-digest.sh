#!/usr/bin/env bash
# Converts the three reference inputs (the sample archives, data/sample-bad and a generated
# 6x6 grid of descriptions) with BUILD's gridora-cli into OUT and prints one line per file
# written: its digest and its path. Two builds' listings compare byte for byte with diff,
# which is how a change that must leave the outputs alone shows that it did.
# Further arguments go to every gridora-cli run (`-j 1`, `-j 8`: the listings must agree).
#   scripts/output-digest.sh BUILD OUT [CLI-ARGUMENT...] > digest.txt
set -euo pipefail
build=$(cd "${1:?BUILD}" && pwd)
out=${2:?OUT}
shift 2
cli_args=("$@")
cd "$(dirname "$0")/.."
root=$(pwd)
rm -rf "$out" && mkdir -p "$out"
out=$(cd "$out" && pwd)
cli=$build/bin/gridora-cli
"$build/bin/sheetgen" -q -o "$out/g6-src" --grid 09LD171:6x6
convert() {  # NAME SOURCE...
  local name=$1; shift
  mkdir -p "$out/$name"
  local status=0
  "$cli" ${cli_args[@]+"${cli_args[@]}"} --settings "$out/$name.Ini" -o "$out/$name/$name.lis" "$@" \
      >"$out/$name.stdout" 2>"$out/$name.stderr" || status=$?
  echo "$status" >"$out/$name.status"
}
convert sample data/sample/*.LZH
convert sample-bad data/sample-bad/*/*/*.TXT
convert g6 "$out"/g6-src/*/*/*.TXT
# The error file sits beside the settings file; paths of the sources differ per checkout,
# so the listing names files relative to OUT.
cd "$out"
find . -path ./g6-src -prune -o -type f -print | LC_ALL=C sort | while read -r f; do
  printf '%s  %s\n' "$(sed -e "s#$out#OUT#g" -e "s#$root#ROOT#g" "$f" | sha256sum | cut -c1-16)" "$f"
done
