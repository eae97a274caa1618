// Internal to the library, never installed: how the export and import units
// drive the stdio streams of their files, which run to several megabytes at
// the device limit.
#ifndef DABUTILS_SRC_STREAM_LOCK_H_
#define DABUTILS_SRC_STREAM_LOCK_H_

#include <stddef.h>
#include <stdio.h>

// Unnamed, so that nothing here becomes an exported symbol of the library.
namespace {

// Holds a stream while a whole file or field is written or read with the
// stream's unlocked calls. The web server that hosts the library has
// threads, and from the first thread on every plain stdio call takes and
// drops the stream's lock; per byte or per cell that costs more than the work.
class StreamLock {
 public:
  explicit StreamLock(FILE* file) : file_(file) { flockfile(file_); }
  ~StreamLock() { funlockfile(file_); }
  StreamLock(const StreamLock&) = delete;
  StreamLock& operator=(const StreamLock&) = delete;

 private:
  FILE* file_;
};

// A freshly opened stream gets a 64 KiB buffer in place of the C library's
// one disk block: one system call per 64 KiB instead of per 4 KiB. Each unit
// keeps its buffer at module level, as it keeps its file's fixed name: one
// operation runs at a time (the library is not re-entrant), and a buffer
// that is never allocated cannot fail to be.
const size_t kStreamBufferSize = 64 * 1024;

}  // namespace

#endif  // DABUTILS_SRC_STREAM_LOCK_H_
