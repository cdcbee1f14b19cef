#!/usr/bin/env bash
# Runs one Windows test (a test program, a shard of one, or a test script)
# in a world of its own, so that many run at once: a copy of the run's
# template Wine prefix, its own Xvfb display, HOME and test folder, and, where
# the kernel lets it, its own loopback network (the update tests' servers
# take ports 80 and 443). Without a network of its own the run waits for
# the others that need the ports.
#
# Usage: wine_test.sh [--shard INDEX COUNT] [--net] [--script] -- COMMAND [ARGS...]
#   --shard  runs GoogleTest's shard INDEX of COUNT
#   --net    the test listens on fixed loopback ports
#   --script COMMAND is a shell script run with bash (it starts wine itself)
# Environment: VP_WINE_TEMPLATE, a prefix that scripts/wine_env.sh made and
# each test copies (else one is made here); VP_SCREEN, the display's size
# and depth (1280x1024x24).
set -uo pipefail

shard= count= net=0 script=0
while [ $# -gt 0 ]; do
    case "$1" in
    --shard) shard=$2 count=$3; shift 3 ;;
    --net) net=1; shift ;;
    --script) script=1; shift ;;
    --) shift; break ;;
    *) echo "wine_test.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] || { echo "wine_test.sh: no command" >&2; exit 2; }

# A loopback network of our own: re-run this script inside it.
if [ $net = 1 ] && [ -z "${VP_OWN_NET:-}" ]; then
    args=()
    [ -n "$shard" ] && args+=(--shard "$shard" "$count")
    [ $script = 1 ] && args+=(--script)
    if unshare --net true 2>/dev/null; then
        exec unshare --net env VP_OWN_NET=1 bash "$0" "${args[@]}" -- "$@"
    fi
    exec flock /tmp/vellumor-loopback-ports.lock env VP_OWN_NET=shared bash "$0" "${args[@]}" -- "$@"
fi
if [ "${VP_OWN_NET:-}" = 1 ]; then
    # A new network namespace has its loopback down.
    /usr/bin/python3 - <<'PY' || { echo "wine_test.sh: loopback not brought up" >&2; exit 1; }
import fcntl, socket, struct
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
flags = struct.unpack("16sH14s", fcntl.ioctl(s, 0x8913, struct.pack("16sH14s", b"lo", 0, b"")))[1]
fcntl.ioctl(s, 0x8914, struct.pack("16sH14s", b"lo", flags | 1, b""))
PY
fi

run=$(mktemp -d /tmp/vellumor-test.XXXXXX)
xvfb=
cleanup() {
    if [ -d "$run/prefix" ]; then
        WINEPREFIX="$run/prefix" wineserver -k >/dev/null 2>&1
        WINEPREFIX="$run/prefix" wineserver -w >/dev/null 2>&1
    fi
    # Anything the test started and left running (a process of another
    # prefix it made, a helper server) would keep ctest's output pipe
    # open: end it by the test root in its environment.
    local pid
    for pid in $(grep -lzx "VP_TEST_ROOT=$run/tests" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3); do
        [ "$pid" != $$ ] && [ "$pid" != "$xvfb" ] && kill -9 "$pid" 2>/dev/null
    done
    # A small file system a test mounted and could not unmount (it crashed).
    local mnt
    for mnt in $(awk -v run="$run/" 'index($2, run) == 1 { print $2 }' /proc/mounts); do
        umount -l "$mnt" 2>/dev/null || true
    done
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null
        wait "$xvfb" 2>/dev/null
    fi
    rm -rf "$run"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

. "$(dirname "$0")/../../scripts/wine_env.sh"
vp_wine_exports
export HOME="$run/home" VP_TEST_ROOT="$run/tests" WINEPREFIX="$run/prefix"
mkdir -p "$HOME" "$VP_TEST_ROOT"

# Xvfb picks a free display itself and names it on the descriptor.
Xvfb -displayfd 3 -screen 0 "${VP_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$run/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 200); do
    [ -s "$run/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.05
done
[ -s "$run/display" ] || { echo "wine_test.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$run/display")"

vp_make_prefix "$WINEPREFIX"
wineserver -p >/dev/null 2>&1

if [ -n "$shard" ]; then
    export GTEST_SHARD_INDEX=$shard GTEST_TOTAL_SHARDS=$count
fi
if [ $script = 1 ]; then
    bash "$@"
else
    wine "$@"
fi
status=$?
exit $status
