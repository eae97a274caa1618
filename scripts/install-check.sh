#!/usr/bin/env bash
# Installs dabutils into a temporary prefix, builds the consumer example
# against that prefix only, and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S . -B build -DDABUTILS_WERROR="${DABUTILS_WERROR:-ON}" >/dev/null  # see scripts/test.sh
cmake --build build -j"$(nproc)"
cmake --install build --prefix "$work/prefix" >/dev/null

objdump -p "$work/prefix/lib/libdabutils.so" | grep SONAME
PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags --libs dabutils-standin

cmake -S examples/consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer"
"$work/consumer/consumer" "$work/data"
test -s "$work/data/http/data/ExportedAddressBook.csv"
echo "install check: ok"
