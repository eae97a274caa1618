// SQLite plumbing of the stand-in: error mapping, handles, statements and the
// database file's location.
#include "sqlite_support.h"

#include <stdio.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace dabplatform {

namespace {

// Five seconds covers a writer's batch commit; a reader waits that long at
// most instead of failing at the first lock it meets.
constexpr int kBusyTimeoutMs = 5000;

char lastFailure[512] = "";

std::string& explicitDatabasePath() {
  static std::string path;
  return path;
}

std::string defaultDatabasePath() {
  return (fs::path(dabplatform_data_root()) / "addressbook.db").string();
}

}  // namespace

void fail(int status, const std::string& message) { throw DbError(status, message); }

int statusFromSqlite(int resultCode) {
  switch (resultCode & 0xff) {
    case SQLITE_NOMEM:
      return DABPLATFORM_DB_NO_MEMORY;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return DABPLATFORM_DB_BUSY;
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
      return DABPLATFORM_DB_REFUSED;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return DABPLATFORM_DB_NOT_A_DATABASE;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
      return DABPLATFORM_DB_CANNOT_OPEN;
    default:
      return DABPLATFORM_DB_ERROR;
  }
}

void check(sqlite3* db, int resultCode, const char* what) {
  if (resultCode == SQLITE_OK || resultCode == SQLITE_ROW || resultCode == SQLITE_DONE) return;
  // The reason first: the statement text can be long enough to be cut off.
  std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(resultCode);
  message += std::string(" (") + what + ")";
  fail(statusFromSqlite(resultCode), message);
}

void rememberFailure(const char* message) noexcept {
  snprintf(lastFailure, sizeof lastFailure, "%s", message);
}

DbHandle openDatabase(const std::string& path, OpenMode mode) {
  int flags =
      mode == OpenMode::kCreate ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
  sqlite3* raw = nullptr;
  int resultCode = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  DbHandle db(raw);  // A failed open still hands out a handle to close.
  check(db.get(), resultCode, ("cannot open " + path).c_str());
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
  if (mode == OpenMode::kCreate) {
    // Reading the journal mode reads the file header, so a file that is not
    // a database is refused here rather than at the first real query.
    exec(db.get(), "PRAGMA journal_mode=WAL");
    exec(db.get(), "PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON");
  } else {
    queryInteger(db.get(), "SELECT COUNT(*) FROM sqlite_master");
  }
  return db;
}

void exec(sqlite3* db, const char* sql) {
  check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql);
}

int64_t queryInteger(sqlite3* db, const char* sql) {
  Statement statement(db, sql);
  Statement::Use query = statement.use();
  if (!query.step()) fail(DABPLATFORM_DB_ERROR, std::string(sql) + ": no row");
  return query.integer64(0);
}

Statement::Statement(sqlite3* db, const char* sql) {
  check(db, sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr), sql);
}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    stmt_ = other.stmt_;
    other.stmt_ = nullptr;
  }
  return *this;
}

void Statement::Use::bindInt(int index, int64_t value) {
  check(sqlite3_db_handle(stmt_), sqlite3_bind_int64(stmt_, index, value), "bind");
}

void Statement::Use::bindText(int index, const char* text) {
  int resultCode = text == nullptr ? sqlite3_bind_null(stmt_, index)
                                   : sqlite3_bind_text(stmt_, index, text, -1, SQLITE_STATIC);
  check(sqlite3_db_handle(stmt_), resultCode, "bind");
}

bool Statement::Use::step() {
  int resultCode = sqlite3_step(stmt_);
  check(sqlite3_db_handle(stmt_), resultCode, sqlite3_sql(stmt_));
  return resultCode == SQLITE_ROW;
}

const char* Statement::Use::text(int column) const {
  const unsigned char* value = sqlite3_column_text(stmt_, column);
  return value != nullptr ? reinterpret_cast<const char*>(value) : "";
}

std::string databaseFile(bool createRoot) {
  if (!explicitDatabasePath().empty()) return explicitDatabasePath();
  if (createRoot) {
    std::error_code ignored;  // A root that cannot be made shows up as a failed open.
    fs::create_directories(dabplatform_data_root(), ignored);
  }
  return defaultDatabasePath();
}

}  // namespace dabplatform

extern "C" void dabplatform_set_database_path(const char* path) {
  try {
    dabplatform::explicitDatabasePath() = path != nullptr ? path : "";
  } catch (const std::bad_alloc&) {
    dabplatform::explicitDatabasePath().clear();  // Back to the default rather than half a name.
  }
}

extern "C" const char* dabplatform_database_path(void) {
  static std::string current;
  try {
    current = dabplatform::databaseFile(false);
  } catch (const std::bad_alloc&) {
    current.clear();
  }
  return current.c_str();
}

extern "C" const char* dabplatform_database_error(void) { return dabplatform::lastFailure; }
