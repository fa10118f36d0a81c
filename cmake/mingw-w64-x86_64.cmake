# Cross-compiles a 64-bit Windows talvoren.exe on Linux with mingw-w64.
#
#   cmake --preset windows -DTALVOREN_BUILD_TESTS=OFF
#   cmake --build --preset windows
#
# The "-posix" compiler uses the winpthreads threading model, which the C++20
# library needs; the executable links it, libstdc++ and libgcc statically so it
# runs on a bare Windows (or wine) without any MinGW DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TALVOREN_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Target triple of the mingw-w64 tools")

find_program(CMAKE_CXX_COMPILER NAMES ${TALVOREN_MINGW_PREFIX}-g++-posix ${TALVOREN_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${TALVOREN_MINGW_PREFIX}-gcc-posix ${TALVOREN_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${TALVOREN_MINGW_PREFIX}-windres windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TALVOREN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built for the target run under wine when CMake or CTest needs them.
find_program(TALVOREN_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(TALVOREN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TALVOREN_WINE})
endif()
