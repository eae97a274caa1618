/*
 * Path service: the closed component that places the library's files.
 *
 *  1. xpaths_get_path() maps a key to a directory string owned by the
 *     service; the library passes it to xpaths_open_file() unchanged and
 *     never inspects or frees it.
 *  2. xpaths_open_file() returns a stdio stream that the caller closes with
 *     fclose(), or NULL when the file cannot be opened.
 *  3. Threads: the library calls from whichever thread called it, one
 *     operation at a time per process, and uses and closes the stream on
 *     that thread; the next operation may come from another.
 */
#ifndef DABUTILS_PLATFORM_PATH_SERVICE_H_
#define DABUTILS_PLATFORM_PATH_SERVICE_H_

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Directory for `key` (the library asks for "nc_dlms_data"); never freed by the caller. */
const char* xpaths_get_path(const char* key);

/*
 * Opens `relativeName` below `dir` with the stdio `mode` ("w" or "r").
 * Returns NULL when the file cannot be opened. Caller closes with fclose().
 */
FILE* xpaths_open_file(const char* dir, const char* relativeName, const char* mode);

#ifdef __cplusplus
}
#endif

#endif /* DABUTILS_PLATFORM_PATH_SERVICE_H_ */
