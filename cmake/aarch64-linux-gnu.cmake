# Cross-compiles for 64-bit ARM Linux (arm64) with Debian's cross toolchain,
# g++-aarch64-linux-gnu; programs built for arm64 run under qemu-aarch64
# (Debian's qemu-user) when CMake or CTest needs them, so tests are found
# and run as on an arm64 machine.
#
#   cmake --preset arm64
#
# clang targets arm64 with the same headers and libraries: add
# -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang (it takes its target
# from the settings below and finds the cross GCC's libstdc++ and linker).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(TALVOREN_CROSS_TRIPLE aarch64-linux-gnu)
set(TALVOREN_CROSS_ROOT /usr/${TALVOREN_CROSS_TRIPLE} CACHE PATH "Headers and libraries of the arm64 system")

include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
# Read by clang only; GCC is an arm64 compiler by itself.
set(CMAKE_CXX_COMPILER_TARGET ${TALVOREN_CROSS_TRIPLE})
set(CMAKE_C_COMPILER_TARGET ${TALVOREN_CROSS_TRIPLE})

find_program(TALVOREN_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static)
if(TALVOREN_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TALVOREN_QEMU_AARCH64} -L ${TALVOREN_CROSS_ROOT})
endif()
