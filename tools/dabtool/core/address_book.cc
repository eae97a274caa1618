#include "address_book.h"

#include <cstdlib>
#include <memory>

#include "contact_db.h"
#include "dabplatform.h"
#include "errors.h"

namespace dabtool {

namespace {

std::string text(const char* value) { return value ? value : ""; }

// The database's own words for its last failure, after `what`.
Failure databaseFailure(const std::string& what) {
  std::string reason = text(dabplatform_database_error());
  return Failure(reason.empty() ? what : what + ": " + reason);
}

// The list header is the caller's malloc() block until it is handed back to
// DAB_DBI_Free_ContactList, which takes it whether or not the fetch worked.
struct ListReleaser {
  void operator()(DAB_DBI_ContactList_t* list) const { DAB_DBI_Free_ContactList(list); }
};
using ListHandle = std::unique_ptr<DAB_DBI_ContactList_t, ListReleaser>;

BookEntry copyEntry(const DAB_DBI_Contact_t& record) {
  BookEntry entry;
  entry.id = record.id;
  entry.dlType = record.dlType;
  entry.displayName = text(record.displayName);
  if (record.person) {
    entry.firstName = text(record.person->firstName);
    entry.lastName = text(record.person->lastName);
    entry.company = text(record.person->company);
  }
  if (record.email) {
    entry.email = text(record.email->address);
    entry.emailFavorite = record.email->isFavorite != 0;
  }
  if (record.internetFax) entry.internetFax = text(record.internetFax->address);
  if (record.fax) {
    entry.faxNumber = text(record.fax->number);
    entry.faxFavorite = record.fax->isFavorite != 0;
  }
  if (record.scan) {
    entry.scanNickName = text(record.scan->nickName);
    entry.scanFavorite = record.scan->isFavorite != 0;
    bool hasDestination = !entry.scanNickName.empty() || record.scan->serverAddress != nullptr;
    entry.scanProtocol = hasDestination ? record.scan->transferProtocol : -1;
  }
  if (record.favorites) entry.favoritesOrder = record.favorites->allFavoritesOrder;
  return entry;
}

// Mutable copies of a NewEntry's texts, since the records take char*.
struct EntryStrings {
  explicit EntryStrings(const NewEntry& e)
      : displayName(e.displayName),
        firstName(e.firstName),
        lastName(e.lastName),
        company(e.company),
        email(e.email),
        internetFax(e.internetFax),
        faxNumber(e.faxNumber),
        nickName(e.scan.nickName),
        serverAddress(e.scan.serverAddress),
        documentPath(e.scan.documentPath),
        loginName(e.scan.loginName),
        shareOrVolume(e.scan.shareOrVolume),
        ndsContext(e.scan.ndsContext),
        ndsTree(e.scan.ndsTree) {}
  std::string displayName, firstName, lastName, company, email, internetFax, faxNumber;
  std::string nickName, serverAddress, documentPath, loginName, shareOrVolume, ndsContext, ndsTree;
};

}  // namespace

AddressBook::AddressBook() {
  if (DAB_DBI_Connect() != 0) {
    DAB_DBI_Disconnect();
    throw databaseFailure(std::string("cannot open the address book ") +
                          dabplatform_database_path());
  }
}

AddressBook::~AddressBook() {
  if (open_) DAB_DBI_Disconnect();
}

void AddressBook::close() {
  open_ = false;
  if (DAB_DBI_Disconnect() != 0)
    throw databaseFailure("the address book could not save its changes");
}

int AddressBook::count() {
  int count = 0;
  if (DAB_DBI_GetContactsCount(&count, 0) != 0)
    throw databaseFailure("cannot count the address book");
  return count;
}

std::vector<BookEntry> AddressBook::entries() {
  int total = count();
  auto* raw = static_cast<DAB_DBI_ContactList_t*>(std::calloc(1, sizeof(DAB_DBI_ContactList_t)));
  if (raw == nullptr) throw std::bad_alloc();
  ListHandle list(raw);
  if (DAB_DBI_GetContactList(list.get(), 0, 0) != 0)
    throw databaseFailure("cannot read the address book");
  std::vector<BookEntry> entries;
  entries.reserve(static_cast<size_t>(total));
  for (int i = 0; i < total; ++i) entries.push_back(copyEntry(list->contacts[i]));
  for (BookEntry& entry : entries) {
    DAB_DBI_GroupIds_t ids{0, nullptr};
    if (DAB_DBI_GetAllGroupIds(&ids, entry.id, 1) != 0) continue;
    for (int i = 0; i < ids.count; ++i) entry.groups.push_back(ids.ids[i]);
  }
  return entries;
}

int AddressBook::create(const NewEntry& entry) {
  EntryStrings s(entry);
  DAB_DBI_Person_t person{s.firstName.data(), s.lastName.data(), s.company.data(), 0};
  DAB_DBI_Email_t email{s.email.data(), 0, entry.emailFavorite ? 1 : 0};
  DAB_DBI_InternetFax_t internetFax{s.internetFax.data(), 0};
  DAB_DBI_Fax_t fax{};
  fax.number = s.faxNumber.data();
  fax.isFavorite = entry.faxFavorite ? 1 : 0;
  DAB_DBI_Favorites_t favorites{};
  favorites.allFavoritesOrder = entry.favoritesOrder;
  DAB_DBI_Scan_t scan{};
  scan.nickName = s.nickName.data();
  scan.serverAddress = entry.scan.hasServerAddress ? s.serverAddress.data() : nullptr;
  scan.serverAddressType = entry.scan.serverAddressType;
  scan.documentPath = s.documentPath.data();
  scan.loginName = s.loginName.data();
  scan.transferProtocol = entry.scan.transferProtocol;
  scan.shareOrVolume = s.shareOrVolume.data();
  scan.ndsContext = s.ndsContext.data();
  scan.ndsTree = s.ndsTree.data();
  scan.isFavorite = entry.scan.favorite ? 1 : 0;

  DAB_DBI_Contact_t record{};
  record.dlType = entry.dlType;
  record.displayName = s.displayName.data();
  record.email = &email;
  record.fax = &fax;
  record.scan = entry.hasScan ? &scan : nullptr;
  if (entry.dlType == 0) {
    record.person = &person;
    record.internetFax = &internetFax;
    record.favorites = &favorites;
  }
  int newId = -1;
  if (DAB_DBI_CreateContact(&record, &newId) != 0) {
    throw databaseFailure("the address book refused the entry '" + entry.displayName + "'");
  }
  return newId;
}

void AddressBook::addMembership(int contactId, int groupId) {
  if (dabplatform_add_membership(contactId, groupId) != 0) {
    throw databaseFailure("the address book refused to put entry " + std::to_string(contactId) +
                          " in group " + std::to_string(groupId));
  }
}

void AddressBook::remove(int id) {
  if (dabplatform_remove_entry(id) != 0) {
    throw databaseFailure("the address book could not remove entry " + std::to_string(id));
  }
}

UseDatabaseFile::UseDatabaseFile(const std::string& path) : previous_(dabplatform_database_path()) {
  dabplatform_set_database_path(path.c_str());
}

UseDatabaseFile::~UseDatabaseFile() { dabplatform_set_database_path(previous_.c_str()); }

int countEntries() {
  AddressBook book;
  return book.count();
}

}  // namespace dabtool
