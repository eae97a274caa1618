/*
 * The libcsv peer as a program: parses FILE with libcsv, PASSES times
 * (default 1), and prints one JSON line like `dab_bench parse`.
 *
 *   libcsv_parse FILE [PASSES]
 */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "libcsv_peer.h"

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  FILE* file;
  LibcsvCounts counts;
  int passes = argc > 2 ? atoi(argv[2]) : 1;
  int pass;
  double start, seconds;
  long bytes = 0;
  if (argc < 2) {
    fputs("usage: libcsv_parse FILE [PASSES]\n", stderr);
    return 2;
  }
  file = fopen(argv[1], "r");
  if (file == NULL) {
    perror(argv[1]);
    return 1;
  }
  start = now();
  for (pass = 0; pass < passes; ++pass) {
    rewind(file);
    if (libcsv_count(file, ',', &counts) != 0) {
      fprintf(stderr, "libcsv_parse: %s does not parse\n", argv[1]);
      fclose(file);
      return 1;
    }
    bytes += counts.bytes;
  }
  seconds = now() - start;
  fclose(file);
  printf(
      "{\"bytes\": %ld, \"fields\": %ld, \"records\": %ld, \"call_s\": %.6f,"
      " \"mb_per_s\": %.1f}\n",
      counts.bytes, counts.fields, counts.records, seconds, (double)bytes / seconds / 1e6);
  return 0;
}
