// The upload's records read on the second core while the rest of the import
// gets ready (the upload's check, the scratch copy, the book's entries for
// the duplicates), so that a two-core device pays for the reading once the
// check is done only for what is left of it.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_EARLY_RECORDS_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_EARLY_RECORDS_H_

#include <future>
#include <string_view>
#include <vector>

#include "duplicates.h"
#include "record_scan.h"

namespace dabtool {

struct UploadRecords {
  RecordScan scan;
  std::vector<RecordKey> keys;  // empty unless asked for
};

// Where each record of `bytes` lies and, with `withKeys`, every contact
// record's duplicate key, in one pass.
UploadRecords readUploadRecords(std::string_view bytes, char delimiter, bool withKeys);

// readUploadRecords started at once on another thread, over bytes that the
// upload's check may still replace (a conversion, a final line end) or read
// with another delimiter than the one guessed.
class EarlyRecords {
 public:
  // Starts the reading unless `start` is false (bytes that will surely
  // change). REQUIRES: `bytes` outlive this object (its destructor waits
  // for the reading).
  EarlyRecords(std::string_view bytes, char delimiter, bool withKeys, bool start = true);

  // The records of the bytes the library will read: the early reading when
  // it read these very bytes with `delimiter`, a new one otherwise.
  // REQUIRES: called once.
  UploadRecords take(std::string_view bytes, char delimiter);

 private:
  std::string_view bytes_;
  char delimiter_;
  bool withKeys_;
  std::future<UploadRecords> reading_;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_EARLY_RECORDS_H_
