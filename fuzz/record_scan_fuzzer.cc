// The tool's record reader (scanRecords), which tells people where the
// import's records are, against the independent reading of csv_reference.h,
// on arbitrary bytes with both delimiters. They must agree on the completed
// records, each one's field count and blank display name, and whether the
// file stops on a malformed or unclosed field, in which record. Apart from
// the reference, trailing data must mean the file does not end on a line
// end, and the records' lines must follow each other within the file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "csv_reference.h"
#include "fuzz_check.h"
#include "record_scan.h"

namespace {

struct Record {
  size_t fields;
  bool blankDisplayName;
};

struct Reading {
  std::vector<Record> records;
  bool malformed = false;
};

// The import's record rules over the reference fields. The library sees a
// value as a C string: a record of one field that is empty that way is an
// empty line and no record, and a display name empty that way is blank.
Reading referenceReading(const std::string& bytes, char delimiter) {
  Reading reading;
  std::vector<std::string> record;
  for (const dabfuzz::RefField& field : dabfuzz::uploadFields(bytes, delimiter)) {
    if (field.result == dabfuzz::kError) reading.malformed = true;
    if (field.result != dabfuzz::kEndOfField && field.result != dabfuzz::kEndOfRecord) break;
    record.push_back(dabfuzz::cText(field.value));
    if (field.result != dabfuzz::kEndOfRecord) continue;
    if (record.size() > 1 || !record[0].empty()) {
      reading.records.push_back({record.size(), record.size() < 3 || record[2].empty()});
    }
    record.clear();
  }
  return reading;
}

int lineEnds(const std::string& bytes) {
  int count = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    size_t length = dabfuzz::lineEndAt(bytes, i);
    if (length == 0) continue;
    ++count;
    i += length - 1;
  }
  return count;
}

void compare(const std::string& bytes, char delimiter) {
  const Reading expected = referenceReading(bytes, delimiter);
  const dabtool::RecordScan scan = dabtool::scanRecords(bytes, delimiter);
  FUZZ_CHECK(scan.malformed == expected.malformed, "delimiter '%c': malformed %d, expected %d",
             delimiter, scan.malformed, expected.malformed);
  FUZZ_CHECK(scan.records.size() == expected.records.size(),
             "delimiter '%c': %zu records, expected %zu", delimiter, scan.records.size(),
             expected.records.size());
  int lastLine = lineEnds(bytes);
  int previousEnd = 0;
  for (size_t k = 0; k < scan.records.size(); ++k) {
    const dabtool::ScannedRecord& got = scan.records[k];
    FUZZ_CHECK(static_cast<size_t>(got.fields) == expected.records[k].fields,
               "delimiter '%c': record %zu has %d fields, expected %zu", delimiter, k + 1,
               got.fields, expected.records[k].fields);
    FUZZ_CHECK(got.blankDisplayName == expected.records[k].blankDisplayName,
               "delimiter '%c': record %zu blank display name %d, expected %d", delimiter, k + 1,
               got.blankDisplayName, expected.records[k].blankDisplayName);
    FUZZ_CHECK(
        previousEnd < got.startLine && got.startLine <= got.endLine && got.endLine <= lastLine,
        "delimiter '%c': record %zu on lines %d-%d after line %d of %d", delimiter, k + 1,
        got.startLine, got.endLine, previousEnd, lastLine);
    previousEnd = got.endLine;
  }
  if (scan.malformed) {
    FUZZ_CHECK(scan.malformedRecord == static_cast<int>(scan.records.size()) + 1 &&
                   previousEnd < scan.malformedRecordLine &&
                   scan.malformedRecordLine <= scan.malformedLine &&
                   scan.malformedLine <= lastLine + 1 && !scan.malformedReason.empty(),
               "delimiter '%c': stops in record %d, lines %d and %d", delimiter,
               scan.malformedRecord, scan.malformedRecordLine, scan.malformedLine);
  }
  bool endsOnLineEnd = !bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r');
  bool trailing = !expected.malformed && !bytes.empty() && !endsOnLineEnd;
  FUZZ_CHECK(scan.trailingData == trailing, "delimiter '%c': trailing data %d, expected %d",
             delimiter, scan.trailingData, trailing);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  compare(bytes, ',');
  compare(bytes, ';');
  return 0;
}
