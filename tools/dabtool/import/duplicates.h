// Records of an upload whose contact the book already holds, or that an
// earlier record of the same upload already makes: the same display name
// and e-mail address, A-Z in either case, or the same display name and
// neither with an address. They are cut from the upload before the library
// reads it, and the library's record numbers are turned back into those of
// the person's file.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_DUPLICATES_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_DUPLICATES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "address_book.h"
#include "import_log.h"
#include "record_scan.h"

namespace dabtool {

struct SkippedRecord {
  int record = 0;  // 1-based, header row included
  std::string displayName;
  int copyOf = 0;  // the earlier record of the upload it repeats; 0: it is in the book
};

struct DuplicateCut {
  std::string bytes;                   // the upload without them; "" when nothing was cut
  std::vector<SkippedRecord> skipped;  // in the upload's order
  std::vector<int> kept;               // [n]: the upload's number of the cut's record n
  int records = 0;                     // completed records of the upload
};

// A record the library would make a contact of, by the hash of its key.
struct RecordKey {
  int record = 0;
  uint64_t hash = 0;
};

// Reads `upload` (six columns, a header row first, read with `delimiter` as
// the import reads it) once: where each record lies, into `scan`, and the
// key of each contact record.
std::vector<RecordKey> readRecordKeys(std::string_view upload, char delimiter, RecordScan* scan);

// Finds the duplicates among the records that readRecordKeys read, and
// cuts them.
DuplicateCut cutDuplicates(std::string_view upload, char delimiter, const RecordScan& scan,
                           const std::vector<RecordKey>& keys, const std::vector<BookEntry>& book);

// Both steps at once.
DuplicateCut cutDuplicates(std::string_view upload, char delimiter,
                           const std::vector<BookEntry>& book);

// `log`, which the library wrote about the cut upload, with the record
// numbers of the whole upload.
ImportLog renumbered(const ImportLog& log, const DuplicateCut& cut);

// "skipped: Anna Müller is already in the book" / "... repeats record 2".
std::string skippedText(const SkippedRecord& skipped, bool dryRun);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_DUPLICATES_H_
