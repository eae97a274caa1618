#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan, in build-fuzz/), replays
# their committed corpora, then fuzzes each target for a bounded time on top of
# its corpus, one job at a time. Fails on any finding: the input is copied into
# the target's corpus as regress-<kind>-<hash>, to be committed with the fix.
#
#   scripts/fuzz.sh                 every target, 60 s each
#   FUZZ_SECONDS=600 scripts/fuzz.sh parser_fuzzer
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

seconds=${FUZZ_SECONDS:-60}
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=(import_fuzzer parser_fuzzer text_fuzzer dab_writer_fuzzer record_scan_fuzzer
           upload_reading_fuzzer)
fi
declare -A dict=([import_fuzzer]=upload [parser_fuzzer]=upload [text_fuzzer]=text [record_scan_fuzzer]=upload
             [upload_reading_fuzzer]=upload)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDABUTILS_SANITIZE=ON -DDABUTILS_FUZZ=ON -DDABUTILS_BUILD_TESTS=OFF \
  -DDABUTILS_WERROR="${DABUTILS_WERROR:-ON}" >/dev/null  # see scripts/test.sh
cmake --build build-fuzz -j2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir build-fuzz --output-on-failure

status=0
report=()
for target in "${targets[@]}"; do
  work="build-fuzz/work/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  args=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1
        -artifact_prefix="$work/artifacts/")
  if [ -n "${dict[$target]:-}" ]; then args+=(-dict="fuzz/dict/${dict[$target]}.dict"); fi
  echo "== $target: ${seconds}s"
  result=ok
  # New inputs go to the first directory; the committed corpus stays as it is.
  if ! "build-fuzz/fuzz/$target" "${args[@]}" "$work/corpus" "fuzz/corpus/$target" \
      >"$work/log" 2>&1; then
    result=FINDING
    status=1
    tail -n 60 "$work/log"
    for finding in "$work"/artifacts/*; do
      [ -e "$finding" ] || continue
      name=$(basename "$finding")
      cp "$finding" "fuzz/corpus/$target/regress-${name}"
      echo "finding kept as fuzz/corpus/$target/regress-${name}: commit it with the fix"
    done
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
  corpus=$(grep -o 'corp: [0-9]*/[0-9]*[a-zA-Z]*' "$work/log" | tail -n 1 | cut -d' ' -f2)
  report+=("$(printf '%-18s %-8s %12s executions  corpus %s (files/bytes)' \
    "$target" "$result" "${execs:-?}" "${corpus:-?}")")
done

echo "== fuzz summary (${seconds}s per target)"
printf '%s\n' "${report[@]}"
exit $status
