# Cross build for the device's CPU class: 32-bit big-endian PowerPC Linux,
# with Debian's cross compiler (g++-powerpc-linux-gnu). Programs built here
# run on the build machine under qemu-user, so CTest runs the tests as usual.
#
#   cmake -S . -B build-ppc -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/powerpc-linux-gnu.cmake \
#         -DDABUTILS_WITH_STANDIN=OFF -DDABUTILS_GTEST_SOURCE_DIR=/usr/src/googletest
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)

set(DABUTILS_CROSS_TRIPLE powerpc-linux-gnu)
set(CMAKE_C_COMPILER ${DABUTILS_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${DABUTILS_CROSS_TRIPLE}-g++)

# Debian installs the target's libc and libstdc++ here.
set(DABUTILS_CROSS_ROOT /usr/${DABUTILS_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH ${DABUTILS_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L makes qemu's loader take the target's shared libraries, not the host's.
find_program(DABUTILS_QEMU_PPC NAMES qemu-ppc qemu-ppc-static)
if(DABUTILS_QEMU_PPC)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${DABUTILS_QEMU_PPC} -L ${DABUTILS_CROSS_ROOT})
endif()
