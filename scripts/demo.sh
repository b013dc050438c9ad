#!/usr/bin/env bash
# The main job on the bundled sample data. Called by `make demo` after the build: converts
# the sample's sheet archives with gridora-cli into a fresh output folder.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
if [ -x "$build/bin/gridora-cli" ] && compgen -G "data/sample/*.LZH" >/dev/null; then
  out=out/sample
  rm -rf "$out" && mkdir -p "$out"
  "$build/bin/gridora-cli" -o "$out/sample.lis" data/sample/*.LZH
  echo
  echo "output written to $(pwd)/$out:"
  echo "  $(ls "$out"/*.shp | wc -l) Shapefiles, the list file sample.lis, the map file sample.map and the PHP page gridora.php"
  echo "  run statistics in $(cd "$build/bin" && pwd)/gridora.Ini (or \$XDG_CONFIG_HOME/gridora/)"
  echo "  the MapServer 8 map file sample_ms8.map with the web map sample.html: look at it with"
  echo "    make serve     (Apache and mapserv on http://127.0.0.1:8080/sample.html, Ctrl-C stops)"
else
  "$build/bin/ringweld-demo" data/engine/demo_segments.txt
fi
