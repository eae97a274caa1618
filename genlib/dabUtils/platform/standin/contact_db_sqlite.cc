// Stand-in contact database on SQLite.
//
// One connection per process, shared by reference count: the library's
// service objects connect and disconnect around each operation while a tool
// may hold a connection of its own. Writes are batched in one transaction
// that is committed every kWritesPerCommit writes and at every
// DAB_DBI_Disconnect(), so a 65,000-row import costs a handful of syncs while
// everything reported as created is on disk once Disconnect returns.
//
// Defaults for a contact created without a sub-record: empty texts, flags 0,
// no server address (NULL), address type 0, protocol 1 (FTP), favourites
// order -1. A list fetched with GetContactList stays valid after disconnect
// until it is freed (an empty address book gives status 0 and a NULL
// `contacts`); group-id arrays die with the connection. Non-zero statuses
// are the DABPLATFORM_DB_* values of dabplatform.h.
#include "contact_db_sqlite.h"

#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "contact_db.h"
#include "contact_db_schema.h"
#include "contact_list.h"
#include "dabplatform.h"
#include "sqlite_support.h"

namespace dabplatform {

namespace {

constexpr int kWritesPerCommit = 10000;

const char* textOrEmpty(const char* text) { return text != nullptr ? text : ""; }

void bindScan(Statement::Use& insert, const DAB_DBI_Scan_t* scan) {
  DAB_DBI_Scan_t absent{};
  absent.serverAddressType = kDefaultServerAddressType;
  absent.transferProtocol = kDefaultTransferProtocol;
  const DAB_DBI_Scan_t& s = scan != nullptr ? *scan : absent;
  insert.bindText(kScanNickName, textOrEmpty(s.nickName));
  insert.bindText(kScanServerAddress, s.serverAddress);  // NULL stays NULL.
  insert.bindInt(kScanServerAddressType, s.serverAddressType);
  insert.bindText(kScanDocumentPath, textOrEmpty(s.documentPath));
  insert.bindText(kScanLoginName, textOrEmpty(s.loginName));
  insert.bindInt(kScanTransferProtocol, s.transferProtocol);
  insert.bindText(kScanShareOrVolume, textOrEmpty(s.shareOrVolume));
  insert.bindText(kScanNdsContext, textOrEmpty(s.ndsContext));
  insert.bindText(kScanNdsTree, textOrEmpty(s.ndsTree));
  insert.bindInt(kScanFavorite, s.isFavorite);
}

// What the import creates: names and the two addresses, no scan, fax or
// favourites sub-record. Such a row takes every other column from the
// table's defaults (kInsertPlainContact).
bool isPlain(const DAB_DBI_Contact_t& contact) {
  return contact.scan == nullptr && contact.fax == nullptr && contact.favorites == nullptr;
}

void bindContact(Statement::Use& insert, const DAB_DBI_Contact_t& contact) {
  const DAB_DBI_Person_t person = contact.person != nullptr ? *contact.person : DAB_DBI_Person_t{};
  const DAB_DBI_Email_t email = contact.email != nullptr ? *contact.email : DAB_DBI_Email_t{};
  insert.bindInt(kDlType, contact.dlType);
  insert.bindText(kDisplayName, contact.displayName);
  insert.bindText(kFirstName, textOrEmpty(person.firstName));
  insert.bindText(kLastName, textOrEmpty(person.lastName));
  insert.bindText(kCompany, textOrEmpty(person.company));
  insert.bindText(kEmailAddress, textOrEmpty(email.address));
  insert.bindInt(kEmailFavorite, email.isFavorite);
  insert.bindText(kInternetFaxAddress,
                  textOrEmpty(contact.internetFax ? contact.internetFax->address : nullptr));
  if (isPlain(contact)) return;
  const DAB_DBI_Fax_t fax = contact.fax != nullptr ? *contact.fax : DAB_DBI_Fax_t{};
  insert.bindText(kFaxNumber, textOrEmpty(fax.number));
  insert.bindInt(kFaxFavorite, fax.isFavorite);
  bindScan(insert, contact.scan);
  insert.bindInt(kAllFavoritesOrder,
                 contact.favorites ? contact.favorites->allFavoritesOrder : kNoFavoritesOrder);
}

class Connection {
 public:
  explicit Connection(DbHandle db);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  int references = 1;

