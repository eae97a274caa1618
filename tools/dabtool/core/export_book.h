// The export as one operation: the library writes the DAB or legacy file
// into the data folder, and the result says what it holds.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_EXPORT_BOOK_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_EXPORT_BOOK_H_

#include <string>

#include "workspace.h"

namespace dabtool {

struct ExportResult {
  std::string file;  // absolute path of the library's output
  int rows = 0;      // entries written (legacy: individuals with an e-mail address)
  char delimiter = ',';
  bool legacy = false;
};

// Runs the export; throws Failure with the library's reason, and when there
// is no address book yet.
ExportResult exportBook(const Workspace& workspace, bool legacy, const std::string& delimiterName);

// "Exported 7 entries" / "Exported 3 contacts" (legacy), without a full stop.
std::string exportedSentence(const ExportResult& result);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_EXPORT_BOOK_H_
