#!/usr/bin/env bash
# Builds and runs the benchmarks; they print figures. The Windows builds
# run under Wine. The capture and codec benchmarks run on a realistic
# screen (the shared bench/realistic-screen.sh beside the repository, or
# $VP_SHARED/bench/...: a photo-like picture and three terminals) at 1920x1080 and 3840x2160; their peers (scrot, ImageMagick's
# import, cjpeg) are timed here, outside Wine, in the same run, best of
# five, and handed over in a figures file (VP_PEER_FIGURES: lines "key
# seconds bytes") for the benchmarks to print as ratios. The image
# benchmark also runs in the native tree (whose figures include the
# sanitizers' cost). "scripts/bench.sh screen" runs only the two on the
# realistic screen.
set -euo pipefail
only=${1:-}
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/packages.sh"
screen_script=${VP_SHARED:-$top/../shared}/bench/realistic-screen.sh
[ -f "$screen_script" ] || { echo "no $screen_script (set VP_SHARED to the shared folder)" >&2; exit 1; }
# What the realistic screen and the peers need.
missing=$(vp_missing_packages feh xterm xdotool x11-xserver-utils fonts-dejavu-core scrot imagemagick \
    libjpeg-turbo-progs)
if [ -n "$missing" ]; then
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing >/dev/null
fi
bash "$top/scripts/build.sh" >/dev/null
. "$top/scripts/wine_env.sh"
trap 'vp_wine_stop; [ -n "${screen_display:-}" ] && bash "$screen_script" stop "$screen_display"' EXIT
build=${VP_BUILD_DIR:-$top/build}
wintree=$build/win
[ "$(vp_test_arch)" = x86_64 ] && wintree=$build/win64  # no 32-bit code on this kernel
if [ "$wintree" = "$build/win64" ]; then
    echo "== benchmarks of the 64-bit build ($wintree) under 64-bit Wine: $(vp_route_line)"
else
    echo "== benchmarks of the 32-bit build ($wintree) under 32-bit Wine"
fi
if [ "$only" != screen ]; then
    vp_wine_start private
    for b in "$wintree"/bench/*_bench.exe; do
        case "$(basename "$b")" in capture_bench.exe | codec_bench.exe) continue ;; esac
        echo "== $(basename "$b")"
        wine "$b"
    done
    vp_wine_stop
fi

# Best wall time of five runs of a command, in seconds.
best_of_five() {
    local best= i s e t
    for i in 1 2 3 4 5; do
        s=$(date +%s%N)
        "$@" >/dev/null 2>&1 || { echo -1; return; }
        e=$(date +%s%N)
        t=$((e - s))
        [ -z "$best" ] || [ "$t" -lt "$best" ] && best=$t
    done
    awk -v n="$best" 'BEGIN { printf "%.6f\n", n / 1e9 }'
}

work=$(mktemp -d /tmp/vellumor-bench.XXXXXX)
for geom in 1920x1080 3840x2160; do
    n=77
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    screen_display=:$n
    bash "$screen_script" start "$geom" "$screen_display" >/dev/null
    export DISPLAY=$screen_display
    figures=$work/figures-$geom.txt
    : >"$figures"
    # The peers, on the same screen, before ours.
    t=$(best_of_five scrot -o "$work/scrot.png")
    echo "scrot $t $(stat -c %s "$work/scrot.png")" >>"$figures"
    t=$(best_of_five import -window root "$work/import.png")
    echo "import $t $(stat -c %s "$work/import.png")" >>"$figures"
    # The screen as a picture for the codec benchmark; cjpeg on it, less
    # the time of reading the input.
    ppm=$work/screen-$geom.ppm
    import -window root -depth 8 "PPM:$ppm"
    read_time=$(best_of_five cat "$ppm")
    for mode in "baseline:-quality 90 -baseline" "progressive:-quality 90 -baseline -progressive" \
        "optimised:-quality 90 -baseline -optimize"; do
        # shellcheck disable=SC2086
        t=$(best_of_five cjpeg ${mode#*:} -outfile "$work/cjpeg.jpg" "$ppm")
        dt=$(best_of_five djpeg -ppm -outfile /dev/null "$work/cjpeg.jpg")
        echo "cjpeg-${mode%%:*} $(awk -v a="$t" -v b="$read_time" 'BEGIN { printf "%.6f", a - b }') $(stat -c %s "$work/cjpeg.jpg")" >>"$figures"
        echo "djpeg-${mode%%:*} $dt 0" >>"$figures"
    done
    export VP_PEER_FIGURES=$figures VP_BENCH_SCREEN=$ppm
    vp_wine_start
    # No window manager runs on the display: Wine would wait 2 s for one
    # whenever a full-screen window (the overlay) is hidden, which is no
    # part of the program's time. Unmanaged windows skip that wait.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    echo "== capture_bench.exe on the realistic screen, $geom (load: $load)"
    wine "$wintree/bench/capture_bench.exe" | tee -a "$work/out.txt"
    echo "summary: load average before the $geom run: $load" >>"$work/out.txt"
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    echo "== codec_bench.exe on the realistic screen, $geom (load: $load)"
    wine "$wintree/bench/codec_bench.exe" | tee -a "$work/out.txt"
    vp_wine_stop
    bash "$screen_script" stop "$screen_display"
    screen_display=
done
# The figures of the issue's table in one place: per screen size the
# capture to a PNG file beside scrot, the overlay, 256 colours and JPEG
# option 1 beside cjpeg, with the load averages of the run.
echo "== summary ($([ "$wintree" = "$build/win64" ] && echo 64-bit || echo 32-bit) build; load now: $(cut -d' ' -f1-3 /proc/loadavg))"
grep '^summary: ' "$work/out.txt" | sed 's/^summary: /  /' || true
rm -rf "$work"
if [ "$only" != screen ] && [ -x "$build/native/bench/image_bench" ]; then
    echo "== image_bench (native)"
    "$build/native/bench/image_bench"
fi
