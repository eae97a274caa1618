// Reading a DAB export back: every row as the entry to create, with the
// group ids it is a member of, or the reason it cannot be read.
#ifndef DABUTILS_TOOLS_DABTOOL_RESTORE_DAB_FILE_H_
#define DABUTILS_TOOLS_DABTOOL_RESTORE_DAB_FILE_H_

#include <string>
#include <string_view>
#include <vector>

#include "address_book.h"

namespace dabtool {

struct DabRow {
  int line = 0;  // where the row starts in the file
  int id = 0;    // its ZltAddressBookId
  NewEntry entry;
  std::vector<int> memberOf;        // group ids of the file, in its order
  bool faxSegmentLost = false;      // the export masked part of its fax number
  bool hasScanDestination = false;  // a scan destination, whose password is not in the file
};

// A row that breaks the format, by the line it starts on.
struct RowProblem {
  int line = 0;
  std::string reason;  // "has 25 fields; a DAB row has 26"
};

struct DabFile {
  char delimiter = ',';
  std::vector<DabRow> rows;
  std::vector<RowProblem> problems;  // empty when every row can be restored
};

// Reads the bytes of a DAB export in either delimiter. Throws UnreadableFile,
// one sentence naming `shownName` and what the bytes look like, when they
// are no DAB export at all.
DabFile readDabFile(std::string_view bytes, const std::string& shownName);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_RESTORE_DAB_FILE_H_
