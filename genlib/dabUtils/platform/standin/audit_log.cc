// Stand-in audit log: one row per event in the table `audit_log` of the
// contact database's file, with the time in UTC ISO-8601 and a sentence a
// person can read. Each call opens its own short-lived connection, so it
// works whether or not the library's connection is open.
#include "audit_log.h"

#include <unistd.h>

#include <string>

#include "contact_db_sqlite.h"
#include "dabplatform.h"
#include "sqlite_support.h"

namespace {

using dabplatform::DbHandle;
using dabplatform::Statement;

constexpr const char* kCreateAuditTable =
    "CREATE TABLE IF NOT EXISTS audit_log ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " at TEXT NOT NULL,"
    " event TEXT NOT NULL)";

constexpr const char* kInsertEvent =
    "INSERT INTO audit_log (at, event)"
    " VALUES (strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), ?1)";

constexpr const char* kSelectNewest = "SELECT at, event FROM audit_log ORDER BY id DESC LIMIT ?1";

constexpr const char* kExportEvent = "address book exported";

void appendEvent(const char* event) {
  // Our own connection would wait on a batch that this process left open.
  dabplatform::commitPendingContacts();
  DbHandle db =
      dabplatform::openDatabase(dabplatform::databaseFile(true), dabplatform::OpenMode::kCreate);
  dabplatform::exec(db.get(), kCreateAuditTable);
  Statement insert(db.get(), kInsertEvent);
  Statement::Use row = insert.use();
  row.bindText(1, event);
  row.step();
}

bool hasAuditTable(sqlite3* db) {
  return dabplatform::queryInteger(
             db, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'audit_log'") >
         0;
}

}  // namespace

extern "C" int adlog_addressbook_export(void) {
  return dabplatform::guarded([] { appendEvent(kExportEvent); });
}

extern "C" int dabplatform_audit_records(dabplatform_audit_visitor visitor, void* context,
                                         int limit) {
  return dabplatform::guarded([=] {
    if (visitor == nullptr) dabplatform::fail(DABPLATFORM_DB_BAD_ARGUMENT, "no audit visitor");
    std::string path = dabplatform::databaseFile(false);
    if (access(path.c_str(), F_OK) != 0) return;  // Nothing was ever recorded.
    DbHandle db = dabplatform::openDatabase(path, dabplatform::OpenMode::kReadOnly);
    if (!hasAuditTable(db.get())) return;
    Statement select(db.get(), kSelectNewest);
    Statement::Use rows = select.use();
    rows.bindInt(1, limit > 0 ? limit : -1);
    while (rows.step()) {
      visitor(context, rows.text(0), rows.text(1));
    }
  });
}
