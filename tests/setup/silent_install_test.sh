#!/usr/bin/env bash
# The packed setup.exe installed and removed silently under Wine, each
# install in a fresh prefix: files, folders, registry values (wine reg
# query), the log files, exit codes, a second install over the first while
# the installed program runs, and what an uninstall leaves behind.
# Usage: silent_install_test.sh SETUP_EXE MAIN_PROGRAM_EXE
set -uo pipefail
setup_exe=$1
main_exe=$2
root=$(mktemp -d /tmp/vp-setup-test.XXXXXX)
failures=0
. "$(dirname "$0")/../../scripts/wine_env.sh"
vp_wine_exports
program_pid=
own_prefix=  # the prefix this test made last; the caller's prefix is never touched

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
expect_eq() {  # what, expected, actual
    [ "$2" == "$3" ] || fail "$1: expected [$2], got [$3]"
}
expect_file() { [ -f "$1" ] || fail "missing file $1"; }
expect_dir() { [ -d "$1" ] || fail "missing folder $1"; }
expect_gone() { [ ! -e "$1" ] || fail "left behind: $1"; }

stop_own_prefix() {
    if [ -n "$own_prefix" ]; then
        WINEPREFIX="$own_prefix" wineserver -k >/dev/null 2>&1
        WINEPREFIX="$own_prefix" wineserver -w >/dev/null 2>&1
    fi
}

cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
    stop_own_prefix
    rm -rf "$root"
}
trap cleanup EXIT

new_prefix() {  # name
    stop_own_prefix
    own_prefix="$root/$1"
    export WINEPREFIX="$own_prefix"
    vp_make_prefix "$WINEPREFIX"
    drive="$WINEPREFIX/drive_c"
    user_dir=$(ls -d "$drive/users/"* | grep -v '/Public$' | head -1)
}

# A registry value as "TYPE DATA" (empty when missing).
reg_value() {  # key, value name
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '
        { line = $0; sub(/^ +/, "", line) }
        index(line, n " ") == 1 { rest = substr(line, length(n) + 1); sub(/^ +/, "", rest); print rest }'
}
key_exists() { wine reg query "$1" >/dev/null 2>&1; }

# The fields of the install settings record, decoded.
record_fields() {
    reg_value 'HKLM\Software\Tarnwick' "Vellumor Pro" | awk '{print $2}' | python3 -c '
import struct, sys
r = bytes.fromhex(sys.stdin.read().strip())
text = lambda o: r[o:o + 260].split(b"\0")[0].decode("latin-1")
v, = struct.unpack_from("<H", r, 0)
major, minor, forall, custom, peruser = struct.unpack_from("<5h", r, 10)
print(len(r), v, "%d.%d" % (major, minor), forall, custom, peruser, text(20), text(280), text(800), text(1060), sep="|")'
}

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellumor Pro'

check_uninstall_registration() {  # install folder (Windows path), folder (Unix path)
    expect_eq "DisplayName" "REG_SZ    Vellumor Pro" "$(reg_value "$uninstall_key" DisplayName)"
    expect_eq "DisplayIcon" "REG_SZ    $1\\Vellumor Pro.exe,0" "$(reg_value "$uninstall_key" DisplayIcon)"
    expect_eq "DisplayVersion" "REG_SZ    4.13.0" "$(reg_value "$uninstall_key" DisplayVersion)"
    expect_eq "Publisher" "REG_SZ    Tarnwick" "$(reg_value "$uninstall_key" Publisher)"
    for v in HelpLink URLInfoAbout URLUpdateInfo; do
        expect_eq "$v" "REG_SZ    http://www.tarnwick.example/" "$(reg_value "$uninstall_key" $v)"
    done
    expect_eq "UninstallString" "REG_SZ    \"$1\\Uninstall.exe\"" "$(reg_value "$uninstall_key" UninstallString)"
    expect_eq "InstallLocation" "REG_SZ    $1" "$(reg_value "$uninstall_key" InstallLocation)"
    expect_eq "NoModify" "REG_DWORD    0x1" "$(reg_value "$uninstall_key" NoModify)"
    expect_eq "NoRepair" "REG_DWORD    0x1" "$(reg_value "$uninstall_key" NoRepair)"
    local kb
    kb=$(( ($(stat -c %s "$2/Vellumor Pro.exe") + $(stat -c %s "$2/Vellumor Pro.chm") + $(stat -c %s "$2/Uninstall.exe") + $3) / 1024 ))
    expect_eq "EstimatedSize" "REG_DWORD    $(printf '0x%x' $kb)" "$(reg_value "$uninstall_key" EstimatedSize)"
}

