// Internal to the library: holding a stdio stream while a whole file or field
// is written or read with the stream's unlocked calls. The web server that
// hosts the library has threads, and from the first thread on every plain
// stdio call takes and drops the stream's lock; per byte or per cell that
// cost more than the work itself.
#ifndef DABUTILS_SRC_STREAMLOCK_H_
#define DABUTILS_SRC_STREAMLOCK_H_

#include <stdio.h>

class StreamLock {
 public:
  explicit StreamLock(FILE* file) : file_(file) { flockfile(file_); }
  ~StreamLock() { funlockfile(file_); }
  StreamLock(const StreamLock&) = delete;
  StreamLock& operator=(const StreamLock&) = delete;

 private:
  FILE* file_;
};

#endif  // DABUTILS_SRC_STREAMLOCK_H_
