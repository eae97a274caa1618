// dabtool's reading of a person's contact file (prepareUpload) on arbitrary
// bytes, with the options the first byte picks. It may refuse a file, only
// with the tool's own failure; a file it writes in the import's six columns
// must read back, with the import's own record rules, as a header row and
// one complete record of six fields per contact, nothing malformed and
// nothing after the last line end, with a line of the person's file for
// every record.
#include <cstddef>
#include <cstdint>
#include <string>

#include "errors.h"
#include "fuzz_check.h"
#include "record_scan.h"
#include "upload_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  dabtool::ReadingOptions options;
  options.positional = (data[0] & 1) != 0;
  options.delimiterGiven = (data[0] & 2) != 0;
  options.delimiter = (data[0] & 4) != 0 ? ';' : ',';
  if ((data[0] & 8) != 0 && !options.positional) options.columns = "display=2,email=1,ifax=";
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    dabtool::PreparedUpload upload = dabtool::prepareUpload(bytes, "fuzz.csv", options);
    const dabtool::UploadReading& reading = upload.reading;
    if (reading.asIs) return 0;
    dabtool::RecordScan scan = dabtool::scanRecords(upload.bytes(), ',');
    FUZZ_CHECK(!scan.malformed && !scan.trailingData, "written upload unreadable: %s",
               scan.malformedReason.c_str());
    FUZZ_CHECK(scan.records.size() == static_cast<size_t>(reading.contacts) + 1,
               "%zu records for %d contacts", scan.records.size(), reading.contacts);
    for (const dabtool::ScannedRecord& record : scan.records) {
      FUZZ_CHECK(record.fields == 6, "a record of %d fields", record.fields);
    }
    FUZZ_CHECK(reading.sourceLines.size() == scan.records.size(), "%zu lines for %zu records",
               reading.sourceLines.size(), scan.records.size());
    FUZZ_CHECK(upload.libraryDelimiter("Semicolon", true) == "Comma", "written with ','");
  } catch (const dabtool::Failure&) {
    // A refusal with a sentence is a fine answer to bytes that are no file.
  }
  return 0;
}
