#include "database_copy.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "errors.h"
#include "file_io.h"

namespace fs = std::filesystem;

namespace dabtool {

namespace {

const char kScratchInfix[] = ".dabtool-scratch-";
const char* const kSidecars[] = {"-wal", "-shm", "-journal"};

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;

// The one place where an SQLite result becomes a sentence.
[[noreturn]] void sqliteFailure(sqlite3* db, int code, const std::string& what) {
  std::string reason = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  if ((code & 0xff) == SQLITE_NOTADB) {
    throw Failure(what + " is not an address book database (" + reason + ")");
  }
  if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED) {
    throw Busy(what + " is in use by another program (" + reason + ")");
  }
  throw Failure("cannot use " + what + ": " + reason);
}

SqliteHandle openDatabase(const std::string& path, int flags, const std::string& shownName) {
  sqlite3* raw = nullptr;
  int code = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  SqliteHandle db(raw);
  if (code != SQLITE_OK) sqliteFailure(db.get(), code, shownName);
  sqlite3_busy_timeout(db.get(), 2000);
  return db;
}

// Every row of a one-column query, as text.
std::vector<std::string> queryTexts(sqlite3* db, const std::string& sql,
                                    const std::string& shownName) {
  sqlite3_stmt* raw = nullptr;
  int code = sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr);
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
  if (code != SQLITE_OK) sqliteFailure(db, code, shownName);
  std::vector<std::string> rows;
  while ((code = sqlite3_step(statement.get())) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(statement.get(), 0);
    rows.push_back(text ? reinterpret_cast<const char*>(text) : "");
  }
  if (code != SQLITE_DONE) sqliteFailure(db, code, shownName);
  return rows;
}

// The first row of a one-column query ("" without one).
std::string queryText(sqlite3* db, const char* sql, const std::string& shownName) {
  std::vector<std::string> rows = queryTexts(db, sql, shownName);
  return rows.empty() ? std::string() : rows.front();
}

bool hasContent(const std::string& path) {
  std::error_code error;
  return fs::exists(path, error) && fs::file_size(path, error) > 0 && !error;
}

// Opens and closes the database once, so that SQLite rolls back a hot
// journal and folds a write-ahead log into the file. A log that survives
// belongs to another open connection: renaming a new file under it would let
// SQLite replay the old log into the new file.
void settle(const std::string& path, const std::string& shownName) {
  std::error_code error;
  if (!fs::exists(path, error)) return;
  {
    SqliteHandle db = openDatabase(path, SQLITE_OPEN_READWRITE, shownName);
    queryText(db.get(), "SELECT count(*) FROM sqlite_master", shownName);
    if (queryText(db.get(), "PRAGMA journal_mode", shownName) == "wal") {
      queryText(db.get(), "PRAGMA wal_checkpoint(TRUNCATE)", shownName);
    }
  }
  if (hasContent(path + "-wal") || hasContent(path + "-journal")) {
    throw Busy(shownName + " is in use by another program (its journal is still open)");
  }
}

// SQLite 3.40's check reports "NULL value in T.C" for a NOT NULL column of
// a WITHOUT ROWID table that holds no NULL at all; such a line stands only
// when the column really holds one.
bool confirmed(sqlite3* db, const std::string& finding, const std::string& shownName) {
  static const std::string kNull = "NULL value in ";
  size_t dot = finding.find('.', kNull.size());
  if (finding.rfind(kNull, 0) != 0 || dot == std::string::npos) return true;
  std::string table = finding.substr(kNull.size(), dot - kNull.size());
  std::string column = finding.substr(dot + 1);
  auto plain = [](const std::string& name) {
    return !name.empty() && name.find_first_not_of(
                                "abcdefghijklmnopqrstuvwxyz"
                                "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") == std::string::npos;
  };
  if (!plain(table) || !plain(column)) return true;
  return queryText(
             db,
             ("SELECT count(*) FROM \"" + table + "\" WHERE \"" + column + "\" IS NULL").c_str(),
             shownName) != "0";
}

