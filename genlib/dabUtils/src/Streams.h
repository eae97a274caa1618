// Internal to the library: how its units drive the stdio streams of the
// export and import files, which run to several megabytes at the device
// limit.
#ifndef DABUTILS_SRC_STREAMS_H_
#define DABUTILS_SRC_STREAMS_H_

#include <stdio.h>
#include <stdlib.h>

// Holds a stream while a whole file or field is written or read with the
// stream's unlocked calls. The web server that hosts the library has
// threads, and from the first thread on every plain stdio call takes and
// drops the stream's lock; per byte or per cell that cost more than the work.
class StreamLock {
 public:
  explicit StreamLock(FILE* file) : file_(file) { flockfile(file_); }
  ~StreamLock() { funlockfile(file_); }
  StreamLock(const StreamLock&) = delete;
  StreamLock& operator=(const StreamLock&) = delete;

 private:
  FILE* file_;
};

// Size of the buffer that a freshly opened export or import stream gets in
// place of the C library's default of one disk block: one system call per
// 64 KiB instead of per 4 KiB.
const size_t kStreamBufferSize = 64 * 1024;

// Gives `file`, before its first read or write, a buffer of
// kStreamBufferSize bytes from malloc(). Returns the buffer, which the
// caller frees after fclose(), or NULL when none was given (out of memory, or
// the stream refused it), in which case the stream keeps its own.
inline char* giveStreamBuffer(FILE* file) {
  char* buffer = static_cast<char*>(malloc(kStreamBufferSize));
  if (buffer != NULL && setvbuf(file, buffer, _IOFBF, kStreamBufferSize) != 0) {
    free(buffer);
    buffer = NULL;
  }
  return buffer;
}

#endif  // DABUTILS_SRC_STREAMS_H_
