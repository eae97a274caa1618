// Finds where each record of a CSV file starts, reading the bytes with the
// same quoting rules as the library's import, so that its record numbers can
// be told to a person as lines of the file, and a file the library wrote can
// be counted.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_RECORD_SCAN_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_RECORD_SCAN_H_

#include <string>
#include <string_view>
#include <vector>

namespace dabtool {

struct ScannedRecord {
  size_t start = 0;               // offset of its first byte
  int startLine = 0;              // 1-based line of its first byte
  int endLine = 0;                // line of the line end that completed it
  int fields = 0;                 // number of fields
  bool blankDisplayName = false;  // third field absent or empty
};

struct RecordScan {
  std::vector<ScannedRecord> records;  // completed records, the header row first
  bool malformed = false;              // the import will stop on a field
  int malformedRecord = 0;             // 1-based number of the record it stops in
  int malformedRecordLine = 0;         // line where that record starts
  int malformedLine = 0;               // line of the offending character
  std::string malformedReason;         // what is wrong, in plain words
  bool trailingData = false;           // bytes after the last line end, never imported
  int trailingFields = 0;              // fields in those bytes
};

// Scans `bytes` as the import reads them with field separator `delimiter`.
RecordScan scanRecords(std::string_view bytes, char delimiter);

// The values of `record`'s fields as the import reads them: quotes
// removed, a doubled quote as one, a line end inside quotes as a space.
// REQUIRES: `record` comes from scanning `bytes` with `delimiter`.
std::vector<std::string> recordFields(std::string_view bytes, const ScannedRecord& record,
                                      char delimiter);

// The library's record `number` (1-based, the header row is 1) as people
// count: "the header row", or the data records from 1 ("record 3").
std::string recordName(int number);

// The same with where it stands in the file: "record 3 (line 6)", or
// "record 3 (lines 6-7)" over several lines.
std::string describeRecord(const RecordScan& scan, int number);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_RECORD_SCAN_H_
