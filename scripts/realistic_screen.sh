#!/usr/bin/env bash
# Starts an Xvfb display showing a screen like a user's: a photo-like picture
# in a viewer, three terminals full of text, a solid desktop colour. Capture
# benchmarks measure on it, so that encoders are timed on real content rather
# than a near-uniform background (which flatters PNG sizes and times).
#
#   realistic_screen.sh start [WxH] [DISPLAY]   default 1920x1080 :77
#   realistic_screen.sh stop [DISPLAY]
#
# Needs: xvfb, imagemagick, feh, xterm, xdotool, x11-xserver-utils, fonts-dejavu-core.
# The picture is deterministic (seed 42), so runs compare.
set -eu
cmd=${1:-start}
if [ "$cmd" = stop ]; then
    d=${2:-:77}
    dir=/tmp/realistic-screen${d#:}
    [ -f "$dir/pids" ] && kill $(cat "$dir/pids") 2>/dev/null || true
    rm -f "$dir/pids"
    exit 0
fi
geom=${2:-1920x1080}
d=${3:-:77}
dir=/tmp/realistic-screen${d#:}
mkdir -p "$dir"
cd "$dir"
: > pids
Xvfb "$d" -screen 0 "${geom}x24" -nolisten tcp > xvfb.log 2>&1 &
echo $! >> pids
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X${d#:}" ] && break; sleep 0.1; done
export DISPLAY=$d
w=${geom%x*}; h=${geom#*x}
s=$(( w / 1920 )); [ "$s" -ge 1 ] || s=1      # fonts doubled at 3840 wide
xsetroot -solid '#3a6ea5' || true
photo=photo_$geom.png
[ -f "$photo" ] || convert -seed 42 -size "$geom" plasma:fractal -blur 0x1 -depth 8 "$photo"
pw=$(( w * 62 / 100 )); ph=$(( pw * 9 / 16 ))
feh --no-menus -g "${pw}x${ph}+0+0" --scale-down --image-bg black "$photo" > /dev/null 2>&1 &
echo $! >> pids
od -A x -t x1z -N 9600 "$photo" > term1.txt || true
sed -n 1,200p /usr/include/stdio.h > term2.txt 2>/dev/null || seq 1 200 > term2.txt
for i in $(seq 1 100); do printf 'job %03d  %s\n' "$i" "$(printf %s "$i" | md5sum | cut -c1-32)"; done > term3.txt
font='DejaVu Sans Mono'
xterm -geometry 90x62+$(( pw + 5 ))+0 -fa "$font" -fs $(( 9 * s )) -bg black -fg '#d0d0d0' -T term1 -e sh -c 'cat term1.txt; exec sleep 100000' &
echo $! >> pids
xterm -geometry 150x26+0+$(( ph + 5 )) -fa "$font" -fs $(( 10 * s )) -bg white -fg black -T term2 -e sh -c 'cat term2.txt; exec sleep 100000' &
echo $! >> pids
xterm -geometry 100x14+$(( w * 45 / 100 ))+$(( h * 55 / 100 )) -fa "$font" -fs $(( 10 * s )) -bg '#202840' -fg '#a0ffa0' -T term3 -e sh -c 'cat term3.txt; exec sleep 100000' &
echo $! >> pids
sleep 3
xdotool search --name '^term3$' windowraise > /dev/null 2>&1 || true
sleep 0.5
echo "realistic screen ready on $d ($geom); stop with: $0 stop $d"
