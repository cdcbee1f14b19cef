#!/usr/bin/env bash
# The packed setup.exe installed and removed silently under Wine, each
# install in a fresh prefix: files, folders, registry values (wine reg
# query), the log files, exit codes, a second install over the first while
# the installed program runs, and what an uninstall leaves behind; runs
# that fail or are refused (exit codes, logs, nothing left that the
# registered uninstaller cannot remove), an uninstall against a program
# that never answers, a previous version or another folder's, a drive root, a full disk.
# Usage: silent_install_test.sh SETUP_EXE MAIN_PROGRAM_EXE HELPER_EXE [GROUP...]
# GROUP: main, failures, hung, previous, root; all of them when none is named.
set -uo pipefail
setup_exe=$1
main_exe=$2
helper_exe=$3
shift 3
groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(main failures hung previous root)
wanted() { [[ " ${groups[*]} " == *" $1 "* ]]; }
root=$(mktemp -d /tmp/vp-setup-test.XXXXXX)
failures=0
. "$(dirname "$0")/../../scripts/wine_env.sh"
vp_wine_exports
program_pid=
helper_pid=
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
    [ -n "$helper_pid" ] && kill "$helper_pid" 2>/dev/null
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

# A registry value as "TYPE DATA" (empty when missing). Asked up to three
# times: under the suite's full load a "wine reg" now and then prints nothing.
reg_value() {  # key, value name
    local value
    for _ in 1 2 3; do
        value=$(wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '
            { line = $0; sub(/^ +/, "", line) }
            index(line, n " ") == 1 { rest = substr(line, length(n) + 1); sub(/^ +/, "", rest); print rest }')
        [ -n "$value" ] && break
    done
    if [ -n "$value" ]; then printf '%s\n' "$value"; fi
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
    key_exists 'HKLM\Software\Tarnwick' && echo 'HKLM\Software\Tarnwick'
}

if wanted main; then
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
# the temporary folder, so the install folder can go; it returns when done.
(cd "$pf" && wine Uninstall.exe -SILENT)
expect_eq "exit code of the uninstaller" 0 $?
[ -e "$pf/Vellumor Pro.exe" ] && fail "the uninstaller returned before the uninstall ended"
vp_wait_prefix
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
# An upgrade without "-DATA=" stays for the user; the Init file the first
# install put there is its own, and is replaced.
printf 'gOpt.Delay=7\r\n' > "$drive/seed/start.ini"
(cd "$drive/seed" && wine setup.exe '-INSTALL=C:\Apps\VP,-USE=C:\seed\start.ini')
expect_eq "exit code of an upgrade with -INSTALL= and the same -USE= file" 0 $?
expect_eq "Init file after the upgrade" "gOpt.Delay=7" "$(tr -d '\r' < "$app/Init/start.ini")"
(cd "$app" && wine Uninstall.exe -SILENT)
expect_eq "exit code of the uninstaller" 0 $?
vp_wait_prefix
expect_gone "$drive/Apps"  # made by the install
expect_gone "$drive/VData"
expect_gone "$umenu"
expect_gone "$user_dir/Desktop/Vellumor Pro.lnk"
expect_eq "what is left of ours" "" "$(leftovers)"

fi

# Runs the installed program (Windows path) for a few seconds, then quits
# it with a "-QUIT" start.
run_and_quit() {
    (exec wine "$1") &
    program_pid=$!
    sleep 5
    kill -0 "$program_pid" 2>/dev/null || fail "$1 did not keep running"
    wine "$1" -QUIT
    for _ in $(seq 1 200); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$program_pid" 2>/dev/null && fail "$1 did not quit"
    program_pid=
}

# What an install stopped while it wrote its files (killed, power lost)
# leaves beside their places: part of the program in its ".tmp", the
# manual's, and an upgrade's uninstaller's.
leave_partial_files() {  # install folder (Unix path)
    head -c 100000 "$1/Vellumor Pro.exe" > "$1/Vellumor Pro.exe.tmp"
    head -c 1000 "$1/Vellumor Pro.chm" > "$1/Vellumor Pro.chm.tmp"
    head -c 1000 "$1/Uninstall.exe" > "$1/Uninstall.exe.tmp"
    rm "$1/Vellumor Pro.exe" "$1/Vellumor Pro.chm"
}

# The installation named by the uninstall registration, removed by its own
# uninstaller.
run_registered_uninstaller() {
    local line exe
    line=$(reg_value "$uninstall_key" UninstallString)
    exe=${line#REG_SZ    }
    exe=${exe//\"/}
    [ -n "$line" ] || { fail "no uninstall registration"; return; }
    wine "$exe" -SILENT
    expect_eq "exit code of the registered uninstaller" 0 $?
    vp_wait_prefix
    expect_eq "uninstall log" "Uninstall finished successfully!" "$(tr -d '\r' 2>/dev/null < "$user_dir/Temp/_QvUItmp.log")"
}

if wanted failures; then
    echo "== a failure midway: exit code, log, and the registered uninstaller removes the rest"
    new_prefix midway
    mkdir -p "$drive/seed"
    cp "$setup_exe" "$drive/seed/setup.exe"
    printf 'not a folder' > "$drive/blocker"  # the data folder cannot be made below a file
    (cd "$drive/seed" && wine setup.exe '-INSTALL=C:\Apps\VP,-DATA=C:\blocker\data')
    expect_eq "exit code of the failed install" 7 $?
    log=$(tr -d '\r' < "$drive/seed/setup.log")
    expect_eq "first line of the log" "The specified directory could not be created!" "$(head -1 <<<"$log")"
    grep -q '^Script line [0-9]*: CreateDir #CONFIGPATH#$' <<<"$log" || fail "the log names no failing line: $log"
    expect_eq "last line of the log" "Setup failed!" "$(tail -1 <<<"$log")"
    run_registered_uninstaller
    expect_gone "$drive/Apps/VP"
    expect_eq "what is left of ours" "" "$(leftovers)"
    expect_file "$drive/blocker"

    echo "== a failure before the registration leaves nothing"
    new_prefix planted
    mkdir -p "$drive/seed" "$drive/Apps/VP/Uninstall.exe"  # a folder where the uninstaller goes
    cp "$setup_exe" "$drive/seed/setup.exe"
    (cd "$drive/seed" && wine setup.exe '-INSTALL=C:\Apps\VP')
    expect_eq "exit code of the failed install" 8 $?
    log=$(tr -d '\r' < "$drive/seed/setup.log")
    expect_eq "first line of the log" "A file could not be copied! If Vellumor Pro is currently running," "$(head -1 <<<"$log")"
    grep -q '^Script line [0-9]*: CopyUninstall "#INSTALLPATH#\\Uninstall.exe"$' <<<"$log" ||
        fail "the log names no failing line: $log"
    expect_eq "last line of the log" "Setup failed!" "$(tail -1 <<<"$log")"
    expect_eq "install folder" "Uninstall.exe" "$(ls -A "$drive/Apps/VP")"
    key_exists "$uninstall_key" && fail "an uninstall registration without an uninstaller"
    expect_eq "what is left of ours" "" "$(leftovers)"
    # Another program's uninstaller is kept; files that were there stay, and that is no failure.
    rmdir "$drive/Apps/VP/Uninstall.exe"
    printf 'MZ another program' > "$drive/Apps/VP/Uninstall.exe"
    (cd "$drive/seed" && wine setup.exe '-INSTALL=C:\Apps\VP')
    expect_eq "exit code beside another program's uninstaller" 8 $?
    mv "$drive/Apps/VP/Uninstall.exe" "$drive/Apps/VP/notes.txt"
    printf 'mine' > "$drive/Apps/VP/Vellumor Pro.txt"  # our name, the user's file
    (cd "$drive/seed" && wine setup.exe '-INSTALL=C:\Apps\VP')
    expect_eq "exit code of the install into a folder with files" 0 $?
    leave_partial_files "$drive/Apps/VP"
    run_registered_uninstaller
    expect_eq "the shared folder after the uninstall" "Vellumor Pro.txt|notes.txt MZ another program mine" \
        "$(LC_ALL=C ls -A "$drive/Apps/VP" | paste -sd '|') $(cat "$drive/Apps/VP/notes.txt") $(cat "$drive/Apps/VP/Vellumor Pro.txt")"

    echo "== after an install stopped while it wrote the program, a new run ends whole and the uninstaller removes the rest"
    (cd "$drive/seed" && wine setup.exe '-INSTALL=C:\Stopped')
    expect_eq "exit code of the install" 0 $?
    leave_partial_files "$drive/Stopped"
    (cd "$drive/seed" && wine setup.exe '-INSTALL=C:\Stopped')
    expect_eq "exit code of the install over a stopped one" 0 $?
    check_installed_files "$drive/Stopped"
    expect_eq "the install folder" "Uninstall.exe|Vellumor Pro.chm|Vellumor Pro.exe" "$(LC_ALL=C ls -A "$drive/Stopped" | paste -sd '|')"
    leave_partial_files "$drive/Stopped"
    run_registered_uninstaller
    expect_gone "$drive/Stopped"

    echo "== folders that are not absolute are refused before anything is written"
    new_prefix relative
    mkdir -p "$drive/seed"
    cp "$setup_exe" "$drive/seed/setup.exe"
    for args in '-INSTALL=Apps\VP' '-INSTALL=\Apps\VP' '-INSTALL=C:Apps\VP' '-INSTALL=C:\Apps\VP,-DATA=VData' \
        '-SILENT -DATA=..\VData' '-INSTALL=\\' '-INSTALL=\\?\C:\Apps' '-INSTALL=\\.\C:\Apps'; do
        (cd "$drive/seed" && wine setup.exe "$args")
        expect_eq "exit code for $args" 35 $?
        expect_eq "log for $args" "You must use an absolute path (including a drive letter or network drive)!|Setup failed!" \
            "$(tr -d '\r' < "$drive/seed/setup.log" | paste -sd '|')"
        expect_eq "files beside the setup file after $args" "setup.exe setup.log" "$(ls "$drive/seed" | paste -sd ' ')"
        expect_gone "$drive/Apps"
        expect_gone "$drive/VData"
        expect_eq "what is left of ours after $args" "" "$(leftovers)"
    done
    echo "== a folder given in another spelling is recorded in one, and its uninstaller removes it"
    (cd "$drive/seed" && wine setup.exe '-INSTALL=C:\Apps\..\VPX')
    expect_eq "exit code for C:\Apps\..\VPX" 0 $?
    expect_eq "install folder of the record" 'C:\VPX' "$(record_fields | cut -d'|' -f7)"
    expect_eq "UninstallString" "REG_SZ    \"C:\\VPX\\Uninstall.exe\"" "$(reg_value "$uninstall_key" UninstallString)"
    expect_gone "$drive/Apps"
    # An install that an earlier build recorded as it was typed is its
    # uninstaller's folder too.
    hex=$(reg_value 'HKLM\Software\Tarnwick' "Vellumor Pro" | awk '{print $2}' | python3 -c '
import sys; r = bytearray.fromhex(sys.stdin.read()); r[20:280] = b"C:\\Apps\\..\\VPX".ljust(260, b"\0"); print(r.hex())')
    wine reg add 'HKLM\Software\Tarnwick' /v "Vellumor Pro" /t REG_BINARY /d "$hex" /f >/dev/null 2>&1
    expect_eq "install folder of the record as typed" 'C:\Apps\..\VPX' "$(record_fields | cut -d'|' -f7)"
    run_registered_uninstaller
    expect_gone "$drive/VPX"
    expect_eq "what is left of ours" "" "$(leftovers)"
    (cd "$drive/seed" && wine setup.exe '-INSTALL=C:\Apps\Q R')
    expect_eq "exit code for one argument quoted whole (as Wine, PowerShell and .NET quote it)" 0 $?
    expect_file "$drive/Apps/Q R/Vellumor Pro.exe"
fi

if wanted hung; then
    echo "== an uninstall that cannot close the program reports failure"
    new_prefix hung
    mkdir -p "$drive/seed"
    cp "$setup_exe" "$drive/seed/setup.exe"
    (cd "$drive/seed" && wine setup.exe -SILENT)
    expect_eq "exit code of the install" 0 $?
    pf="$drive/Program Files/Vellumor Pro"
    # A stand-in of the program, run from the install folder, whose window
    # never answers.
    cp "$helper_exe" "$pf/Vellumor Pro.exe"
    (cd "$pf" && exec wine "Vellumor Pro.exe" hung "Vellumor Pro") &
    helper_pid=$!
    sleep 3
    started=$SECONDS
    wine 'C:\Program Files\Vellumor Pro\Uninstall.exe' -SILENT
    expect_eq "exit code of the uninstaller" 6 $?
    echo "(the uninstaller gave up after $((SECONDS - started)) s)"
    log=$(tr -d '\r' 2>/dev/null < "$user_dir/Temp/_QvUItmp.log")
    expect_eq "uninstall log" "Vellumor Pro is currently running on your computer and it could not be|closed automatically. Please quit Vellumor Pro manually and restart Uninstall.|Script line 13: CloseProgram #PROGRAM#|Uninstall failed!" \
        "$(paste -sd '|' <<<"$log")"
    expect_file "$pf/Vellumor Pro.exe"  # held by the running stand-in
    expect_file "$pf/Uninstall.exe"  # nothing was removed: it stays registered and removable
    key_exists "$uninstall_key" || fail "the uninstall registration was removed"
    kill "$helper_pid" 2>/dev/null
    helper_pid=
fi

if wanted previous; then
    echo "== a silent install removes a previous version first"
    new_prefix previous
    mkdir -p "$drive/seed"
    cp "$setup_exe" "$drive/seed/setup.exe"
    (cd "$drive/seed" && wine setup.exe '-INSTALL=C:\Old')
    expect_eq "exit code of the old install" 0 $?
    expect_file "$drive/Old/Vellumor Pro.exe"
    # The installation becomes version 2.3, which the setup script removes first.
    hex=$(reg_value 'HKLM\Software\Tarnwick' "Vellumor Pro" | awk '{print $2}')
    old=$(python3 -c 'import sys; r = bytearray.fromhex(sys.argv[1]); r[10:14] = bytes([2, 0, 3, 0]); print(r.hex())' "$hex")
    wine reg add 'HKLM\Software\Tarnwick' /v "Vellumor Pro" /t REG_BINARY /d "$old" /f >/dev/null 2>&1
    expect_eq "old version" "2.3" "$(record_fields | cut -d'|' -f3)"
    data="$user_dir/AppData/Roaming/Tarnwick/Vellumor Pro"
    common="$drive/ProgramData/Tarnwick/Vellumor Pro"
    printf 'old' > "$data/Old.qcg"  # the removed version's settings go with it
    (cd "$drive/seed" && wine setup.exe '-INSTALL=C:\New')
    expect_eq "exit code of the install" 0 $?
    vp_wait_prefix
    expect_eq "log" "Waited N s for the previous version's uninstaller: \"C:\\Old\\Uninstall.exe\" -SILENT (exit code 0)|Setup finished successfully!" \
        "$(tr -d '\r' < "$drive/seed/setup.log" | sed 's/^Waited [0-9]* s/Waited N s/' | paste -sd '|')"
    expect_gone "$drive/Old"
    expect_gone "$data/Old.qcg"
    check_installed_files "$drive/New"
    expect_eq "new version" "4.13" "$(record_fields | cut -d'|' -f3)"
    expect_eq "UninstallString" "REG_SZ    \"C:\\New\\Uninstall.exe\"" "$(reg_value "$uninstall_key" UninstallString)"

    echo "== an install into another folder removes the one there but keeps the settings; an uninstaller left there refuses"
    # The program's own settings, and records planted in both data folders.
    run_and_quit 'C:\New\Vellumor Pro.exe'
    expect_file "$data/Options.qcg"
    mkdir -p "$common"
    head -c 300 /dev/urandom > "$data/(Mox)Planted.qcg"
    head -c 300 /dev/urandom > "$common/(Mox)Planted.qcg"
    settings=$(cd "$drive" && sha256sum "${data#$drive/}"/*.qcg "${common#$drive/}"/*.qcg)
    record_data=$(record_fields | cut -d'|' -f4-6,8)
    (cd "$drive/seed" && wine setup.exe '-INSTALL=C:\Other')
    expect_eq "exit code of the install" 0 $?
    vp_wait_prefix
    expect_gone "$drive/New"
    expect_eq "settings after the move" "$settings" \
        "$(cd "$drive" && sha256sum "${data#$drive/}"/*.qcg "${common#$drive/}"/*.qcg 2>&1)"
    expect_eq "data folders of the record after the move" "$record_data" "$(record_fields | cut -d'|' -f4-6,8)"
    expect_eq "install folder of the record" 'C:\Other' "$(record_fields | cut -d'|' -f7)"
    # The moved program runs and writes its options into the kept folder as it quits.
    touch -d '-2 seconds' "$root/before-run"
    run_and_quit 'C:\Other\Vellumor Pro.exe'
    [ "$data/Options.qcg" -nt "$root/before-run" ] || fail "the moved program did not write its settings where they were kept"
    install -D "$drive/Other/Uninstall.exe" "$drive/New/Uninstall.exe"
    wine 'C:\New\Uninstall.exe' -SILENT
    expect_eq "exit code of an uninstaller of another folder" 36 $?
    check_installed_files "$drive/Other"

    echo "== an uninstall registration without an install record blocks nothing"
    wine reg delete 'HKLM\Software\Tarnwick' /v "Vellumor Pro" /f >/dev/null 2>&1
    rm -rf "$drive/Other"  # and its uninstaller
    (cd "$drive/seed" && wine setup.exe -SILENT)
    expect_eq "exit code of the install" 0 $?
    grep -q 'has no install record' "$drive/seed/setup.log" || fail "the log names no removed registration"
fi

if wanted root; then
    echo "== install to a drive's root and uninstall"
    new_prefix root
    small="$root/small"
    mkdir -p "$root/ddrive/Init" "$small" "$drive/seed"
    ln -sfn "$root/ddrive" "$WINEPREFIX/dosdevices/d:"
    head -c 3000000 /dev/zero > "$root/ddrive/Init/notes.txt"  # the user's: neither counted nor removed
    cp "$setup_exe" "$drive/seed/setup.exe"
    (cd "$drive/seed" && wine setup.exe '-INSTALL=D:\')
    expect_eq "exit code of the install" 0 $?
    expect_eq "log" "Setup finished successfully!" "$(tr -d '\r' < "$drive/seed/setup.log")"
    check_installed_files "$root/ddrive"
    # Paths built from the root have one backslash behind the drive.
    expect_eq "DisplayIcon" "REG_SZ    D:\\Vellumor Pro.exe,0" "$(reg_value "$uninstall_key" DisplayIcon)"
    expect_eq "UninstallString" "REG_SZ    \"D:\\Uninstall.exe\"" "$(reg_value "$uninstall_key" UninstallString)"
    expect_eq "InstallLocation" "REG_SZ    D:\\" "$(reg_value "$uninstall_key" InstallLocation)"
    expect_eq "install folder of the record" 'D:\' "$(record_fields | cut -d'|' -f7)"
    kb=$(( $(cat "$root/ddrive/"{"Vellumor Pro.exe","Vellumor Pro.chm",Uninstall.exe} | wc -c) / 1024 ))
    expect_eq "EstimatedSize" "REG_DWORD    $(printf '0x%x' $kb)" "$(reg_value "$uninstall_key" EstimatedSize)"
    run_registered_uninstaller
    expect_eq "the drive after the uninstall" "Init Init/notes.txt " "$(find "$root/ddrive" -mindepth 1 -printf '%P ')"
    expect_eq "what is left of ours" "" "$(leftovers)"

    echo "== a full disk: a failed install removes the folders it made, a failed upgrade keeps the program"
    if ! mount -t tmpfs -o size=256k vp-setup-small "$small" 2>/dev/null; then
        echo "SKIP: mounting a small file system needs root"
    else
        ln -sfn "$small" "$WINEPREFIX/dosdevices/e:"
        (cd "$drive/seed" && wine setup.exe '-INSTALL=E:\a\b\VP')
        expect_eq "exit code of the install on a full disk" 8 $?
        expect_eq "the disk after the failed install" "" "$(ls -A "$small")"
        mount -o remount,size=32m "$small"
        (cd "$drive/seed" && wine setup.exe '-INSTALL=E:\VP')
        expect_eq "exit code of the install" 0 $?
        # An older, smaller program (record 4.12); room for the uninstaller, not for the program.
        cp "$helper_exe" "$small/VP/Vellumor Pro.exe"
        hex=$(reg_value 'HKLM\Software\Tarnwick' "Vellumor Pro" | awk '{print $2}' |
            python3 -c 'import sys; r = bytearray.fromhex(sys.stdin.read()); r[12] = 12; print(r.hex())')
        wine reg add 'HKLM\Software\Tarnwick' /v "Vellumor Pro" /t REG_BINARY /d "$hex" /f >/dev/null 2>&1
        mount -o remount,size=$(( $(df -k --output=used "$small" | tail -1) + $(stat -c %s "$small/VP/Uninstall.exe") / 512 + 1024 ))k "$small"
        (cd "$drive/seed" && wine setup.exe '-INSTALL=E:\VP')
        expect_eq "exit code of the upgrade on a full disk" 8 $?
        cmp -s "$helper_exe" "$small/VP/Vellumor Pro.exe" || fail "the failed upgrade tore the program"
        expect_eq "version of the record after the failed upgrade" "4.12" "$(record_fields | cut -d'|' -f3)"
        umount -l "$small"
    fi
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
