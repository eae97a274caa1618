#!/usr/bin/env bash
# Cross-builds the library, the scripted test platform and the unit tests for
# the device's CPU class (32-bit big-endian PowerPC Linux) and runs the unit
# tests under qemu-user. The records' device layout is checked by the compiler
# on the way (record_layout.h). The SQLite stand-in, the tools and the
# integration tests stay host-only and are left out.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

dab_install_missing g++-powerpc-linux-gnu qemu-user googletest

cmake -S . -B build-ppc \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/powerpc-linux-gnu.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDABUTILS_WITH_STANDIN=OFF \
  -DDABUTILS_GTEST_SOURCE_DIR=/usr/src/googletest \
  -DDABUTILS_WERROR="${DABUTILS_WERROR:-ON}" >/dev/null  # see scripts/test.sh
cmake --build build-ppc -j2
ctest --test-dir build-ppc --output-on-failure -j2
