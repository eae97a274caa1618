// An import's records as a person reads them: the findings grouped by kind
// with a count and the first few places, and the whole list as a report
// file with one row per record of the upload.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_IMPORT_FINDINGS_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_IMPORT_FINDINGS_H_

#include <string>
#include <string_view>
#include <vector>

#include "import_book.h"

namespace dabtool {

// Records that share one finding.
struct FindingGroup {
  enum What { kDoubt, kRefusal, kInBook, kRepeated };
  What what = kDoubt;        // created with a doubt, refused, or skipped as a duplicate
  bool refused = false;      // they did not become contacts
  RecordFinding finding;     // what they share
  std::vector<int> records;  // the library's record numbers (header row 1), in file order
};

// The groups: doubts about created contacts first, then refusals, then
// duplicates skipped, in the order of the findings' kinds.
std::vector<FindingGroup> groupFindings(const ImportReport& report);

// "6,500 contacts created, but the e-mail address (column 5) contains a
// blank or a non-ASCII character: record 1 (line 2), record 6 (line 7) and
// 6,498 more", naming at most `shown` records; with 0, none and no colon.
std::string groupSentence(const ImportReport& report, const FindingGroup& group, size_t shown);

// The report file: a header row, then one row per record of the upload:
// record, line, display name, outcome (created, refused, skipped, not
// read), reason. `upload` is the placed upload the import read; when it has
// changed since (another import placed its own), the display names are left
// empty.
std::string recordReportCsv(const ImportReport& report, std::string_view upload);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_IMPORT_FINDINGS_H_
