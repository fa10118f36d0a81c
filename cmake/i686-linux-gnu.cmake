# Cross-compiles for 32-bit x86 Linux (i386) with Debian's cross toolchain,
# g++-i686-linux-gnu (g++-multilib would do the same with -m32, but Debian's
# package cannot be installed beside the arm64 cross compiler). The root
# CMakeLists.txt adds SSE2 arithmetic and 64-bit time_t and off_t.
#
#   cmake --preset i386
#
# An x86-64 Linux kernel runs the programs itself; they are started through
# the cross libraries' own loader, since the machine has no i386 libraries
# of its own.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TALVOREN_CROSS_TRIPLE i686-linux-gnu)
set(TALVOREN_CROSS_ROOT /usr/${TALVOREN_CROSS_TRIPLE} CACHE PATH "Headers and libraries of the i386 system")

include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)

if(EXISTS ${TALVOREN_CROSS_ROOT}/lib/ld-linux.so.2)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TALVOREN_CROSS_ROOT}/lib/ld-linux.so.2 --library-path
                                    ${TALVOREN_CROSS_ROOT}/lib)
endif()
