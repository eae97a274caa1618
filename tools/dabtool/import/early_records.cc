#include "early_records.h"

#include <system_error>

namespace dabtool {

UploadRecords readUploadRecords(std::string_view bytes, char delimiter, bool withKeys) {
  UploadRecords records;
  if (withKeys) {
    records.keys = readRecordKeys(bytes, delimiter, &records.scan);
  } else {
    records.scan = scanRecords(bytes, delimiter);
  }
  return records;
}

EarlyRecords::EarlyRecords(std::string_view bytes, char delimiter, bool withKeys, bool start)
    : bytes_(bytes), delimiter_(delimiter), withKeys_(withKeys) {
  if (!start) return;
  try {
    reading_ = std::async(std::launch::async, readUploadRecords, bytes, delimiter, withKeys);
  } catch (const std::system_error&) {
    // No thread to be had: take() reads them itself, as a one-core device would.
  }
}

UploadRecords EarlyRecords::take(std::string_view bytes, char delimiter) {
  bool same =
      bytes.data() == bytes_.data() && bytes.size() == bytes_.size() && delimiter == delimiter_;
  if (same && reading_.valid()) return reading_.get();
  // The early reading is of no use; it ends on its own core meanwhile.
  return readUploadRecords(bytes, delimiter, withKeys_);
}

}  // namespace dabtool
