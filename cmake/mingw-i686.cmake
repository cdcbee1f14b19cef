# Cross toolchain: 32-bit Windows programs with MinGW-w64, run under Wine.
set(CMAKE_SYSTEM_PROCESSOR X86)
set(VP_HOST i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
