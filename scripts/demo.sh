#!/usr/bin/env bash
# Builds the project and runs the main job on the embedded SQLite address book:
# `dabtool demo` by default, or the dabtool command line given as arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs" --target dabtool
if [ $# -eq 0 ]; then
  set -- demo
fi
./build/tools/dabtool/dabtool "$@"
