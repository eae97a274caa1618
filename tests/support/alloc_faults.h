// Allocation fault injection for the plain (non-sanitizer) build. Linking
// alloc_faults.cc into a test binary replaces malloc, calloc, realloc, free,
// strdup, strndup and the global operator new/delete with versions that
// forward to the C library. While armed, they count the allocations whose
// immediate caller lies inside libdabutils.so, can fail the n-th of them
// (NULL, or std::bad_alloc from operator new), and keep the library's blocks
// that are still live, so that a test sees a leak without LeakSanitizer.
// Allocations of the test, googletest, the scripted platform and the C and
// C++ libraries (stdio buffers, std::string) pass untouched.
#ifndef DABUTILS_TESTS_SUPPORT_ALLOC_FAULTS_H_
#define DABUTILS_TESTS_SUPPORT_ALLOC_FAULTS_H_

#include <cstddef>
#include <string>
#include <vector>

namespace dabtest {

// One allocation the library made while armed.
struct LibraryAllocation {
  std::string function;  // "malloc", "calloc", "operator new", "strdup", ...
  size_t size;
};

// Arms the interposers for its lifetime. Not reentrant: one at a time.
class AllocationFaults {
 public:
  // failAt: the 0-based library allocation to fail; -1 fails none.
  explicit AllocationFaults(long failAt = -1);
  ~AllocationFaults();
  AllocationFaults(const AllocationFaults&) = delete;
  AllocationFaults& operator=(const AllocationFaults&) = delete;

  long count() const;        // Library allocations so far, the failed one included.
  bool failed() const;       // The failAt allocation was reached and refused.
  long outstanding() const;  // Library blocks allocated while armed and not yet freed.
  std::vector<LibraryAllocation> allocations() const;  // In order; at most 256 kept.
};

// True once the interposers saw libdabutils.so mapped (a sanity check that
// the counting can see the library at all).
bool libraryFound();

}  // namespace dabtest

#endif  // DABUTILS_TESTS_SUPPORT_ALLOC_FAULTS_H_