// A damaged book must not be copied and saved as if it were whole: a new
// file over the old would hide the damage. Checked before the copy, so that
// the check costs what the book holds, not what a change adds to it.
void checkIntact(const std::string& path, const std::string& shownBook) {
  SqliteHandle db = openDatabase(path, SQLITE_OPEN_READONLY, shownBook);
  // The check's rows may each hold several findings, one per line.
  for (const std::string& row : queryTexts(db.get(), "PRAGMA quick_check", shownBook)) {
    std::istringstream lines(row);
    std::string finding;
    while (std::getline(lines, finding)) {
      if (finding == "ok" || finding.rfind("*** in database", 0) == 0) continue;
      if (!confirmed(db.get(), finding, shownBook)) continue;
      throw Failure(shownBook + " is damaged (SQLite's check found: " + finding +
                    "), so it was left as it is; restore it from a copy, or export what "
                    "can still be read");
    }
  }
}

// A file with tables of its own and no address book in it belongs to
// another program: connecting would add the book's tables to it.
void checkIsAddressBook(sqlite3* db, const std::string& shownName) {
  std::string tables =
      queryText(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table'", shownName);
  std::string books =
      queryText(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'contacts'",
                shownName);
  if (tables != "0" && books == "0") {
    throw Failure(shownName +
                  " is an SQLite database of another program, not an address book; it was "
                  "left as it is");
  }
}

// The address book's schema as the stand-in writes it: its version, and the
// columns of its two tables that the stand-in reads and writes.
constexpr long kKnownSchemaVersion = 1;
const char* const kContactColumns[] = {"id",
                                       "dl_type",
                                       "display_name",
                                       "first_name",
                                       "last_name",
                                       "company",
                                       "email_address",
                                       "email_favorite",
                                       "ifax_address",
                                       "fax_number",
                                       "fax_favorite",
                                       "scan_nickname",
                                       "scan_server_address",
                                       "scan_server_type",
                                       "scan_document_path",
                                       "scan_login_name",
                                       "scan_protocol",
                                       "scan_share_or_volume",
                                       "scan_nds_context",
                                       "scan_nds_tree",
                                       "scan_favorite",
                                       "all_favorites_order"};
const char* const kMembershipColumns[] = {"contact_id", "group_id", "position"};

// The first of `wanted` that `table` lacks, "" when it has them all or does
// not exist (the stand-in creates it then).
template <size_t N>
std::string missingColumn(sqlite3* db, const std::string& table, const char* const (&wanted)[N],
                          const std::string& shownName) {
  std::vector<std::string> columns =
      queryTexts(db, "SELECT name FROM pragma_table_info('" + table + "')", shownName);
  if (columns.empty()) return "";
  for (const char* column : wanted) {
    if (std::find(columns.begin(), columns.end(), column) == columns.end()) return column;
  }
  return "";
}

// A book of another schema would be changed by the stand-in's first
// connection (or misread by it): it is left as it is.
void checkSchema(sqlite3* db, const std::string& shownName) {
  long version = std::stol("0" + queryText(db, "PRAGMA user_version", shownName));
  if (version > kKnownSchemaVersion) {
    throw Failure(shownName + " holds an address book of an unknown schema (version " +
                  std::to_string(version) + ", newer than this dabtool's " +
                  std::to_string(kKnownSchemaVersion) + "); it was left as it is");
  }
  for (const auto& [table, missing] :
       {std::pair<std::string, std::string>{
            "contacts", missingColumn(db, "contacts", kContactColumns, shownName)},
        {"memberships", missingColumn(db, "memberships", kMembershipColumns, shownName)}}) {
    if (missing.empty()) continue;
    throw Failure(shownName + " holds an address book of an unknown schema (its " + table +
                  " table has no column " + missing + "); it was left as it is");
  }
}

void removeWithSidecars(const std::string& path) {
  ::unlink(path.c_str());
  for (const char* sidecar : kSidecars) ::unlink((path + sidecar).c_str());
}

void removeStaleScratchCopies(const std::string& database) {
  fs::path book(database);
  std::string prefix = book.filename().string() + kScratchInfix;
  std::error_code error;
  fs::path directory = book.parent_path();
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) == 0) ::unlink(it->path().c_str());
  }
}

