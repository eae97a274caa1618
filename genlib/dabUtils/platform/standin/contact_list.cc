// In-memory contact list and membership index of the stand-in database.
#include "contact_list.h"

#include <string.h>

#include <algorithm>
#include <map>
#include <new>

#include "contact_db_schema.h"
#include "sqlite_support.h"

namespace dabplatform {

namespace {

constexpr size_t kBlockSize = 64 * 1024;

// Lists handed out and not yet released, by first entry: the header that
// comes back to DAB_DBI_Free_ContactList carries nothing else to find them by.
std::map<const DAB_DBI_Contact_t*, std::unique_ptr<ContactListStorage>>& liveLists() {
  static std::map<const DAB_DBI_Contact_t*, std::unique_ptr<ContactListStorage>> lists;
  return lists;
}

}  // namespace

char* StringArena::copy(const unsigned char* text, size_t length) {
  if (text == nullptr || length == 0) return empty_;
  char* stored = allocate(length + 1);
  memcpy(stored, text, length);
  stored[length] = '\0';
  return stored;
}

char* StringArena::allocate(size_t size) {
  if (size > kBlockSize / 4) {
    blocks_.emplace_back(new char[size]);
    return blocks_.back().get();
  }
  if (size > left_) {
    blocks_.emplace_back(new char[kBlockSize]);
    next_ = blocks_.back().get();
    left_ = kBlockSize;
  }
  char* stored = next_;
  next_ += size;
  left_ -= size;
  return stored;
}

ContactListStorage::ContactListStorage(size_t expectedEntries) {
  entries_.reserve(expectedEntries);
  subRecords_.reserve(expectedEntries);
}

char* ContactListStorage::text(sqlite3_stmt* row, int column) {
  const unsigned char* value = sqlite3_column_text(row, column);
  if (value == nullptr && sqlite3_errcode(sqlite3_db_handle(row)) == SQLITE_NOMEM) {
    throw std::bad_alloc();  // Not a NULL column: SQLite ran out converting it.
  }
  // Ask for the length after the text: that is the order that leaves it valid.
  return strings_.copy(value, static_cast<size_t>(sqlite3_column_bytes(row, column)));
}

void ContactListStorage::append(sqlite3_stmt* row) {
  DAB_DBI_Contact_t entry{};
  entry.id = sqlite3_column_int(row, kId);
  entry.dlType = sqlite3_column_int(row, kDlType);
  entry.displayName = text(row, kDisplayName);

  SubRecords sub{};
  sub.person.firstName = text(row, kFirstName);
  sub.person.lastName = text(row, kLastName);
  sub.person.company = text(row, kCompany);
  sub.email.address = text(row, kEmailAddress);
  sub.email.isFavorite = sqlite3_column_int(row, kEmailFavorite);
  sub.internetFax.address = text(row, kInternetFaxAddress);
  sub.fax.number = text(row, kFaxNumber);
  sub.fax.isFavorite = sqlite3_column_int(row, kFaxFavorite);

  DAB_DBI_Scan_t& scan = sub.scan;
  scan.nickName = text(row, kScanNickName);
  scan.serverAddress = sqlite3_column_type(row, kScanServerAddress) == SQLITE_NULL
                           ? nullptr
                           : text(row, kScanServerAddress);
  scan.serverAddressType = sqlite3_column_int(row, kScanServerAddressType);
  scan.documentPath = text(row, kScanDocumentPath);
  scan.loginName = text(row, kScanLoginName);
  scan.transferProtocol = sqlite3_column_int(row, kScanTransferProtocol);
  scan.shareOrVolume = text(row, kScanShareOrVolume);
  scan.ndsContext = text(row, kScanNdsContext);
  scan.ndsTree = text(row, kScanNdsTree);
  scan.isFavorite = sqlite3_column_int(row, kScanFavorite);
  sub.favorites.allFavoritesOrder = sqlite3_column_int(row, kAllFavoritesOrder);

  entries_.push_back(entry);
  subRecords_.push_back(sub);
}

void ContactListStorage::link() {
  for (size_t i = 0; i < entries_.size(); ++i) {
    DAB_DBI_Contact_t& entry = entries_[i];
    SubRecords& sub = subRecords_[i];
    entry.person = &sub.person;
    entry.email = &sub.email;
    entry.internetFax = &sub.internetFax;
    entry.scan = &sub.scan;
    entry.fax = &sub.fax;
    entry.favorites = &sub.favorites;
  }
}

DAB_DBI_Contact_t* adoptList(std::unique_ptr<ContactListStorage> storage) {
  DAB_DBI_Contact_t* first = storage->first();
  if (first != nullptr) liveLists().emplace(first, std::move(storage));
  return first;
}

bool releaseList(const DAB_DBI_Contact_t* first) noexcept { return liveLists().erase(first) == 1; }

void MembershipIndex::load(sqlite3_stmt* rows) {
  int resultCode;
  while ((resultCode = sqlite3_step(rows)) == SQLITE_ROW) {
    int32_t contactId = sqlite3_column_int(rows, 0);
    if (spans_.empty() || spans_.back().contactId != contactId) {
      spans_.push_back(Span{contactId, static_cast<uint32_t>(groupIds_.size()), 0});
    }
    groupIds_.push_back(sqlite3_column_int(rows, 1));
    ++spans_.back().count;
  }
  check(sqlite3_db_handle(rows), resultCode, "reading the memberships");
}

void MembershipIndex::find(int32_t contactId, int32_t* count, int32_t** ids) {
  auto span = std::lower_bound(spans_.begin(), spans_.end(), contactId,
                               [](const Span& s, int32_t id) { return s.contactId < id; });
  if (span == spans_.end() || span->contactId != contactId) {
    *count = 0;
    *ids = nullptr;
    return;
  }
  *count = static_cast<int32_t>(span->count);
  *ids = groupIds_.data() + span->first;
}

}  // namespace dabplatform
