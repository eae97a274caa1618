// Allocation fault injection for the plain (non-sanitizer) build. Linking
// alloc_faults.cc into a test binary replaces malloc, calloc, free, strdup
// and the global operator new/delete (what the library calls) with versions
// that forward to the C library. While armed, they count the allocations
// whose immediate caller lies inside libdabutils.so, can fail the n-th of
// them (NULL, or std::bad_alloc from operator new), and keep the library's
// blocks that are still live, so that a test sees a leak without
// LeakSanitizer. Allocations of the test, googletest, the scripted platform
// and the C and C++ libraries (stdio buffers, std::string) pass untouched.
#ifndef DABUTILS_TESTS_SUPPORT_ALLOC_FAULTS_H_
#define DABUTILS_TESTS_SUPPORT_ALLOC_FAULTS_H_

#include <cstddef>
#include <vector>

namespace dabtest {

// Arms the interposers for its lifetime. Not reentrant: one at a time.
class AllocationFaults {
 public:
  // failAt: the 0-based library allocation to fail; -1 fails none.
  explicit AllocationFaults(long failAt = -1);
  ~AllocationFaults();
  AllocationFaults(const AllocationFaults&) = delete;
  AllocationFaults& operator=(const AllocationFaults&) = delete;

  long count() const;                 // Library allocations so far, the failed one included.
  bool failed() const;                // The failAt allocation was reached and refused.
  long outstanding() const;           // Library blocks allocated while armed and not yet freed.
  std::vector<size_t> sizes() const;  // Sizes asked for, in order; at most 256 kept.
};

}  // namespace dabtest

#endif  // DABUTILS_TESTS_SUPPORT_ALLOC_FAULTS_H_