void fsyncFile(const std::string& path, const std::string& shownName) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) {
    int saved = errno;
    if (fd >= 0) ::close(fd);
    throw Failure("cannot save " + shownName + ": " + errorText(saved));
  }
  ::close(fd);
}

}  // namespace

void checkDatabaseFile(const std::string& path, const std::string& shownName) {
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) return;
  if (fs::is_directory(status)) throw Failure(shownName + " is a folder, not an address book");
  SqliteHandle db = openDatabase(path, SQLITE_OPEN_READONLY, shownName);
  checkIsAddressBook(db.get(), shownName);
  checkSchema(db.get(), shownName);
}

DatabaseLock::DatabaseLock(const std::string& database, const std::string& shownName)
    : fd_(::open((database + ".dabtool-lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                 0644)) {
  // A link in the lock's place would have the tool create a file wherever
  // it points.
  if (fd_ < 0 && errno == ELOOP) {
    throw Failure("cannot lock " + shownName + ": its lock file " + shownName +
                  ".dabtool-lock is a symbolic link; remove it");
  }
  if (fd_ < 0) throw Failure("cannot lock " + shownName + ": " + errorText(errno));
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd_);
    throw Busy(shownName + " is being changed by another dabtool; try again when it is done");
  }
}

DatabaseLock::~DatabaseLock() { ::close(fd_); }

ScratchCopy::ScratchCopy(const std::string& database, const std::string& shownName)
    : database_(database),
      shown_(shownName),
      scratch_(database + kScratchInfix + std::to_string(::getpid())) {
  removeStaleScratchCopies(database_);
  checkDatabaseFile(database_, shown_);
  settle(database_, shown_);
  std::error_code error;
  if (fs::exists(database_, error)) checkIntact(database_, shown_);
  try {
    copyInto(scratch_);
  } catch (...) {
    removeWithSidecars(scratch_);
    throw;
  }
}

void ScratchCopy::copyInto(const std::string& target) const {
  std::string shownTarget = "a scratch copy of " + shown_;
  SqliteHandle copy = openDatabase(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, shownTarget);
  std::error_code error;
  if (!fs::exists(database_, error)) return;
  SqliteHandle source = openDatabase(database_, SQLITE_OPEN_READONLY, shown_);
  sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", source.get(), "main");
  if (backup == nullptr) sqliteFailure(copy.get(), sqlite3_errcode(copy.get()), shownTarget);
  int stepped = sqlite3_backup_step(backup, -1);
  int finished = sqlite3_backup_finish(backup);
  if (stepped != SQLITE_DONE) sqliteFailure(nullptr, stepped, shown_);
  if (finished != SQLITE_OK) sqliteFailure(copy.get(), finished, shownTarget);
}

ScratchCopy::~ScratchCopy() {
  if (!committed_) removeWithSidecars(scratch_);
}

void ScratchCopy::commit() {
  settle(scratch_, "the scratch copy of " + shown_);
  fsyncFile(scratch_, shown_);
  settle(database_, shown_);
  if (::rename(scratch_.c_str(), database_.c_str()) != 0) {
    throw Failure("cannot save " + shown_ + ": " + errorText(errno));
  }
  committed_ = true;
  for (const char* sidecar : kSidecars) ::unlink((scratch_ + sidecar).c_str());
  fs::path parent = fs::path(database_).parent_path();
  syncDirectory(parent.empty() ? "." : parent.string());
}

}  // namespace dabtool
