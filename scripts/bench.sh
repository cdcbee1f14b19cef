#!/usr/bin/env bash
# Builds and runs the benchmarks; they print figures. The Windows builds
# run under Wine; the capture benchmark once on a 1920x1080 and once on a
# 3840x2160 display; the image benchmark also runs in the native tree
# (whose figures include the sanitizers' cost).
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
    [ "$(basename "$b")" = capture_bench.exe ] && continue
    echo "== $(basename "$b")"
    wine "$b"
done
vp_wine_stop
for screen in 1920x1080x24 3840x2160x24; do
    echo "== capture_bench.exe on $screen"
    VP_SCREEN=$screen vp_wine_start private
    # No window manager runs on the private display: Wine would wait 2 s for
    # one whenever a full-screen window (the overlay) is hidden, which is no
    # part of the program's time. Unmanaged windows skip that wait.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
    wine "$wintree/bench/capture_bench.exe"
    vp_wine_stop
done
if [ -x "$build/native/bench/image_bench" ]; then
    echo "== image_bench (native)"
    "$build/native/bench/image_bench"
fi
