// Checks that a CSV file the library wrote is whole before the tool hands it
// over. The library does not check its own writes, so a full disk leaves a
// short file that would otherwise be reported as a success.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_WHOLE_FILE_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_WHOLE_FILE_H_

#include <string>

namespace dabtool {

// What the format guarantees about a file it writes.
struct CsvShape {
  char delimiter = ',';
  int rows = 0;               // every row, the header row included
  bool lastRowEnded = true;   // the last row ends with a line end
  const char* what = "file";  // "export", "sample": names the file's kind
};

// Throws Failure naming `shownName` and the likely cause when the file at
// `path` holds fewer rows than `shape` says, a row with fewer cells than
// the header, or ends in the middle of a row.
void checkWholeCsv(const std::string& path, const std::string& shownName, const CsvShape& shape);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_WHOLE_FILE_H_
