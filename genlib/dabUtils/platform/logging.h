/*
 * Logging facility of the device.
 *
 *  1. Every line is one printf-style call. `level` is the current value of
 *     one of the five level objects below, read at each call; the facility
 *     may change them at any time.
 *  2. `sourcePath` names the calling unit ("genlib/dabUtils/src/DABExport"),
 *     `sourceLine` the line in it.
 *  3. A call below the facility's threshold must be cheap: nothing is
 *     formatted for a line that goes nowhere.
 *  4. Threads: the library logs from whichever thread called it, one
 *     operation at a time per process; the next operation may come from
 *     another thread.
 */
#ifndef DABUTILS_PLATFORM_LOGGING_H_
#define DABUTILS_PLATFORM_LOGGING_H_

#ifdef __cplusplus
extern "C" {
#endif

extern int logSpecLibEnter;  /* Entry into a public method or entry point. */
extern int logSpecInfo;      /* Progress detail. */
extern int logSpecDebug;     /* Outcome detail. */
extern int logSpecError;     /* A failure. */
extern int logSpecForceInfo; /* Information always worth keeping. */

void Log_SpecEntry(int level, const char* sourcePath, int sourceLine, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

#ifdef __cplusplus
}
#endif

#endif /* DABUTILS_PLATFORM_LOGGING_H_ */
