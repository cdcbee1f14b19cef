#!/usr/bin/env bash
# The run command: builds, installs the program silently through the packed
# setup.exe into a Wine prefix of its own (kept between runs in
# $VELLUMOR_PREFIX, default ~/.vellumor-pro/prefix), and starts the
# installed program on the user's display, or on a private Xvfb display
# when there is none. Extra arguments go to the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/build.sh" >/dev/null
build=${VP_BUILD_DIR:-$top/build}

export WINEPREFIX=${VELLUMOR_PREFIX:-$HOME/.vellumor-pro/prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
. "$top/scripts/arch.sh"
setup_exe="$build/win/setup/setup.exe"
if [ "$(vp_test_arch)" = i686 ]; then
    export WINEARCH=win32
else
    # No 32-bit Wine here (scripts/arch.sh): the 64-bit build of the same sources.
    export WINEARCH=win64
    setup_exe="$build/win64/setup/setup.exe"
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

# Setup quits a running copy, installs over it and writes its log.
work="$WINEPREFIX/drive_c/vellumor-setup"
mkdir -p "$work"
cp "$setup_exe" "$work/setup.exe"
echo "Installing Vellumor Pro through setup.exe (prefix $WINEPREFIX)"
(cd "$work" && wine setup.exe -SILENT) || true
if ! tr -d '\r' < "$work/setup.log" 2>/dev/null | grep -qx 'Setup finished successfully!'; then
    echo "setup.exe failed:" >&2
    cat "$work/setup.log" >&2 2>/dev/null || true
    exit 1
fi
install_win=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellumor Pro' \
    /v InstallLocation 2>/dev/null | tr -d '\r' | sed -n 's/^ *InstallLocation *REG_SZ *//p')
install_unix=$(winepath -u "$install_win" 2>/dev/null)
echo "Starting Vellumor Pro from $install_win"
wine "$install_unix/Vellumor Pro.exe" "$@"
