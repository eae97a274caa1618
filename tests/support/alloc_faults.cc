// Interposed allocation functions; see alloc_faults.h. Nothing here may
// allocate through the functions it defines while it keeps its books, so the
// books are fixed arrays.
#include "alloc_faults.h"

#include <elf.h>
#include <link.h>

#include <cstdint>
#include <cstring>
#include <new>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void __libc_free(void* block);
}

namespace {

struct Range {
  uintptr_t begin, end;
};

// The books of one armed period.
struct Books {
  bool armed = false;
  long failAt = -1;
  long count = 0;
  bool failed = false;
  Range code[8] = {};  // Executable segments of libdabutils.so.
  int codeRanges = 0;
  void* live[4096] = {};  // Library blocks not yet freed.
  size_t liveCount = 0;
  bool liveOverflow = false;
  size_t sizes[256] = {};
};

Books books;

int findLibrary(struct dl_phdr_info* info, size_t, void*) {
  if (info->dlpi_name == nullptr || strstr(info->dlpi_name, "libdabutils.so") == nullptr) return 0;
  for (int i = 0; i < info->dlpi_phnum && books.codeRanges < 8; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD || (segment.p_flags & PF_X) == 0) continue;
    uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
    books.code[books.codeRanges++] = {begin, begin + segment.p_memsz};
  }
  return 1;
}

bool fromLibrary(void* caller) {
  uintptr_t address = reinterpret_cast<uintptr_t>(caller);
  for (int i = 0; i < books.codeRanges; ++i) {
    if (address >= books.code[i].begin && address < books.code[i].end) return true;
  }
  return false;
}

enum Admission { kPass, kTrack, kFail };

Admission admit(void* caller, size_t size) {
  if (!books.armed || !fromLibrary(caller)) return kPass;
  long index = books.count++;
  if (index < 256) books.sizes[index] = size;
  if (index != books.failAt) return kTrack;
  books.failed = true;
  return kFail;
}

void track(void* block) {
  if (block == nullptr) return;
  if (books.liveCount == sizeof books.live / sizeof books.live[0]) {
    books.liveOverflow = true;
    return;
  }
  books.live[books.liveCount++] = block;
}

void release(void* block) {
  for (size_t i = 0; block != nullptr && i < books.liveCount; ++i) {
    if (books.live[i] == block) {
      books.live[i] = books.live[--books.liveCount];
      break;
    }
  }
  __libc_free(block);
}

void* allocate(void* caller, size_t size, bool zero) {
  Admission admission = admit(caller, size);
  if (admission == kFail) return nullptr;
  void* block = zero ? __libc_calloc(1, size) : __libc_malloc(size);
  if (admission == kTrack) track(block);
  return block;
}

void* allocateOrThrow(void* caller, size_t size) {
  void* block = allocate(caller, size == 0 ? 1 : size, false);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

namespace dabtest {

AllocationFaults::AllocationFaults(long failAt) {
  books = Books();
  dl_iterate_phdr(findLibrary, nullptr);
  books.failAt = failAt;
  books.armed = true;
}

AllocationFaults::~AllocationFaults() { books.armed = false; }

long AllocationFaults::count() const { return books.count; }
bool AllocationFaults::failed() const { return books.failed; }
long AllocationFaults::outstanding() const {
  return books.liveOverflow ? -1 : static_cast<long>(books.liveCount);
}

std::vector<size_t> AllocationFaults::sizes() const {
  return std::vector<size_t>(books.sizes, books.sizes + (books.count < 256 ? books.count : 256));
}

}  // namespace dabtest

// --- The interposers ------------------------------------------------------------
// Each takes its own return address, so only the library's direct calls count.

extern "C" void* malloc(size_t size) noexcept {
  return allocate(__builtin_return_address(0), size, false);
}

extern "C" void* calloc(size_t count, size_t size) noexcept {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  return allocate(__builtin_return_address(0), count * size, true);
}

extern "C" void free(void* block) noexcept { release(block); }

extern "C" char* strdup(const char* text) noexcept {
  size_t length = strlen(text);
  char* copy = static_cast<char*>(allocate(__builtin_return_address(0), length + 1, false));
  if (copy != nullptr) memcpy(copy, text, length + 1);
  return copy;
}

void* operator new(std::size_t size) { return allocateOrThrow(__builtin_return_address(0), size); }

void* operator new[](std::size_t size) {
  return allocateOrThrow(__builtin_return_address(0), size);
}

void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
