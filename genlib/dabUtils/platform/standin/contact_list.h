// In-memory forms of what the stand-in contact database hands out: the
// contact list (entries, sub-records and strings in few allocations) and the
// group memberships loaded with it.
#ifndef DABUTILS_PLATFORM_STANDIN_CONTACT_LIST_H_
#define DABUTILS_PLATFORM_STANDIN_CONTACT_LIST_H_

#include <sqlite3.h>
#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <vector>

#include "contact_db.h"

namespace dabplatform {

// Strings of one list, packed into 64 KiB blocks. Every empty text shares
// one byte; a text longer than a quarter block gets a block of its own so
// the current block's tail is not wasted.
class StringArena {
 public:
  StringArena() = default;
  StringArena(const StringArena&) = delete;
  StringArena& operator=(const StringArena&) = delete;

  char* copy(const unsigned char* text, size_t length);
  char* empty() { return empty_; }

 private:
  char* allocate(size_t size);

  std::vector<std::unique_ptr<char[]>> blocks_;
  char* next_ = nullptr;
  size_t left_ = 0;
  char empty_[1] = {0};
};

// Elements that never move once added, so pointers to them can be handed
// out at once. Blocks grow from 64 to 4096 elements: small lists stay small.
template <typename T>
class StablePool {
 public:
  T* add(const T& value) {
    if (used_ == capacity_) {
      capacity_ = capacity_ == 0 ? 64 : (capacity_ < 4096 ? capacity_ * 2 : 4096);
      blocks_.emplace_back(new T[capacity_]);
      used_ = 0;
    }
    T* slot = &blocks_.back()[used_++];
    *slot = value;
    return slot;
  }

 private:
  std::vector<std::unique_ptr<T[]>> blocks_;
  size_t used_ = 0;
  size_t capacity_ = 0;
};

// One fetched list: a contiguous entry array whose sub-records live in
// pools. Every entry, groups included, gets all six sub-records, so no
// pointer a caller follows is null; a sub-record that holds only defaults
// (as most of an imported contact's do) is one instance shared by all.
class ContactListStorage {
 public:
  explicit ContactListStorage(size_t expectedEntries);
  ContactListStorage(const ContactListStorage&) = delete;
  ContactListStorage& operator=(const ContactListStorage&) = delete;

  // Appends the current row of a kSelectContacts statement.
  void append(sqlite3_stmt* row);
  size_t size() const { return entries_.size(); }
  DAB_DBI_Contact_t* first() { return entries_.empty() ? nullptr : entries_.data(); }

 private:
  char* text(sqlite3_stmt* row, int column);
  void appendScan(sqlite3_stmt* row, DAB_DBI_Contact_t* entry);

  StringArena strings_;  // First: the shared defaults below point into it.
  std::vector<DAB_DBI_Contact_t> entries_;
  StablePool<DAB_DBI_Person_t> persons_;
  StablePool<DAB_DBI_Email_t> emails_;
  StablePool<DAB_DBI_InternetFax_t> internetFaxes_;
  StablePool<DAB_DBI_Scan_t> scans_;
  StablePool<DAB_DBI_Fax_t> faxes_;
  StablePool<DAB_DBI_Favorites_t> favorites_;
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
  // Reads every row of a kSelectMemberships statement.
  void load(sqlite3_stmt* rows);
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
