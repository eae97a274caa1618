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

namespace {

bool blank(const char* text) { return text[0] == '\0'; }

bool isBlank(const DAB_DBI_Person_t& p) {
  return blank(p.firstName) && blank(p.lastName) && blank(p.company);
}
bool isBlank(const DAB_DBI_Email_t& e) { return blank(e.address) && e.isFavorite == 0; }
bool isBlank(const DAB_DBI_InternetFax_t& f) { return blank(f.address); }
bool isBlank(const DAB_DBI_Fax_t& f) { return blank(f.number) && f.isFavorite == 0; }
bool isBlank(const DAB_DBI_Favorites_t& f) { return f.allFavoritesOrder == kNoFavoritesOrder; }
bool isBlank(const DAB_DBI_Scan_t& s) {
  return s.serverAddress == nullptr && s.serverAddressType == kDefaultServerAddressType &&
         s.transferProtocol == kDefaultTransferProtocol && s.isFavorite == 0 && blank(s.nickName) &&
         blank(s.documentPath) && blank(s.loginName) && blank(s.shareOrVolume) &&
         blank(s.ndsContext) && blank(s.ndsTree);
}

template <typename T>
T* place(StablePool<T>& pool, const T& value, T* shared) {
  return isBlank(value) ? shared : pool.add(value);
}

}  // namespace

ContactListStorage::ContactListStorage(size_t expectedEntries) {
  entries_.reserve(expectedEntries);
  char* empty = strings_.empty();
  blankPerson_ = {empty, empty, empty, 0};
  blankEmail_.address = empty;
  blankInternetFax_.address = empty;
  blankFax_.number = empty;
  blankFavorites_.allFavoritesOrder = kNoFavoritesOrder;
  blankScan_.nickName = blankScan_.documentPath = blankScan_.loginName = empty;
  blankScan_.shareOrVolume = blankScan_.ndsContext = blankScan_.ndsTree = empty;
  blankScan_.serverAddressType = kDefaultServerAddressType;
  blankScan_.transferProtocol = kDefaultTransferProtocol;
}

char* ContactListStorage::text(sqlite3_stmt* row, int column) {
  const unsigned char* value = sqlite3_column_text(row, column);
  if (value == nullptr && sqlite3_errcode(sqlite3_db_handle(row)) == SQLITE_NOMEM) {
    throw std::bad_alloc();  // Not a NULL column: SQLite ran out converting it.
  }
  // Ask for the length after the text: that is the order that leaves it valid.
  return strings_.copy(value, static_cast<size_t>(sqlite3_column_bytes(row, column)));
}

void ContactListStorage::appendScan(sqlite3_stmt* row, DAB_DBI_Contact_t* entry) {
  DAB_DBI_Scan_t scan{};
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
  entry->scan = place(scans_, scan, &blankScan_);
}

void ContactListStorage::append(sqlite3_stmt* row) {
  DAB_DBI_Contact_t entry{};
  entry.id = sqlite3_column_int(row, kId);
  entry.dlType = sqlite3_column_int(row, kDlType);
  entry.displayName = text(row, kDisplayName);

  DAB_DBI_Person_t person{text(row, kFirstName), text(row, kLastName), text(row, kCompany), 0};
  entry.person = place(persons_, person, &blankPerson_);
  DAB_DBI_Email_t email{text(row, kEmailAddress), 0, sqlite3_column_int(row, kEmailFavorite)};
  entry.email = place(emails_, email, &blankEmail_);
  DAB_DBI_InternetFax_t internetFax{text(row, kInternetFaxAddress), 0};
  entry.internetFax = place(internetFaxes_, internetFax, &blankInternetFax_);
  DAB_DBI_Fax_t fax{};
  fax.number = text(row, kFaxNumber);
  fax.isFavorite = sqlite3_column_int(row, kFaxFavorite);
  entry.fax = place(faxes_, fax, &blankFax_);
  DAB_DBI_Favorites_t favorites{};
  favorites.allFavoritesOrder = sqlite3_column_int(row, kAllFavoritesOrder);
  entry.favorites = place(favorites_, favorites, &blankFavorites_);
  appendScan(row, &entry);
  entries_.push_back(entry);
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
