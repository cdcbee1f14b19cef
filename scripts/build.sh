#!/usr/bin/env bash
# Builds the trees: build/win (32-bit Windows, MinGW-w64: the programs),
# build/native (the platform-neutral libraries with sanitizers) and, on a
# host that runs no 32-bit code, build/win64 (the same sources as 64-bit
# Windows programs, where the tests run; scripts/arch.sh), or below
# $VP_BUILD_DIR. VP_WIN64=1 builds build/win64 on any host, to check that
# the sources compile for both. Set-up runs first, unless its quick check
# finds nothing missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if bash "$top/scripts/setup.sh" --check; then
    :
elif [ "$(id -u)" = 0 ]; then
    bash "$top/scripts/setup.sh"
elif command -v sudo >/dev/null; then
    sudo bash "$top/scripts/setup.sh"
else
    echo "scripts/setup.sh needs root to install packages" >&2
    exit 1
fi
. "$top/scripts/arch.sh"
jobs=$(nproc)
build=${VP_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build/win" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win" -j "$jobs"
if [ "$(vp_test_arch)" = x86_64 ] || [ "${VP_WIN64:-0}" = 1 ]; then
    cmake -S "$top" -B "$build/win64" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" >/dev/null
    cmake --build "$build/win64" -j "$jobs"
fi
cmake -S "$top" -B "$build/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/native" -j "$jobs"
