# The MinGW-w64 cross tools of VP_HOST (posix threads, needed for
# std::mutex in GoogleTest); the programs run under Wine. Included by the
# two toolchain files after they name the host.
set(CMAKE_SYSTEM_NAME Windows)
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
