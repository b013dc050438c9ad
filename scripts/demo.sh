#!/usr/bin/env bash
# The main job on the bundled sample data. Called by `make demo` after the build.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
if [ -x "$build/bin/gridora-cli" ] && [ -d data/sample ]; then
  out=out/sample
  rm -rf "$out" && mkdir -p "$out"
  "$build/bin/gridora-cli" -o "$out/sample.lis" data/sample/*.LZH
  echo "output written to $(pwd)/$out"
else
  "$build/bin/ringweld-demo" data/engine/demo_segments.txt
fi
