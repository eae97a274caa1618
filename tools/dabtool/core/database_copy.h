// All-or-nothing changes to the SQLite address book. A command that changes
// the book lets the library work on a scratch copy and only puts the copy in
// the book's place, by an atomic rename, once the work is known to be good; a
// failure or a kill at any moment leaves the book as it was.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_DATABASE_COPY_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_DATABASE_COPY_H_

#include <string>

namespace dabtool {

// Throws Failure unless `path` is absent or an address book of the schema
// this tool knows: an SQLite database that can be read, not another
// program's, not of a newer or another schema. `shownName` names it in the
// sentence.
void checkDatabaseFile(const std::string& path, const std::string& shownName);

// An exclusive hold on one address book against other dabtool processes,
// kept for the object's lifetime (flock on "<book>.dabtool-lock").
class DatabaseLock {
 public:
  // Throws Failure when another dabtool holds the book.
  DatabaseLock(const std::string& database, const std::string& shownName);
  ~DatabaseLock();
  DatabaseLock(const DatabaseLock&) = delete;
  DatabaseLock& operator=(const DatabaseLock&) = delete;

 private:
  int fd_;
};

// A scratch copy of the address book beside it, made with SQLite's backup
// API. The copy is deleted on destruction unless commit() put it in place.
// REQUIRES: the caller holds the book's DatabaseLock for the copy's lifetime.
class ScratchCopy {
 public:
  // Removes scratch copies that a killed dabtool left behind, makes sure no
  // other program has the book open with unsaved journal data, and copies
  // it. An absent book gives an empty copy. Throws Failure.
  ScratchCopy(const std::string& database, const std::string& shownName);
  ~ScratchCopy();
  ScratchCopy(const ScratchCopy&) = delete;
  ScratchCopy& operator=(const ScratchCopy&) = delete;

  const std::string& path() const { return scratch_; }

  // Folds the copy's journal into it, flushes it to disk and renames it over
  // the book. REQUIRES: no connection to the copy is open. Throws Failure,
  // and the book is then unchanged.
  void commit();

 private:
  void copyInto(const std::string& target) const;

  std::string database_;
  std::string shown_;
  std::string scratch_;
  bool committed_ = false;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_DATABASE_COPY_H_