# "MACHINE ARCHES": the architecture the program's PE header names, and
# those its manifests ask for (comctl32 of another architecture does not
# load where both Wines are installed).
manifest_arches() {
    python3 - "$1" <<'PY'
import re, struct, sys
data = open(sys.argv[1], "rb").read()
machine = struct.unpack_from("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4)[0]
wanted = set(a.decode() for a in re.findall(rb'processorArchitecture="([^"]*)"', data))
print({0x14C: "x86", 0x8664: "amd64"}.get(machine, hex(machine)), " ".join(sorted(wanted)))
PY
}

check_installed_files() {  # folder (Unix path)
    cmp -s "$main_exe" "$1/Vellumor Pro.exe" || fail "$1/Vellumor Pro.exe differs from the build's program"
    expect_file "$1/Uninstall.exe"
    local exe arches
    for exe in "Vellumor Pro.exe" Uninstall.exe; do
        arches=$(manifest_arches "$1/$exe")
        expect_eq "$exe: its architecture and its manifests'" "${arches%% *} ${arches%% *}" "$arches"
    done
    expect_file "$1/Vellumor Pro.chm"
    expect_eq "uninstaller mode tag" 1 "$(grep -c -a 'SetupMode:Unins' "$1/Uninstall.exe")"
}

# Everything of ours still in the prefix: files and folders, registry.
leftovers() {
    find "$drive" \( -iname '*vellumor*' -o -iname '*tarnwick*' \) -not -path "$drive/windows/*" \
        -not -name '_QvUItmp.exe' -not -name '_QvUItmp.log' | sort
    grep -i -h 'vellumor' "$WINEPREFIX"/*.reg | sort
}

echo "== default silent install, second install over a running program, uninstall"
new_prefix default
work="$root/work"
mkdir -p "$work"
cp "$setup_exe" "$work/setup.exe"
(cd "$work" && wine setup.exe -SILENT)
expect_eq "exit code of the install" 0 $?
expect_eq "log" "Setup finished successfully!" "$(tr -d '\r' < "$work/setup.log")"
pf="$drive/Program Files/Vellumor Pro"
check_installed_files "$pf"
check_uninstall_registration 'C:\Program Files\Vellumor Pro' "$pf" 0
expect_eq "install record" \
    "1328|1|4.13|1|0|0|C:\\Program Files\\Vellumor Pro|${user_dir#$drive/}|http://www.tarnwick.example/vellumor/version.txt|http://www.tarnwick.example/vellumor/" \
    "$(record_fields | sed "s#C:\\\\users\\\\[^|]*\\\\AppData\\\\Roaming\\\\Tarnwick\\\\Vellumor Pro#${user_dir#$drive/}#")"
data="$user_dir/AppData/Roaming/Tarnwick/Vellumor Pro"
expect_dir "$data"
# For all users without "-INSTALL=": the shortcuts are the common ones.
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Vellumor Pro"
expect_file "$drive/users/Public/Desktop/Vellumor Pro.lnk"
expect_file "$menu/Vellumor Pro.lnk"
expect_file "$menu/Uninstall.lnk"
expect_eq "web link" "[InternetShortcut]|URL=http://www.tarnwick.example/" \
    "$(tr -d '\r' < "$menu/Tarnwick Website.url" | paste -sd '|')"
expect_gone "$user_dir/Desktop/Vellumor Pro.lnk"

# The installed program runs (it reads the record), then a second install
# quits it and installs over it.
(cd "$pf" && exec wine "Vellumor Pro.exe") &
program_pid=$!
for _ in $(seq 1 300); do [ -d "$drive/ProgramData/Tarnwick/Vellumor Pro" ] && break; sleep 0.1; done
expect_dir "$drive/ProgramData/Tarnwick/Vellumor Pro"
sleep 3
kill -0 "$program_pid" 2>/dev/null || fail "the installed program did not keep running"
(cd "$work" && wine setup.exe -SILENT)
expect_eq "exit code of the second install" 0 $?
expect_eq "second log" "Setup finished successfully!" "$(tr -d '\r' < "$work/setup.log")"
for _ in $(seq 1 100); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program_pid" 2>/dev/null && fail "the running program was not closed by the second install"
program_pid=
expect_file "$data/Options.qcg"  # written by the program as it quit
check_installed_files "$pf"
check_uninstall_registration 'C:\Program Files\Vellumor Pro' "$pf" 0

# Uninstall, started in the install folder: the temporary copy works from
# the temporary folder, so the install folder can go.
(cd "$pf" && wine Uninstall.exe -SILENT)
expect_eq "exit code of the uninstaller" 0 $?
wineserver -w
temp="$user_dir/Temp"
expect_eq "uninstall log" "Uninstall finished successfully!" "$(tr -d '\r' 2>/dev/null < "$temp/_QvUItmp.log")"
expect_gone "$pf"
expect_gone "$data"
expect_gone "$user_dir/AppData/Roaming/Tarnwick"
expect_gone "$drive/ProgramData/Tarnwick"
expect_gone "$menu"
expect_gone "$drive/users/Public/Desktop/Vellumor Pro.lnk"
key_exists "$uninstall_key" && fail "uninstall registration left behind"
expect_eq "install record" "" "$(reg_value 'HKLM\Software\Tarnwick' 'Vellumor Pro')"
expect_eq "what is left of ours" "" "$(leftovers)"

echo "== silent install to chosen folders for the user, with an Init file, and uninstall"
new_prefix custom
mkdir -p "$drive/seed"
printf 'gOpt.Delay=5\r\n' > "$drive/seed/start.ini"
cp "$setup_exe" "$drive/seed/setup.exe"
(cd "$drive/seed" && wine setup.exe '-INSTALL=C:\Apps\VP,-DATA=C:\VData,-USE=C:\seed\start.ini')
expect_eq "exit code of the install" 0 $?
expect_eq "log" "Setup finished successfully!" "$(tr -d '\r' < "$drive/seed/setup.log")"
app="$drive/Apps/VP"
check_installed_files "$app"
expect_eq "Init file" "gOpt.Delay=5" "$(tr -d '\r' < "$app/Init/start.ini")"
check_uninstall_registration 'C:\Apps\VP' "$app" "$(stat -c %s "$app/Init/start.ini")"
expect_eq "install record" \
    "1328|1|4.13|0|1|0|C:\\Apps\\VP|C:\\VData|http://www.tarnwick.example/vellumor/version.txt|http://www.tarnwick.example/vellumor/" \
    "$(record_fields)"
expect_dir "$drive/VData"
# For the user: the user's own shortcut folders.
umenu="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Vellumor Pro"
expect_file "$user_dir/Desktop/Vellumor Pro.lnk"
expect_file "$umenu/Vellumor Pro.lnk"
expect_gone "$drive/users/Public/Desktop/Vellumor Pro.lnk"
(cd "$app" && wine Uninstall.exe -SILENT)
expect_eq "exit code of the uninstaller" 0 $?
wineserver -w
expect_gone "$app"
expect_gone "$drive/VData"
expect_gone "$umenu"
expect_gone "$user_dir/Desktop/Vellumor Pro.lnk"
expect_eq "what is left of ours" "" "$(leftovers)"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
