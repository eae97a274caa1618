// Finds where each record of a CSV file starts, reading the bytes with the
// same quoting rules as the library's import, so that its record numbers can
// be told to a person as lines of the file, and a file the library wrote can
// be counted.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_RECORD_SCAN_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_RECORD_SCAN_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dabtool {

struct ScannedRecord {
  int startLine = 0;              // 1-based line of its first byte
  int endLine = 0;                // line of the line end that completed it
  int fields = 0;                 // number of fields
  bool blankDisplayName = false;  // third field absent or empty
  size_t begin = 0;               // offset of its first byte
  size_t end = 0;                 // offset past the line end that completed it
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

// What a line end inside quoted text becomes in a field's value: one blank,
// as the import stores it, or the line end's own bytes.
enum class QuotedLineEnd { kBlank, kKept };

// The values of one record's fields without their quotes, valid during the
// call that hands them over: their storage is reused for the next record.
class FieldValues {
 public:
  FieldValues(const std::string* values, size_t count) : values_(values), count_(count) {}
  size_t size() const { return count_; }
  const std::string& operator[](size_t i) const { return values_[i]; }

 private:
  const std::string* values_;
  size_t count_;
};

// Receives a completed record (an empty line is none): its 1-based number,
// header row included, the line it starts on, and its values.
using RecordVisitor = std::function<void(int number, int startLine, const FieldValues& fields)>;

// Every field's value; bit n of a mask stands for field n (0-based), and
// bit 63 for every field after it.
constexpr uint64_t kAllFields = ~uint64_t{0};

// scanRecords that also hands each completed record's values to `visit`.
// Values are the bytes as read, NULs included and uncut; a field whose bit
// is clear in `wanted` comes empty, which saves copying it.
RecordScan readRecords(std::string_view bytes, char delimiter, QuotedLineEnd lineEnds,
                       const RecordVisitor& visit, uint64_t wanted = kAllFields);

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
