#!/usr/bin/env bash
# Builds both trees: build/win (32-bit Windows, MinGW-w64) and build/native
# (the platform-neutral libraries with sanitizers), or below $VP_BUILD_DIR.
# Set-up runs first.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" = 0 ]; then
    bash "$top/scripts/setup.sh"
elif command -v sudo >/dev/null; then
    sudo bash "$top/scripts/setup.sh"
else
    echo "scripts/setup.sh needs root to install packages" >&2
    exit 1
fi
jobs=$(nproc)
build=${VP_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build/win" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win" -j "$jobs"
cmake -S "$top" -B "$build/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/native" -j "$jobs"
