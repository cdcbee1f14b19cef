# Cross toolchain: a 64-bit Windows build of the same sources with MinGW-w64
# (posix threads), run under 64-bit Wine. Only the test build of hosts that
# run no 32-bit code uses it (scripts/arch.sh); the programs are 32-bit.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VP_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VP_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VP_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${VP_HOST}-windres)
set(CMAKE_AR ${VP_HOST}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VP_HOST}-ranlib CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH /usr/${VP_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
