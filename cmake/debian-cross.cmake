# What the toolchain files for Debian's cross compilers share: the compilers
# named by TALVOREN_CROSS_TRIPLE, and headers and libraries looked for only
# under TALVOREN_CROSS_ROOT (programs on the build machine).
if(NOT CMAKE_CXX_COMPILER)
  find_program(CMAKE_CXX_COMPILER NAMES ${TALVOREN_CROSS_TRIPLE}-g++ REQUIRED)
endif()
# GoogleTest's project enables C as well.
if(NOT CMAKE_C_COMPILER)
  find_program(CMAKE_C_COMPILER NAMES ${TALVOREN_CROSS_TRIPLE}-gcc)
endif()

set(CMAKE_FIND_ROOT_PATH ${TALVOREN_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
