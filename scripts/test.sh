#!/usr/bin/env bash
# The test command: installs what is missing, builds the trees and runs
# every test: natively under AddressSanitizer and UBSan, the bounded fuzz
# and the lint (formatter and analyser), then the Windows tree under Wine, each test program (or shard of one) in
# a prefix, display and loopback of its own, many at once. Ends with the
# skipped tests of both trees and the time of each step.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
started=$(date +%s)
step_start=$started
timings=()
step_done() {
    local now
    now=$(date +%s)
    timings+=("$1 $((now - step_start)) s")
    step_start=$now
}

bash "$top/scripts/build.sh"
step_done "set-up and build"
build=${VP_BUILD_DIR:-$top/build}
jobs=$(nproc)

status=0
# The native tests and the fuzz targets at once, each on half the cores,
# and the lint beside them at a lower priority; their outputs follow one
# after the other.
logs=$(mktemp -d /tmp/vellumor-logs.XXXXXX)
VP_BUILD_DIR=$build nice -n 10 bash "$top/scripts/lint.sh" --in-test -j "$jobs" >"$logs/lint" 2>&1 &
lint_pid=$!
native_root=$(mktemp -d /tmp/vellumor-native.XXXXXX)
half=$(( jobs > 1 ? jobs / 2 : 1 ))
(cd "$build/native" && VP_TEST_ROOT=$native_root ctest --output-on-failure -j "$half") >"$logs/native" 2>&1 &
native_pid=$!
VP_FUZZ_JOBS=${VP_FUZZ_JOBS:-$half} VP_FUZZ_BUILD_JOBS=$half bash "$top/scripts/fuzz.sh" "${VP_FUZZ_SECONDS:-15}" \
    >"$logs/fuzz" 2>&1 &
fuzz_pid=$!
wait $native_pid || status=1
wait $fuzz_pid || status=1
wait $lint_pid || status=1
echo "== native tests (sanitizers)"
cat "$logs/native"
echo "== fuzz targets (bounded)"
cat "$logs/fuzz"
echo "== lint (scripts/lint.sh)"
cat "$logs/lint"
rm -rf "$logs" "$native_root"
step_done "native tests, fuzz and lint"

. "$top/scripts/wine_env.sh"
wintree=$build/win
[ "$(vp_test_arch)" = x86_64 ] && wintree=$build/win64
echo "== $(vp_route_line)"
echo "== Windows tests (Wine, $jobs at once)"
# One prefix made here; every test starts from a copy of it.
vp_wine_exports
template_dir=$(mktemp -d /tmp/vellumor-template.XXXXXX)
# (no wineserver may be left to end: the trap must not fail the run)
trap 'WINEPREFIX="$template_dir/prefix" wineserver -k >/dev/null 2>&1 || true; rm -rf "$template_dir"' EXIT
vp_make_prefix "$template_dir/prefix"
export VP_WINE_TEMPLATE="$template_dir/prefix"
(cd "$wintree" && ctest --output-on-failure -j "$jobs") || status=1
step_done "Windows tests"

echo "== skipped tests"
python3 "$top/scripts/skip_summary.py" "native=$build/native" "Windows=$wintree"
printf -v times '%s; ' "${timings[@]}"
echo "== times: ${times}total $(( $(date +%s) - started )) s"
exit $status
