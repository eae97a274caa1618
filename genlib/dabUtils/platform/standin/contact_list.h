// In-memory forms of what the stand-in contact database hands out: the
// contact list (entries, sub-records and strings in few allocations) and the
// group memberships loaded with it.
#ifndef DABUTILS_PLATFORM_STANDIN_CONTACT_LIST_H_
#define DABUTILS_PLATFORM_STANDIN_CONTACT_LIST_H_

#include <sqlite3.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <memory>
#include <new>
#include <vector>

#include "contact_db.h"

namespace dabplatform {

// The memory of one list: texts, sub-records and the entry array, bump
// allocated from blocks that stay in place until the list is released. A
// list at the device limit fills some 35 MB; its blocks are 2 MiB and asked
// to be backed by transparent huge pages, which took the export's page
// faults from some 9,000 to a few hundred (a fifth of its time went there).
// Small lists stay in 64 KiB blocks.
class ListArena {
 public:
  ListArena() = default;
  ListArena(const ListArena&) = delete;
  ListArena& operator=(const ListArena&) = delete;

  // `size` bytes aligned for any of the list's records; never moves.
  void* allocate(size_t size);
  // A NUL-terminated copy of `length` bytes; every empty text shares one byte.
  char* copy(const unsigned char* text, size_t length);
  char* empty() { return empty_; }
  // A copy of a record (the records are plain C structs).
  template <typename T>
  T* add(const T& value) {
    return new (allocate(sizeof(T))) T(value);
  }

 private:
  struct FreeBlock {
    void operator()(char* block) const { free(block); }
  };

  void newBlock(size_t atLeast);

  std::vector<std::unique_ptr<char, FreeBlock>> blocks_;
  char* next_ = nullptr;
  size_t left_ = 0;
  size_t allocated_ = 0;  // Bytes of all blocks so far.
  char empty_[1] = {0};
};

// One fetched list: a contiguous entry array whose sub-records and texts
// live in its arena. Every entry, groups included, gets all six sub-records, so no
// pointer a caller follows is null; a sub-record that holds only defaults
// (as most of an imported contact's do) is one instance shared by all.
class ContactListStorage {
 public:
  explicit ContactListStorage(size_t expectedEntries);
  ContactListStorage(const ContactListStorage&) = delete;
  ContactListStorage& operator=(const ContactListStorage&) = delete;

  // Appends the current row of a kSelectContacts statement.
  void append(sqlite3_stmt* row);
  size_t size() const { return size_; }
  // True when an entry has id `id`. REQUIRES: rows were appended in id order.
  bool holds(int32_t id) const;
  DAB_DBI_Contact_t* first() { return size_ == 0 ? nullptr : entries_; }

 private:
  char* text(sqlite3_stmt* row, int column);
  void appendScan(sqlite3_stmt* row, DAB_DBI_Contact_t* entry);
  template <typename T>
  T* place(const T& value, T* shared);

  ListArena arena_;  // First: everything below points into it.
  DAB_DBI_Contact_t* entries_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  DAB_DBI_Person_t blankPerson_{};
  DAB_DBI_Email_t blankEmail_{};
  DAB_DBI_InternetFax_t blankInternetFax_{};
  DAB_DBI_Scan_t blankScan_{};
  DAB_DBI_Fax_t blankFax_{};
  DAB_DBI_Favorites_t blankFavorites_{};
};

// Keeps `storage` alive until releaseList() with its first entry, and
// returns that entry (NULL for an empty list, which holds nothing to keep).
DAB_DBI_Contact_t* adoptList(std::unique_ptr<ContactListStorage> storage);

// Destroys the list whose first entry is `first`; false when no list starts there.
bool releaseList(const DAB_DBI_Contact_t* first) noexcept;

// Group ids of every contact, as loaded together with a list.
class MembershipIndex {
 public:
  // Reads every row of a kSelectMemberships statement, keeping those whose
  // group is an entry of `list` (read in the same snapshot).
  void load(sqlite3_stmt* rows, const ContactListStorage& list);
  // The ids of `contactId` in membership order; count 0 and NULL when none.
  void find(int32_t contactId, int32_t* count, int32_t** ids);

 private:
  struct Span {
    int32_t contactId;
    uint32_t first;
    uint32_t count;
  };
  std::vector<Span> spans_;  // Sorted by contactId.
  std::vector<int32_t> groupIds_;
};

}  // namespace dabplatform

#endif  // DABUTILS_PLATFORM_STANDIN_CONTACT_LIST_H_
