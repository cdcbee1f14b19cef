#!/usr/bin/env bash
# The wizard of the packed setup.exe under Wine, each group of
# setup_wizard_tests.exe in a fresh prefix with a "Progman" helper (the
# tests start it): pages and cancels, the free-space test, an install with
# every choice and the uninstall from its registration, the removal of a
# previous version. After the uninstall, wineserver -w waits for the
# self-deleting batch: the temporary uninstaller and the batch must be gone.
# The page and install groups run at 96 and at 144 DPI; the pages are saved
# as PNG files in SHOT_DIR (the uninstall progress page passes too quickly
# to be taken), each group's in a folder of its own that the group empties
# when it starts, so that groups run as separate tests never clear each
# other's and a screenshot of an earlier run never stands in for a missing one.
# Usage: wizard_test.sh SETUP_EXE WIZARD_TESTS_EXE SHOT_DIR [GROUP...]
# GROUP: pages, install96, install144, pages144, previous, failures (an
# error, Cancel during the install, a drive's root), or shots (the
# comparison of the pages at the two DPIs); all of them when none is named.
set -uo pipefail
setup_exe=$1
tests_exe=$2
shots=$3
shift 3
groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(pages install96 install144 pages144 previous failures shots)
wanted() { [[ " ${groups[*]} " == *" $1 "* ]]; }
root=$(mktemp -d /tmp/vp-wizard-test.XXXXXX)
failures=0
. "$(dirname "$0")/../../scripts/wine_env.sh"
vp_wine_exports
own_prefix=
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
stop_own_prefix() {
    if [ -n "$own_prefix" ]; then
        WINEPREFIX="$own_prefix" wineserver -k >/dev/null 2>&1
        WINEPREFIX="$own_prefix" wineserver -w >/dev/null 2>&1
    fi
}
trap 'stop_own_prefix; rm -rf "$root"' EXIT
mkdir -p "$shots"
vp_make_prefix "$root/template"

run_group() {  # name, gtest filter, dpi
    wanted "$1" || return 0
    rm -rf "${shots:?}/$1"
    mkdir -p "$shots/$1"
    stop_own_prefix
    own_prefix="$root/$1"
    cp -a "$root/template" "$own_prefix"
    export WINEPREFIX="$own_prefix"
    drive="$WINEPREFIX/drive_c"
    if [ "$3" != 96 ]; then
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$3" /f >/dev/null 2>&1
        wineserver -k >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
    fi
    ln -sfn /sys "$WINEPREFIX/dosdevices/x:"  # a drive nobody can write to
    mkdir -p "$own_prefix-d"
    ln -sfn "$own_prefix-d" "$WINEPREFIX/dosdevices/d:"  # a drive of the test's own
    mkdir -p "$drive/vpwork" "$drive/shots"
    cp "$setup_exe" "$drive/vpwork/setup.exe"
    echo "== $1 ($3 DPI)"
    VP_SHOT_DIR='C:\shots' wine "$tests_exe" --gtest_color=no --gtest_filter="$2" || fail "group $1"
    vp_wait_prefix
    user_dir=$(ls -d "$drive/users/"* | grep -v '/Public$' | head -1)
    for f in "$user_dir/Temp/"_QvU* "$user_dir/Temp/"QvAutoDel*.bat; do
        [ ! -e "$f" ] || [ "${f##*.}" == log ] || fail "$1: $(basename "$f") left in the temporary folder"
    done
    for f in "$drive"/shots/*.bmp; do
        [ -e "$f" ] || continue
        convert "$f" "$shots/$1/$(basename "${f%.bmp}").png" || fail "screenshot $f"
    done
}

run_group pages 'Wizard.Pages*:Wizard.Cancel*:Wizard.FreeSpace*:Wizard.ProgressPageErrors:Wizard.DpiChange*:Wizard.Upgrade*' 96
run_group install96 'Wizard.Install*' 96
if wanted install96; then
    left=$(find "$drive" \( -iname '*vellumor*' -o -iname '*tarnwick*' \) -not -path "$drive/windows/*" | sort)
    [ -z "$left" ] || fail "left behind after the uninstall: $left"
fi
run_group install144 'Wizard.Install*' 144
run_group pages144 'Wizard.Pages*:Wizard.Cancel*' 144
run_group previous 'Wizard.Previous*' 96
run_group failures 'Wizard.AnError*:Wizard.CancelOnTheProgressPage*:Wizard.InstallToADriveRoot' 96
if wanted failures; then
    left=$(find "$drive" "$own_prefix-d" \( -iname '*vellumor*' -o -iname '*tarnwick*' -o -iname 'uninstall.exe' \) \
        -not -path "$drive/windows/*" | sort)
    [ -z "$left" ] || fail "left behind after the uninstalls: $left"
fi

# The pages at 144 DPI are half as large again as at 96 DPI.
pages=(104 105 109 110 111 114 117)
wanted shots || pages=()
for page in "${pages[@]}"; do
    a=$(ls "$shots"/*/96-$page.png 2>/dev/null | head -n 1)
    b=$(ls "$shots"/*/144-$page.png 2>/dev/null | head -n 1)
    if [ -n "$a" ] && [ -n "$b" ]; then
        wa=$(identify -format %w "$a")
        wb=$(identify -format %w "$b")
        [ $((wb * 100 / wa)) -ge 135 ] && [ $((wb * 100 / wa)) -le 165 ] || fail "page $page: $wa px at 96 DPI, $wb px at 144 DPI"
    else
        fail "page $page: missing screenshot"
    fi
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
