// Helpers shared by the fuzz targets: a check that stops the run with a
// message (libFuzzer then keeps the input as a crash), and the lowest free
// file descriptor, which moves when a run leaks an open file.
#ifndef DABUTILS_FUZZ_FUZZ_CHECK_H_
#define DABUTILS_FUZZ_FUZZ_CHECK_H_

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                         \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      std::fprintf(stderr, "%s:%d: check failed: %s\n  ", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                                   \
      std::fprintf(stderr, "\n");                                                          \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)

namespace dabfuzz {

inline int lowestFreeFd() {
  int fd = open("/dev/null", O_RDONLY);
  if (fd >= 0) close(fd);
  return fd;
}

}  // namespace dabfuzz

#endif  // DABUTILS_FUZZ_FUZZ_CHECK_H_