  int count();
  DAB_DBI_Contact_t* fetchList();
  void groupIdsOf(int32_t contactId, DAB_DBI_GroupIds_t* out);
  int32_t create(const DAB_DBI_Contact_t& contact);
  void addMembership(int contactId, int groupId);
  void remove(int id);
  void commit();
  void finish();  // commit(), and report a batch that an error rolled back.

 private:
  void beginWrite();
  void stepWrite(Statement::Use& write);
  void noticeRollback();
  bool kindOf(int id, int32_t* dlType);
  int64_t countRows();

  DbHandle db_;  // Declared first so that it is closed after the statements.
  Statement countContacts_, selectContacts_, selectMemberships_, selectGroupsOf_;
  Statement insertContact_, insertPlainContact_, selectKind_, insertMembership_;
  Statement deleteMemberships_, deleteContact_;
  int lastCount_ = -1;  // -1: no count reported on this connection yet.
  bool writing_ = false;
  int writesInBatch_ = 0;
  bool batchLost_ = false;
  std::unique_ptr<MembershipIndex> memberships_;  // Loaded with the last list.
  bool membershipsFresh_ = false;                 // No write since they were loaded.
  std::vector<int32_t> queriedIds_;               // Last answer not served from memberships_.
};

// Reads outside a write batch share one snapshot, so the list and the
// memberships loaded with it agree; inside a batch they see its rows.
class ReadSnapshot {
 public:
  ReadSnapshot(sqlite3* db, bool writing) : db_(writing ? nullptr : db) {
    if (db_ != nullptr) exec(db_, "BEGIN");
  }
  ~ReadSnapshot() {
    if (db_ != nullptr) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  }
  ReadSnapshot(const ReadSnapshot&) = delete;
  ReadSnapshot& operator=(const ReadSnapshot&) = delete;

