# Cross toolchain: a 64-bit Windows build of the same sources, run under
# 64-bit Wine. Only the test build of hosts that run no 32-bit code uses it
# (scripts/arch.sh); the programs are 32-bit.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VP_HOST x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
