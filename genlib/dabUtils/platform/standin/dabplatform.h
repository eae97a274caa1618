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
 * Sets the SQLite file of the contact database. Until set, it is
 * "addressbook.db" in the data root. Takes effect at the next connect.
 */
void dabplatform_set_database_path(const char* path);

/* The database file in use. Owned by the stand-in. */
const char* dabplatform_database_path(void);

/*
 * Adds contact `contactId` to group `groupId` (both must exist, the group
 * must have a non-zero dlType). REQUIRES: connected.
 */
int dabplatform_add_membership(int contactId, int groupId);

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
 * Receives every line at or above `minLevel`, whatever the threshold, with
 * its formatted message (valid during the call only). NULL removes it.
 */
typedef void (*dabplatform_log_listener)(void* context, int level, const char* sourcePath,
                                         int sourceLine, const char* message);
void dabplatform_set_log_listener(dabplatform_log_listener listener, void* context, int minLevel);

/* Name of a level value ("INFO", "ERROR", ...); "?" for an unknown one. */
const char* dabplatform_log_level_name(int level);

#ifdef __cplusplus
}
#endif

#endif /* DABUTILS_PLATFORM_STANDIN_DABPLATFORM_H_ */
