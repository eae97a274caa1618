/*
 * The libcsv peer: counts the fields and records of a CSV stream with
 * Debian's libcsv, copying each field into a 1024-byte buffer as the
 * library's parser does, so both do the same work per byte.
 */
#ifndef DABUTILS_BENCH_LIBCSV_PEER_H_
#define DABUTILS_BENCH_LIBCSV_PEER_H_

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct LibcsvCounts {
  long bytes;   /* Bytes read from the stream. */
  long fields;  /* Fields delivered, the last of each record included. */
  long records; /* Records ended by a line end. */
} LibcsvCounts;

/* Parses `file` from its current position to its end with `delimiter`.
 * Returns 0, or -1 when libcsv reports an error. */
int libcsv_count(FILE* file, unsigned char delimiter, LibcsvCounts* counts);

#ifdef __cplusplus
}
#endif

#endif /* DABUTILS_BENCH_LIBCSV_PEER_H_ */
