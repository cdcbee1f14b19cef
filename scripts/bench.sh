#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine; they print figures.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/build.sh" >/dev/null
. "$top/scripts/wine_env.sh"
trap vp_wine_stop EXIT
vp_wine_start private
build=${VP_BUILD_DIR:-$top/build}
for b in "$build"/win/bench/*_bench.exe; do
    echo "== $(basename "$b")"
    wine "$b"
done
