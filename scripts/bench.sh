#!/usr/bin/env bash
# The benchmark suite in one command: installs what it needs, builds in
# Release, prepares the seeded 65,000-contact address book (kept between runs
# while the seed does not change), runs every case next to its peers and
# writes the table into BENCHMARKS.md. A few minutes on two cores.
#
#   scripts/bench.sh [RUNS]       RUNS per case, default 7
#   DAB_BENCH_QUICK=1 scripts/bench.sh   without the callgrind runs
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
dab_install_missing libbenchmark-dev libcsv-dev valgrind sqlite3 python3 curl

runs=${1:-7}
build=build-rel
work=${DAB_BENCH_WORK:-$build/bench-work}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DDABUTILS_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target dab_bench micro_bench libcsv_parse dabtool

extra=()
[ -n "${DAB_BENCH_QUICK:-}" ] && extra+=(--no-callgrind)
/usr/bin/python3 bench/run_suite.py --build "$build" --work "$work" --runs "$runs" \
  --update BENCHMARKS.md "${extra[@]}"