 private:
  sqlite3* db_;
};

Connection::Connection(DbHandle db) : db_(std::move(db)) {
  sqlite3* handle = db_.get();
  prepareSchema(handle);
  countContacts_ = Statement(handle, kCountContacts);
  selectContacts_ = Statement(handle, kSelectContacts);
  selectMemberships_ = Statement(handle, kSelectMemberships);
  selectGroupsOf_ = Statement(handle, kSelectGroupsOf);
  insertContact_ = Statement(handle, kInsertContact);
  insertPlainContact_ = Statement(handle, kInsertPlainContact);
  selectKind_ = Statement(handle, kSelectKind);
  insertMembership_ = Statement(handle, kInsertMembership);
  deleteMemberships_ = Statement(handle, kDeleteMemberships);
  deleteContact_ = Statement(handle, kDeleteContact);
}

int64_t Connection::countRows() {
  Statement::Use query = countContacts_.use();
  query.step();
  return query.integer64(0);
}

int Connection::count() {
  lastCount_ = static_cast<int>(countRows());
  return lastCount_;
}

DAB_DBI_Contact_t* Connection::fetchList() {
  ReadSnapshot snapshot(db_.get(), writing_);
  // The count the export has just asked for saves counting again, which
  // reads every page of the table; it only sizes the entry array.
  int64_t expected = lastCount_ >= 0 ? lastCount_ : countRows();
  auto storage = std::make_unique<ContactListStorage>(static_cast<size_t>(expected));
  {
    Statement::Use rows = selectContacts_.use();
    while (rows.step()) storage->append(rows.raw());
  }
  if (lastCount_ > 0 && storage->size() < static_cast<size_t>(lastCount_)) {
    fail(DABPLATFORM_DB_CHANGED, "the list holds " + std::to_string(storage->size()) +
                                     " entries, fewer than the " + std::to_string(lastCount_) +
                                     " counted before");
  }
  auto index = std::make_unique<MembershipIndex>();
  {
    Statement::Use rows = selectMemberships_.use();
    index->load(rows.raw(), *storage);
  }
  memberships_ = std::move(index);
  membershipsFresh_ = true;
  return adoptList(std::move(storage));
}

void Connection::groupIdsOf(int32_t contactId, DAB_DBI_GroupIds_t* out) {
  if (membershipsFresh_) {
    memberships_->find(contactId, &out->count, &out->ids);
    return;
  }
  memberships_.reset();  // Stale: nothing handed out from it is owed any more.
  queriedIds_.clear();
  Statement::Use rows = selectGroupsOf_.use();
  rows.bindInt(1, contactId);
  while (rows.step()) queriedIds_.push_back(rows.integer(0));
  out->count = static_cast<int32_t>(queriedIds_.size());
  out->ids = queriedIds_.empty() ? nullptr : queriedIds_.data();
}

void Connection::beginWrite() {
  if (writing_ && writesInBatch_ >= kWritesPerCommit) commit();
  if (writing_) return;
  exec(db_.get(), "BEGIN IMMEDIATE");
  writing_ = true;
  writesInBatch_ = 0;
}

void Connection::stepWrite(Statement::Use& write) {
  try {
    write.step();
  } catch (const DbError&) {
    noticeRollback();
    throw;
  }
  ++writesInBatch_;
  membershipsFresh_ = false;
}

// Disk-full and I/O errors make SQLite roll back the whole transaction, not
// just the failed statement; the rows of the batch are then gone.
void Connection::noticeRollback() {
  if (writing_ && sqlite3_get_autocommit(db_.get())) {
    writing_ = false;
    if (writesInBatch_ > 0) batchLost_ = true;
  }
}

void Connection::commit() {
  if (!writing_) return;
  try {
    exec(db_.get(), "COMMIT");
  } catch (const DbError&) {
    noticeRollback();  // A busy commit keeps the batch for the next try.
    throw;
  }
  writing_ = false;
}

void Connection::finish() {
  commit();
  if (batchLost_) {
    batchLost_ = false;
    fail(DABPLATFORM_DB_ERROR, "contacts reported as created were rolled back by an earlier error");
  }
}

int32_t Connection::create(const DAB_DBI_Contact_t& contact) {
  beginWrite();
  // Thirteen binds fewer per imported contact.
  Statement::Use insert = (isPlain(contact) ? insertPlainContact_ : insertContact_).use();
  bindContact(insert, contact);
  stepWrite(insert);
  return static_cast<int32_t>(sqlite3_last_insert_rowid(db_.get()));
}

bool Connection::kindOf(int id, int32_t* dlType) {
  Statement::Use query = selectKind_.use();
  query.bindInt(1, id);
  if (!query.step()) return false;
  *dlType = query.integer(0);
  return true;
}

void Connection::addMembership(int contactId, int groupId) {
  int32_t kind = 0;
  if (!kindOf(contactId, &kind))
    fail(DABPLATFORM_DB_NOT_FOUND, "no contact " + std::to_string(contactId));
  if (!kindOf(groupId, &kind))
    fail(DABPLATFORM_DB_NOT_FOUND, "no group " + std::to_string(groupId));
  if (kind == DAB_DBI_INDIVIDUAL) {
    fail(DABPLATFORM_DB_REFUSED, "entry " + std::to_string(groupId) + " is not a group");
  }
  if (contactId == groupId) fail(DABPLATFORM_DB_REFUSED, "a group cannot be its own member");
  beginWrite();
  Statement::Use insert = insertMembership_.use();
  insert.bindInt(1, contactId);
  insert.bindInt(2, groupId);
  stepWrite(insert);
}

void Connection::remove(int id) {
  int32_t kind = 0;
  if (!kindOf(id, &kind)) fail(DABPLATFORM_DB_NOT_FOUND, "no entry " + std::to_string(id));
  beginWrite();
  {
    Statement::Use memberships = deleteMemberships_.use();
    memberships.bindInt(1, id);
    stepWrite(memberships);
  }
  Statement::Use entry = deleteContact_.use();
  entry.bindInt(1, id);
  stepWrite(entry);
}

std::unique_ptr<Connection>& current() {
  static std::unique_ptr<Connection> connection;
  return connection;
}

Connection& connection() {
  if (!current()) fail(DABPLATFORM_DB_NOT_CONNECTED, "the contact database is not connected");
  return *current();
}

}  // namespace

void commitPendingContacts() {
  if (current()) current()->commit();
}

}  // namespace dabplatform

