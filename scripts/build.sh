#!/usr/bin/env bash
# Builds both trees: build/win (32-bit Windows, MinGW-w64) and build/native
# (the platform-neutral libraries with sanitizers). Set-up runs first.
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
cmake -S "$top" -B "$top/build/win" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$top/build/win" -j "$jobs"
cmake -S "$top" -B "$top/build/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$top/build/native" -j "$jobs"
