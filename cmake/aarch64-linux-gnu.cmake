# Cross-builds the Linux program for arm64 with Debian's cross compiler, and
# runs what it builds (the tests) under qemu-user:
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(M3U2LST_ARM64_TRIPLE aarch64-linux-gnu)
find_program(CMAKE_C_COMPILER NAMES ${M3U2LST_ARM64_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${M3U2LST_ARM64_TRIPLE}-g++ REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${M3U2LST_ARM64_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(M3U2LST_QEMU NAMES qemu-aarch64 qemu-aarch64-static)
if(M3U2LST_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${M3U2LST_QEMU} -L /usr/${M3U2LST_ARM64_TRIPLE})
endif()
