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

// Every sub-record of one entry; groups get all six too, so no pointer that a
// caller follows is ever null.
struct SubRecords {
  DAB_DBI_Person_t person;
  DAB_DBI_Email_t email;
  DAB_DBI_InternetFax_t internetFax;
  DAB_DBI_Scan_t scan;
  DAB_DBI_Fax_t fax;
  DAB_DBI_Favorites_t favorites;
};

// One fetched list. Sub-record pointers are set by link(), after the last
// append, because appending may move the vectors.
class ContactListStorage {
 public:
  explicit ContactListStorage(size_t expectedEntries);
  ContactListStorage(const ContactListStorage&) = delete;
  ContactListStorage& operator=(const ContactListStorage&) = delete;

  // Appends the current row of a kSelectContacts statement.
  void append(sqlite3_stmt* row);
  void link();
  size_t size() const { return entries_.size(); }
  DAB_DBI_Contact_t* first() { return entries_.empty() ? nullptr : entries_.data(); }

 private:
  char* text(sqlite3_stmt* row, int column);

  std::vector<DAB_DBI_Contact_t> entries_;
  std::vector<SubRecords> subRecords_;
  StringArena strings_;
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
