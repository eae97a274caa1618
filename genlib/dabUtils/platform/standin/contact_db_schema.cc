// Tables and statements of the stand-in contact database.
#include "contact_db_schema.h"

#include <string>

#include "sqlite_support.h"

namespace dabplatform {

namespace {

constexpr int kSchemaVersion = 1;

// Texts are NOT NULL with '' for "unset" so that every text field of a list
// entry can point at a string; only the scan server address may be NULL.
// Ids stay in the signed 32-bit range of DAB_DBI_Contact_t.id.
constexpr const char* kCreateTables = R"sql(
CREATE TABLE IF NOT EXISTS contacts (
  id                   INTEGER PRIMARY KEY CHECK (id BETWEEN -2147483648 AND 2147483647),
  dl_type              INTEGER NOT NULL DEFAULT 0,
  display_name         TEXT NOT NULL,
  first_name           TEXT NOT NULL DEFAULT '',
  last_name            TEXT NOT NULL DEFAULT '',
  company              TEXT NOT NULL DEFAULT '',
  email_address        TEXT NOT NULL DEFAULT '',
  email_favorite       INTEGER NOT NULL DEFAULT 0,
  ifax_address         TEXT NOT NULL DEFAULT '',
  fax_number           TEXT NOT NULL DEFAULT '',
  fax_favorite         INTEGER NOT NULL DEFAULT 0,
  scan_nickname        TEXT NOT NULL DEFAULT '',
  scan_server_address  TEXT,
  scan_server_type     INTEGER NOT NULL DEFAULT 0,
  scan_document_path   TEXT NOT NULL DEFAULT '',
  scan_login_name      TEXT NOT NULL DEFAULT '',
  scan_protocol        INTEGER NOT NULL DEFAULT 1,
  scan_share_or_volume TEXT NOT NULL DEFAULT '',
  scan_nds_context     TEXT NOT NULL DEFAULT '',
  scan_nds_tree        TEXT NOT NULL DEFAULT '',
  scan_favorite        INTEGER NOT NULL DEFAULT 0,
  all_favorites_order  INTEGER NOT NULL DEFAULT -1
);
CREATE TABLE IF NOT EXISTS memberships (
  contact_id INTEGER NOT NULL REFERENCES contacts(id) ON DELETE CASCADE,
  group_id   INTEGER NOT NULL REFERENCES contacts(id) ON DELETE CASCADE,
  position   INTEGER NOT NULL,
  PRIMARY KEY (contact_id, position),
  UNIQUE (contact_id, group_id)
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS memberships_by_group ON memberships(group_id);
)sql";

}  // namespace

const char* const kSelectContacts =
    "SELECT id, dl_type, display_name, first_name, last_name, company,"
    " email_address, email_favorite, ifax_address, fax_number, fax_favorite,"
    " scan_nickname, scan_server_address, scan_server_type, scan_document_path,"
    " scan_login_name, scan_protocol, scan_share_or_volume, scan_nds_context,"
    " scan_nds_tree, scan_favorite, all_favorites_order"
    " FROM contacts ORDER BY id";

const char* const kInsertContact =
    "INSERT INTO contacts (dl_type, display_name, first_name, last_name, company,"
    " email_address, email_favorite, ifax_address, fax_number, fax_favorite,"
    " scan_nickname, scan_server_address, scan_server_type, scan_document_path,"
    " scan_login_name, scan_protocol, scan_share_or_volume, scan_nds_context,"
    " scan_nds_tree, scan_favorite, all_favorites_order)"
    " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17,"
    " ?18, ?19, ?20, ?21)";

const char* const kInsertPlainContact =
    "INSERT INTO contacts (dl_type, display_name, first_name, last_name, company,"
    " email_address, email_favorite, ifax_address)"
    " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)";

const char* const kCountContacts = "SELECT COUNT(*) FROM contacts";

// The table's own order, without a join: MembershipIndex::load() drops the
// memberships whose group is not in the list read in the same snapshot
// (deleted by a writer that did not enforce the foreign keys), which costs a
// binary search in memory instead of a lookup in the contacts table per row.
const char* const kSelectMemberships =
    "SELECT contact_id, group_id FROM memberships ORDER BY contact_id, position";

// The join drops memberships whose group was deleted by a writer that did
// not enforce the foreign keys, so an exported id always names an entry.
const char* const kSelectGroupsOf =
    "SELECT m.group_id FROM memberships AS m JOIN contacts AS g ON g.id = m.group_id"
    " WHERE m.contact_id = ?1 ORDER BY m.position";

const char* const kSelectKind = "SELECT dl_type FROM contacts WHERE id = ?1";

const char* const kInsertMembership =
    "INSERT INTO memberships (contact_id, group_id, position)"
    " SELECT ?1, ?2, COALESCE(MAX(position), 0) + 1 FROM memberships WHERE contact_id = ?1";

// Explicit rather than left to ON DELETE CASCADE, which a file written with
// the foreign keys off would not have honoured for older rows either.
const char* const kDeleteMemberships =
    "DELETE FROM memberships WHERE contact_id = ?1 OR group_id = ?1";

const char* const kDeleteContact = "DELETE FROM contacts WHERE id = ?1";

void prepareSchema(sqlite3* db) {
  int64_t version = queryInteger(db, "PRAGMA user_version");
  if (version == kSchemaVersion) return;  // The common case needs no write lock.
  if (version > kSchemaVersion) {
    fail(DABPLATFORM_DB_NOT_A_DATABASE,
         "the contact database was written by a newer schema (" + std::to_string(version) + ")");
  }
  exec(db, "BEGIN IMMEDIATE");
  try {
    exec(db, kCreateTables);
    exec(db, ("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    exec(db, "COMMIT");
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

}  // namespace dabplatform
