#!/usr/bin/env bash
# Builds the project and runs the whole test suite; then the same suite under
# AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer (clang).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
# Warnings fail these builds; DABUTILS_WERROR=OFF lets another compiler's new
# warnings through on a local run (CI forces ON, see .ci/run).
werror=-DDABUTILS_WERROR=${DABUTILS_WERROR:-ON}
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$werror" >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DDABUTILS_SANITIZE=ON \
  "$werror" >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"