using dabplatform::connection;
using dabplatform::current;
using dabplatform::fail;
using dabplatform::guarded;

extern "C" int DAB_DBI_Connect(void) {
  return guarded([] {
    if (current()) {
      ++current()->references;
      return;
    }
    dabplatform::DbHandle db =
        dabplatform::openDatabase(dabplatform::databaseFile(true), dabplatform::OpenMode::kCreate);
    current() = std::make_unique<dabplatform::Connection>(std::move(db));
  });
}

extern "C" int DAB_DBI_Disconnect(void) {
  if (!current()) {
    return guarded([] { fail(DABPLATFORM_DB_NOT_CONNECTED, "disconnect without a connection"); });
  }
  int status = guarded([] { current()->finish(); });
  if (--current()->references == 0) current().reset();  // Closing rolls back an unfinished batch.
  return status;
}

extern "C" int DAB_DBI_GetContactsCount(int* count, int /*selector*/) {
  return guarded([count] {
    if (count == nullptr) fail(DABPLATFORM_DB_BAD_ARGUMENT, "no place for the count");
    *count = connection().count();
  });
}

extern "C" int DAB_DBI_GetContactList(DAB_DBI_ContactList_t* list, int /*selector*/,
                                      int /*options*/) {
  return guarded([list] {
    if (list == nullptr) fail(DABPLATFORM_DB_BAD_ARGUMENT, "no list header");
    if (list->contacts != nullptr) fail(DABPLATFORM_DB_BAD_ARGUMENT, "the list header is in use");
    list->contacts = connection().fetchList();
  });
}

extern "C" int DAB_DBI_Free_ContactList(DAB_DBI_ContactList_t* list) {
  if (list == nullptr) return guarded([] { fail(DABPLATFORM_DB_BAD_ARGUMENT, "no list header"); });
  int status = guarded([list] {
    if (list->contacts != nullptr && !dabplatform::releaseList(list->contacts)) {
      fail(DABPLATFORM_DB_BAD_ARGUMENT, "the header does not point at a fetched list");
    }
  });
  free(list);
  return status;
}

extern "C" int DAB_DBI_GetAllGroupIds(DAB_DBI_GroupIds_t* ids, int contactId, int /*selector*/) {
  return guarded([ids, contactId] {
    if (ids == nullptr) fail(DABPLATFORM_DB_BAD_ARGUMENT, "no group-id record");
    connection().groupIdsOf(contactId, ids);
  });
}

extern "C" int DAB_DBI_CreateContact(DAB_DBI_Contact_t* contact, int* newContactId) {
  return guarded([contact, newContactId] {
    if (contact == nullptr || contact->displayName == nullptr) {
      fail(DABPLATFORM_DB_BAD_ARGUMENT, "a contact needs a display name");
    }
    int32_t id = connection().create(*contact);
    if (newContactId != nullptr) *newContactId = id;
  });
}

extern "C" int dabplatform_add_membership(int contactId, int groupId) {
  return guarded([contactId, groupId] { connection().addMembership(contactId, groupId); });
}

extern "C" int dabplatform_remove_entry(int id) {
  return guarded([id] { connection().remove(id); });
}
