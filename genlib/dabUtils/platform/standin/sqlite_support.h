// SQLite plumbing shared by the stand-in contact database and audit log.
//
//  1. Inside the stand-in a failure is a thrown DbError carrying one of the
//     DABPLATFORM_DB_* statuses; statusFromSqlite() is the one place where an
//     SQLite result code becomes such a status.
//  2. Every extern "C" function runs its body through guarded(), which turns
//     whatever was thrown into a status, so nothing unwinds into C callers.
//  3. Handles and statements are RAII objects; a Statement is reset and its
//     bindings cleared when the Use that bound it goes out of scope.
#ifndef DABUTILS_PLATFORM_STANDIN_SQLITE_SUPPORT_H_
#define DABUTILS_PLATFORM_STANDIN_SQLITE_SUPPORT_H_

#include <sqlite3.h>
#include <stdint.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "dabplatform.h"

namespace dabplatform {

class DbError : public std::runtime_error {
 public:
  DbError(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

[[noreturn]] void fail(int status, const std::string& message);

// The DABPLATFORM_DB_* status for an SQLite result code that is an error.
int statusFromSqlite(int resultCode);

// Throws a DbError describing `what` unless `resultCode` is OK, ROW or DONE.
void check(sqlite3* db, int resultCode, const char* what);

// Remembers the text behind dabplatform_database_error(). Never throws.
void rememberFailure(const char* message) noexcept;

// Runs `body` and returns 0, or the status of whatever it threw.
template <typename Body>
int guarded(Body&& body) noexcept {
  try {
    body();
    return DABPLATFORM_DB_OK;
  } catch (const DbError& e) {
    rememberFailure(e.what());
    return e.status();
  } catch (const std::bad_alloc&) {
    rememberFailure("out of memory");
    return DABPLATFORM_DB_NO_MEMORY;
  } catch (const std::exception& e) {
    rememberFailure(e.what());
    return DABPLATFORM_DB_ERROR;
  } catch (...) {
    rememberFailure("unexpected failure");
    return DABPLATFORM_DB_ERROR;
  }
}

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using DbHandle = std::unique_ptr<sqlite3, SqliteCloser>;

enum class OpenMode { kCreate, kReadOnly };

// Opens `path`. kCreate creates a missing file and switches it to WAL with
// full synchronous commits and foreign keys; both modes wait up to five
// seconds for a lock. A file that is not a database fails here, not later.
DbHandle openDatabase(const std::string& path, OpenMode mode);

// Runs SQL that returns no rows of interest (may hold several statements).
void exec(sqlite3* db, const char* sql);

// Single-valued query, e.g. a count or a pragma.
int64_t queryInteger(sqlite3* db, const char* sql);

class Statement {
 public:
  Statement() = default;
  Statement(sqlite3* db, const char* sql);
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(Statement&& other) noexcept : stmt_(other.stmt_) { other.stmt_ = nullptr; }
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // One execution: bind, step, read columns; resets the statement on exit.
  class Use {
   public:
    explicit Use(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~Use() {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

    void bindInt(int index, int64_t value);
    void bindText(int index, const char* text);  // NULL binds SQL NULL.
    bool step();                                 // True while a row is available.
    int32_t integer(int column) const { return sqlite3_column_int(stmt_, column); }
    int64_t integer64(int column) const { return sqlite3_column_int64(stmt_, column); }
    const char* text(int column) const;  // "" for NULL; valid until the next step.
    sqlite3_stmt* raw() const { return stmt_; }

   private:
    sqlite3_stmt* stmt_;
  };

  Use use() { return Use(stmt_); }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// The file that DAB_DBI_Connect() and the audit log open; with the default
// path, the data root is created when `createRoot` is set.
std::string databaseFile(bool createRoot);

}  // namespace dabplatform

#endif  // DABUTILS_PLATFORM_STANDIN_SQLITE_SUPPORT_H_
