// Internal to the library: how its units drive the stdio streams of the
// export and import files, which run to several megabytes at the device
// limit.
#ifndef DABUTILS_SRC_STREAMS_H_
#define DABUTILS_SRC_STREAMS_H_

#include <stddef.h>
#include <stdio.h>

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
// 64 KiB instead of per 4 KiB. Each unit keeps one such buffer at module
// level, as it keeps its file's fixed name: one operation runs at a time
// (the library is not re-entrant), and a buffer that is never allocated
// cannot fail to be.
const size_t kStreamBufferSize = 64 * 1024;

// Gives `file`, before its first read or write, `buffer` of
// kStreamBufferSize bytes, which must outlive the stream. Should the stream
// refuse it, it keeps its own.
inline void giveStreamBuffer(FILE* file, char* buffer) {
  setvbuf(file, buffer, _IOFBF, kStreamBufferSize);
}

#endif  // DABUTILS_SRC_STREAMS_H_
