#!/usr/bin/env bash
# The run command: builds, installs "Vellumor Pro.exe" into a Wine prefix of
# its own (kept between runs in $VELLUMOR_PREFIX, default
# ~/.vellumor-pro/prefix) with the install settings record that setup would
# write, and starts it on the user's display, or on a private Xvfb display
# when there is none. Extra arguments go to the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/build.sh" >/dev/null
build=${VP_BUILD_DIR:-$top/build}

export WINEPREFIX=${VELLUMOR_PREFIX:-$HOME/.vellumor-pro/prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
. "$top/scripts/arch.sh"
exe="$build/win/capture/Vellumor Pro.exe"
if [ "$(vp_test_arch)" = i686 ]; then
    export WINEARCH=win32
else
    # No 32-bit Wine here (scripts/arch.sh): the 64-bit build of the same sources.
    export WINEARCH=win64
    exe="$build/win64/capture/Vellumor Pro.exe"
fi
xvfb_pid=
cleanup() {
    wineserver -w >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
    n=${VP_DISPLAY_BASE:-70}
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    echo "No display: running on the private display $DISPLAY"
fi
mkdir -p "$WINEPREFIX"
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1

install_win='C:\Program Files\Tarnwick\Vellumor Pro'
install_unix="$WINEPREFIX/drive_c/Program Files/Tarnwick/Vellumor Pro"
mkdir -p "$install_unix"
cp "$exe" "$install_unix/"
wine reg add 'HKLM\Software\Tarnwick' /v "Vellumor Pro" /t REG_BINARY /f \
    /d "$(python3 "$top/scripts/install_record.py" "$install_win")" >/dev/null 2>&1
echo "Starting Vellumor Pro (prefix $WINEPREFIX)"
wine "$install_unix/Vellumor Pro.exe" "$@"
