#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine; they print figures.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/build.sh" >/dev/null
. "$top/scripts/wine_env.sh"
trap vp_wine_stop EXIT
vp_wine_start private
wine "$top/build/win/bench/zip_bench.exe"
