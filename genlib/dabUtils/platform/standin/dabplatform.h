/*
 * Control API of the stand-in platform (libdabplatform): what a program that
 * runs the library without a device sets before calling it. None of this is
 * part of the library's contract with a real platform.
 *
 *  1. Strings passed in are copied; nothing returned needs freeing unless
 *     stated.
 *  2. Functions returning int give 0 on success, non-zero on failure.
 *  3. Not thread-safe: configure before calling the library, from one thread.
 */
#ifndef DABUTILS_PLATFORM_STANDIN_DABPLATFORM_H_
#define DABUTILS_PLATFORM_STANDIN_DABPLATFORM_H_

#include <stdarg.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* --- Path service ------------------------------------------------------ */

/*
 * Sets the directory that the key "nc_dlms_data" maps to. Until set, the
 * environment variable DABUTILS_DATA_ROOT is used, else "./dabdata".
 */
void dabplatform_set_data_root(const char* dir);

/* The current data root. Owned by the stand-in; valid until the next set. */
const char* dabplatform_data_root(void);

/* --- Contact database -------------------------------------------------- */

/*
 * Non-zero statuses of the stand-in's DAB_DBI_* functions, of
 * dabplatform_add_membership() and of the audit functions below.
 */
enum {
  DABPLATFORM_DB_OK = 0,
  DABPLATFORM_DB_NOT_CONNECTED = 1,  /* No DAB_DBI_Connect() in force. */
  DABPLATFORM_DB_BAD_ARGUMENT = 2,   /* Null record, missing display name, unknown list. */
  DABPLATFORM_DB_NO_MEMORY = 3,      /* An allocation failed; nothing was changed. */
  DABPLATFORM_DB_CHANGED = 4,        /* Fewer entries than the count last reported. */
  DABPLATFORM_DB_NOT_FOUND = 5,      /* No contact or group with that id. */
  DABPLATFORM_DB_REFUSED = 6,        /* Not a group, duplicate membership, id range. */
  DABPLATFORM_DB_BUSY = 7,           /* Another connection kept the file locked. */
  DABPLATFORM_DB_NOT_A_DATABASE = 8, /* The file is no SQLite database, or a newer one. */
  DABPLATFORM_DB_CANNOT_OPEN = 9,    /* The file or its directory cannot be opened. */
  DABPLATFORM_DB_ERROR = 10          /* Any other storage failure. */
};

/*
 * Sets the SQLite file of the contact database and of the audit log. NULL
 * or "" goes back to the default, "addressbook.db" in the data root (which
 * is created when missing). Takes effect at the next connect.
 */
void dabplatform_set_database_path(const char* path);

/* The database file in use. Owned by the stand-in; valid until the next call. */
const char* dabplatform_database_path(void);

/*
 * Adds contact `contactId` to group `groupId`, after the groups it already
 * belongs to. Both must exist, the group must have a non-zero dlType and
 * differ from the contact, and the membership must be new.
 * REQUIRES: connected. Durable, like created contacts, once disconnected.
 */
int dabplatform_add_membership(int contactId, int groupId);

/*
 * Removes entry `id`, contact or group, with every membership that names it:
 * a contact leaves its groups, a group loses its members. The memberships
 * left keep their order. DABPLATFORM_DB_NOT_FOUND when there is no such
 * entry. REQUIRES: connected. Durable once disconnected.
 */
int dabplatform_remove_entry(int id);

/*
 * Text of the most recent failure of a contact-database or audit call, for
 * people reading a tool's output; "" before the first one. Owned by the
 * stand-in.
 */
const char* dabplatform_database_error(void);

/* --- Audit log ------------------------------------------------------------ */

/* Receives one audit record: `at` is UTC ISO-8601 ("2024-05-01T12:00:00.000Z"). */
typedef void (*dabplatform_audit_visitor)(void* context, const char* at, const char* event);

/*
 * Hands the newest `limit` audit records (every record when limit <= 0) to
 * `visitor`, newest first; the texts are valid during the call only. A
 * database file without records, or no file at all, gives none and 0.
 */
int dabplatform_audit_records(dabplatform_audit_visitor visitor, void* context, int limit);

/* --- Logging ------------------------------------------------------------ */

/* Level values, in increasing order of importance. */
enum {
  DABPLATFORM_LOG_LIBENTER = 1,
  DABPLATFORM_LOG_INFO = 2,
  DABPLATFORM_LOG_DEBUG = 3,
  DABPLATFORM_LOG_ERROR = 4,
  DABPLATFORM_LOG_FORCEINFO = 5,
  DABPLATFORM_LOG_OFF = 6
};

/* Lines below `level` are dropped unformatted. Default: DABPLATFORM_LOG_ERROR. */
void dabplatform_set_log_threshold(int level);

/* Where lines at or above the threshold go; NULL means stderr. Not closed. */
void dabplatform_set_log_stream(FILE* stream);

/*
 * Receives every line at or above `minLevel`, whatever the threshold, as the
 * library made the call: the format literal and its arguments, unformatted,
 * so that a listener that wants few of the lines formats only those (with
 * vsnprintf on `args`, once; va_copy it to read it twice). `format` is the
 * caller's literal, so the same line always comes with the same pointer.
 * `args` and the texts are valid during the call only.
 *
 * The listener returns DABPLATFORM_LOG_MUTE for a literal it never wants:
 * later lines of that literal then cost the caller a table lookup and are
 * not handed over again while the listener stays set (lines the threshold
 * lets through still go to the stream). Any other value keeps them coming.
 * NULL removes the listener and forgets the muted literals.
 */
enum { DABPLATFORM_LOG_MUTE = 1 };
typedef int (*dabplatform_log_listener)(void* context, int level, const char* sourcePath,
                                        int sourceLine, const char* format, va_list args);
void dabplatform_set_log_listener(dabplatform_log_listener listener, void* context, int minLevel);

/* Name of a level value ("INFO", "ERROR", ...); "?" for an unknown one. */
const char* dabplatform_log_level_name(int level);

#ifdef __cplusplus
}
#endif

#endif /* DABUTILS_PLATFORM_STANDIN_DABPLATFORM_H_ */
