#!/usr/bin/env bash
# The test command: installs what is missing, builds both trees and runs
# every test: natively under AddressSanitizer and UBSan, then the Windows
# tree under Wine in a private prefix on a private Xvfb display.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/build.sh"
build=${VP_BUILD_DIR:-$top/build}

status=0
echo "== native tests (sanitizers)"
export VP_TEST_ROOT
VP_TEST_ROOT=$(mktemp -d /tmp/vellumor-native.XXXXXX)
(cd "$build/native" && ctest --output-on-failure -j 2) || status=1
rm -rf "$VP_TEST_ROOT"

echo "== fuzz targets (bounded)"
bash "$top/scripts/fuzz.sh" "${VP_FUZZ_SECONDS:-15}" || status=1

. "$top/scripts/arch.sh"
. "$top/scripts/wine_env.sh"
wintree=$build/win
[ "$(vp_test_arch)" = x86_64 ] && wintree=$build/win64
echo "== $(vp_route_line)"
echo "== Windows tests (Wine)"
trap vp_wine_stop EXIT
vp_wine_start private
(cd "$wintree" && ctest --output-on-failure -j 2) || status=1
exit $status
