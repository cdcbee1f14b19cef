# Sourced by the scripts that run our programs under Wine: the Wine
# settings of this route, prefixes made for tests, and a private Wine
# prefix with, when asked for or when there is no display, a private Xvfb
# display (of VP_SCREEN, default 1280x1024x24). vp_wine_start
# [private-display]; vp_wine_stop undoes it.

. "$(dirname "${BASH_SOURCE[0]}")/arch.sh"

# Quiet Wine without desktop-menu side effects, in the architecture of the
# build that runs here (scripts/arch.sh).
vp_wine_exports() {
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
    if [ "$(vp_test_arch)" = x86_64 ]; then export WINEARCH=win64; else export WINEARCH=win32; fi
}

# Makes the Wine prefix DIR for a test: a copy of VP_WINE_TEMPLATE when
# there is one, else a new one. No window manager runs on a test display,
# and Wine waits up to 2 s for one whenever a managed top-level window is
# hidden or destroyed: the windows are unmanaged there.
vp_make_prefix() {
    local dir=$1
    if [ -n "${VP_WINE_TEMPLATE:-}" ] && [ -f "$VP_WINE_TEMPLATE/system.reg" ] && [ "$dir" != "$VP_WINE_TEMPLATE" ]; then
        rm -rf "$dir"
        cp -a "$VP_WINE_TEMPLATE" "$dir"
        return
    fi
    WINEPREFIX="$dir" wineboot -i >/dev/null 2>&1
    WINEPREFIX="$dir" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    WINEPREFIX="$dir" wineserver -w >/dev/null 2>&1
    # Wine links the user's Desktop, Documents, ... to $HOME: shared by every
    # copy of this prefix (and the user's own home). Folders of its own.
    local link
    for link in "$dir"/drive_c/users/*/*; do
        [ -L "$link" ] || continue
        rm -f "$link"
        mkdir -p "$link"
    done
}

# True while a program of this prefix runs, Wine's own services and
# desktop aside (a Wine process's command line starts with its Windows path).
vp_prefix_runs_programs() {
    local env cmd
    for env in /proc/[0-9]*/environ; do
        tr '\0' '\n' 2>/dev/null <"$env" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
        cmd=$(tr '\0' ' ' 2>/dev/null <"${env%/environ}/cmdline")
        case "$cmd" in
        *'\system32\services.exe'* | *'\system32\winedevice.exe'* | *'\system32\plugplay.exe'* | \
            *'\system32\svchost.exe'* | *'\system32\explorer.exe'* | *'\system32\rpcss.exe'* | \
            *'\system32\conhost.exe'*) ;;
        [A-Za-z]:\\*) return 0 ;;
        esac
    done
    return 1
}

# Waits for every program of this prefix to end (wineserver -w). Now and
# then Wine's services and desktop stay on after the last program ended
# (seen under full load), and the wait would never end: once nothing else
# of the prefix has run for 20 s, the server is told to end them.
vp_wait_prefix() {
    local idle=0
    until timeout 2 wineserver -w >/dev/null 2>&1; do
        if vp_prefix_runs_programs; then idle=0; else idle=$((idle + 1)); fi
        if [ $idle -ge 10 ]; then
            wineserver -k >/dev/null 2>&1
            wineserver -w >/dev/null 2>&1
            return 0
        fi
    done
}

vp_wine_start() {
    local want_private=${1:-}
    VP_RUN_DIR=$(mktemp -d /tmp/vellumor-run.XXXXXX)
    export WINEPREFIX="$VP_RUN_DIR/prefix"
    vp_wine_exports
    export HOME="$VP_RUN_DIR/home"  # the recycle bin of Wine lives below HOME
    export VP_TEST_ROOT="$VP_RUN_DIR/tests"
    mkdir -p "$HOME" "$VP_TEST_ROOT"
    VP_XVFB_PID=
    if [ -n "$want_private" ] || [ -z "${DISPLAY:-}" ]; then
        local n=${VP_DISPLAY_BASE:-90}
        while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 "${VP_SCREEN:-1280x1024x24}" -nolisten tcp >/dev/null 2>&1 &
        VP_XVFB_PID=$!
        export DISPLAY=":$n"
        local i
        for i in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
    fi
    wineboot -i >/dev/null 2>&1
    wineserver -p >/dev/null 2>&1 || true
}

vp_wine_stop() {
    if [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    fi
    if [ -n "${VP_XVFB_PID:-}" ]; then
        kill "$VP_XVFB_PID" 2>/dev/null || true
        wait "$VP_XVFB_PID" 2>/dev/null || true
    fi
    [ -n "${VP_RUN_DIR:-}" ] && rm -rf "$VP_RUN_DIR"
    return 0
}
