// Earlier states of the address book, kept beside it so that the last
// changes dabtool made can be taken back. Each change that replaces the book
// keeps the file it replaces ("<book>.dabtool-history/000007.db", by a hard
// link where it can, so keeping costs no copy) with a line naming the change
// ("000007.txt").
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_BOOK_HISTORY_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_BOOK_HISTORY_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "database_copy.h"
#include "workspace.h"

namespace dabtool {

// How many earlier states are kept; older ones are dropped.
constexpr size_t kKeptStates = 5;

// The book as it was before one change.
struct KeptState {
  int serial = 0;
  long long at = 0;     // when the change was made, seconds since the epoch
  std::string change;   // "the import of people.csv"
  std::string detail;   // "3 contacts"
  bool hadBook = true;  // false: there was no book before the change
};

// REQUIRES for every member: the caller holds the book's DatabaseLock.
class BookHistory {
 public:
  explicit BookHistory(const Workspace& workspace);

  // The kept states, oldest first.
  std::vector<KeptState> states() const;
  // Bytes the kept states take on disk.
  uintmax_t diskBytes() const;

  // Saves `scratch` over the book, keeping the book as it was first.
  // REQUIRES: no connection to the scratch copy is open. Throws Failure, and
  // the book and its history are then unchanged.
  void commit(ScratchCopy& scratch, const std::string& change, const std::string& detail);

  // Puts the newest kept state in the book's place and forgets it. Throws
  // Failure when nothing is kept.
  KeptState undo();

 private:
  KeptState keep(const std::string& change, const std::string& detail);
  void forget(const KeptState& state);
  void dropOldest();
  std::string fileOf(int serial, const char* extension) const;

  std::string database_;
  std::string shown_;
  std::string directory_;
};

// What a change made on a scratch copy of the book comes to: the copy is
// saved, with the book as it was kept, unless `change` is empty.
struct BookChange {
  std::string change;  // "the seed"
  std::string detail;  // "30 contacts and 2 groups"
};

// Takes the book's lock, copies the book and runs `work` with the
// stand-in's calls going to the copy; then saves the copy as the returned
// BookChange says. `work` gets the book's name as shown and throws to leave
// the book as it was. REQUIRES: `work` leaves no connection open.
void changeBook(const Workspace& workspace,
                const std::function<BookChange(const std::string& shownName)>& work);

// "the import of people.csv at 14:02, 3 contacts"; the day is named when it
// was not today.
std::string describeChange(const KeptState& state);

struct UndoResult {
  KeptState undone;
  size_t stillKept = 0;  // earlier states that can still be put back
  uintmax_t diskBytes = 0;
  bool bookExists = true;  // false: the change had made the book
  int entries = 0;         // what the book holds now
};

// Takes the book's lock and puts back the state before the last change.
// Throws Failure when there is none, or another dabtool holds the book.
UndoResult undoLastChange(const Workspace& workspace);

// "2 earlier changes can still be undone; the kept copies take 3 MiB".
std::string keptSentence(size_t kept, uintmax_t diskBytes);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_BOOK_HISTORY_H_
