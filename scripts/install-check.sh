#!/usr/bin/env bash
# Installs dabutils into a temporary prefix, checks which headers it holds,
# builds the consumer example against that prefix only, once with CMake and
# once with a plain gcc line from pkg-config, and runs both.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S . -B build -DDABUTILS_WERROR="${DABUTILS_WERROR:-ON}" >/dev/null  # see scripts/test.sh
cmake --build build -j"$(nproc)"
cmake --install build --prefix "$work/prefix" >/dev/null

objdump -p "$work/prefix/lib/libdabutils.so" | grep SONAME

# The public headers, the platform contract and the stand-in's control API;
# none of the stand-in's own headers.
(cd "$work/prefix/include/dabutils" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) \
  >"$work/headers"
printf '%s\n' DABDownloadSample.h DABExport.h DABImport.h DABUtils.h audit_log.h contact_db.h \
  logging.h path_service.h record_layout.h standin/dabplatform.h utf8_text.h |
  diff -u - "$work/headers"

export_file=http/data/ExportedAddressBook.csv
cmake -S examples/consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer"
"$work/consumer/consumer" "$work/data"
test -s "$work/data/$export_file"

# The same programs built as a C user without CMake builds them, each to give
# the CMake consumer's export. The linker keeps a library only if something
# before it on the line asks for it (--as-needed, Debian's default), so the
# order pkg-config gives matters; export_book, which calls the library alone,
# does not link if the platform comes first.
pc_flags=$(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags --libs dabutils-standin)
echo "$pc_flags"
# shellcheck disable=SC2086  # the flags are separate words
gcc -Wall -Wextra -Werror examples/consumer/main.c $pc_flags -o "$work/consumer-pc"
# shellcheck disable=SC2086
gcc -Wall -Wextra -Werror examples/consumer/export_book.c $pc_flags -o "$work/export_book"
LD_LIBRARY_PATH="$work/prefix/lib" "$work/consumer-pc" "$work/data-pc"
cmp "$work/data/$export_file" "$work/data-pc/$export_file"
rm "$work/data-pc/$export_file"
LD_LIBRARY_PATH="$work/prefix/lib" DABUTILS_DATA_ROOT="$work/data-pc" "$work/export_book"
cmp "$work/data/$export_file" "$work/data-pc/$export_file"
echo "install check: ok"
