// Deleting entries as one operation: the entries named by id, by the
// console's search, or all of them, with every membership that names them,
// on a scratch copy that replaces the book only when all of them are gone.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_DELETE_ENTRIES_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_DELETE_ENTRIES_H_

#include <string>
#include <vector>

#include "address_book.h"
#include "workspace.h"

namespace dabtool {

// Which entries go. Exactly one of the three is used: all, else match,
// else ids.
struct DeleteSelection {
  std::vector<int> ids;
  std::string match;  // the console's search: names, addresses, fax, nickname, id
  bool all = false;
};

struct DeleteResult {
  std::vector<BookEntry> deleted;  // in the book's order
  int memberships = 0;             // memberships that went with them
  int entriesAfter = 0;
};

// The entries `selection` names, in the book's order. Throws Failure for an
// id the book does not hold, for a search that matches nothing, and when
// there is no book.
std::vector<BookEntry> selectEntries(const Workspace& workspace, const DeleteSelection& selection);

// Deletes what `selection` names (read again under the book's lock) and
// keeps the book as it was for undo. Throws Failure, and the book is then
// unchanged.
DeleteResult deleteEntries(const Workspace& workspace, const DeleteSelection& selection);

// "Anna Müller (contact 12)", "2 contacts", "3 entries (2 contacts, 1 group)".
std::string deletedText(const std::vector<BookEntry>& entries);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_DELETE_ENTRIES_H_
