// The restore as one operation: a DAB export read back into the book, every
// entry with its favourites, scan destination and memberships, on a scratch
// copy that replaces the book only when every row went in. The report holds
// what a person must know: what was created, what was skipped as already
// in the book, and what the format could not carry.
#ifndef DABUTILS_TOOLS_DABTOOL_RESTORE_RESTORE_BOOK_H_
#define DABUTILS_TOOLS_DABTOOL_RESTORE_RESTORE_BOOK_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dab_file.h"
#include "workspace.h"

namespace dabtool {

struct RestoreRequest {
  std::string file;             // the name the person knows the file by
  bool merge = false;           // beside what the book holds, not into an empty book
  bool keepDuplicates = false;  // with merge: create entries already in the book anyway
  // Told now and then how many of the file's rows have gone in, and how
  // many there are.
  std::function<void(int done, int total)> progress;
};

// An entry of the file, by the line its row starts on.
struct RestoredRow {
  int line = 0;
  std::string displayName;
  std::string detail;  // the fax number for a lost segment; "" otherwise
};

struct RestoreReport {
  RestoreRequest request;
  char delimiter = ',';
  std::vector<RowProblem> problems;  // rows that break the format: nothing was restored
  int contacts = 0;                  // created
  int groups = 0;
  int memberships = 0;
  int entriesBefore = 0;
  int entriesAfter = 0;
  std::vector<RestoredRow> duplicates;       // skipped: already in the book or the file
  std::vector<RestoredRow> lostFaxSegments;  // created without what the export masked
  int scanDestinations = 0;                  // created without their password

  bool succeeded() const { return problems.empty(); }
};

// Restores the DAB export at `request.file`. Returns a report with problems
// and changes nothing when rows break the format. Throws UnreadableFile for
// a file that is no DAB export, Failure for a book that is not empty
// (without merge) or would pass the device limit, and the book is then
// unchanged.
RestoreReport restoreFile(const Workspace& workspace, const RestoreRequest& request);

// The same for the bytes of an upload (the console's).
RestoreReport restoreBytes(const Workspace& workspace, const RestoreRequest& request,
                           std::string_view bytes);

// --- Sentences, without a full stop. `book` names the address book.

// "Restored 208 entries from book.csv: 200 contacts, 8 groups, 57 memberships"
std::string restoredSentence(const RestoreReport& report);
// What was skipped or could not come back: a line for the skipped
// duplicates and one for the lost fax segments, each naming its first
// `listed` rows and how many more, and one for the passwords. With
// kEveryRow, a line for each row instead.
constexpr size_t kEveryRow = static_cast<size_t>(-1);
std::vector<std::string> restoreNotes(const RestoreReport& report, size_t listed = 3);
// "book.csv has 2 rows that break the DAB format, so nothing was restored"
std::string refusedSentence(const RestoreReport& report, const std::string& book);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_RESTORE_RESTORE_BOOK_H_
