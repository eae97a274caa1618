/* Field counting with libcsv; see libcsv_peer.h. */
#include "libcsv_peer.h"

#include <csv.h>
#include <string.h>

typedef struct Sink {
  LibcsvCounts* counts;
  char value[1024]; /* The last field, cut like the library's parser cuts. */
} Sink;

static void onField(void* field, size_t length, void* data) {
  Sink* sink = (Sink*)data;
  if (length > sizeof sink->value - 1) length = sizeof sink->value - 1;
  memcpy(sink->value, field, length);
  sink->value[length] = '\0';
  ++sink->counts->fields;
}

static void onRecord(int terminator, void* data) {
  (void)terminator;
  ++((Sink*)data)->counts->records;
}

int libcsv_count(FILE* file, unsigned char delimiter, LibcsvCounts* counts) {
  struct csv_parser parser;
  Sink sink;
  char chunk[65536];
  size_t length;
  int status = 0;
  memset(counts, 0, sizeof *counts);
  sink.counts = counts;
  if (csv_init(&parser, 0) != 0) return -1;
  csv_set_delim(&parser, delimiter);
  while ((length = fread(chunk, 1, sizeof chunk, file)) > 0) {
    counts->bytes += (long)length;
    if (csv_parse(&parser, chunk, length, onField, onRecord, &sink) != length) {
      status = -1;
      break;
    }
  }
  if (status == 0 && csv_fini(&parser, onField, onRecord, &sink) != 0) status = -1;
  csv_free(&parser);
  return status;
}
