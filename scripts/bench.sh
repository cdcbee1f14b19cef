#!/usr/bin/env bash
# Builds and runs the benchmarks; they print figures. The Windows builds
# run under Wine; the image benchmark also runs in the native tree (whose
# figures include the sanitizers' cost).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/build.sh" >/dev/null
. "$top/scripts/wine_env.sh"
trap vp_wine_stop EXIT
vp_wine_start private
build=${VP_BUILD_DIR:-$top/build}
wintree=$build/win
[ "$(vp_test_arch)" = x86_64 ] && wintree=$build/win64  # no 32-bit code on this kernel
for b in "$wintree"/bench/*_bench.exe; do
    echo "== $(basename "$b")"
    wine "$b"
done
if [ -x "$build/native/bench/image_bench" ]; then
    echo "== image_bench (native)"
    "$build/native/bench/image_bench"
fi
