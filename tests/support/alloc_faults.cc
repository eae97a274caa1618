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
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}

namespace {

struct Range {
  uintptr_t begin, end;
};

struct Record {
  const char* function;
  size_t size;
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
  Record records[256] = {};
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

Admission admit(void* caller, const char* function, size_t size) {
  if (!books.armed || !fromLibrary(caller)) return kPass;
  long index = books.count++;
  if (index < 256) books.records[index] = {function, size};
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

bool untrack(void* block) {
  for (size_t i = 0; i < books.liveCount; ++i) {
    if (books.live[i] == block) {
      books.live[i] = books.live[--books.liveCount];
      return true;
    }
  }
  return false;
}

void release(void* block) {
  if (block != nullptr && books.liveCount > 0) untrack(block);
  __libc_free(block);
}

void* allocate(void* caller, const char* function, size_t size, bool zero) {
  Admission admission = admit(caller, function, size);
  if (admission == kFail) return nullptr;
  void* block = zero ? __libc_calloc(1, size) : __libc_malloc(size);
  if (admission == kTrack) track(block);
  return block;
}

void* allocateOrThrow(void* caller, const char* function, size_t size) {
  void* block = allocate(caller, function, size == 0 ? 1 : size, false);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

char* duplicate(void* caller, const char* function, const char* text, size_t length) {
  char* copy = static_cast<char*>(allocate(caller, function, length + 1, false));
  if (copy == nullptr) return nullptr;
  memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

}  // namespace

namespace dabtest {

AllocationFaults::AllocationFaults(long failAt) {
  books.codeRanges = 0;
  dl_iterate_phdr(findLibrary, nullptr);
  books.failAt = failAt;
  books.count = 0;
  books.failed = false;
  books.liveCount = 0;
  books.liveOverflow = false;
  books.armed = true;
}

AllocationFaults::~AllocationFaults() { books.armed = false; }

long AllocationFaults::count() const { return books.count; }
bool AllocationFaults::failed() const { return books.failed; }
long AllocationFaults::outstanding() const {
  return books.liveOverflow ? -1 : static_cast<long>(books.liveCount);
}

std::vector<LibraryAllocation> AllocationFaults::allocations() const {
  std::vector<LibraryAllocation> list;
  for (long i = 0; i < books.count && i < 256; ++i) {
    list.push_back({books.records[i].function, books.records[i].size});
  }
  return list;
}

bool libraryFound() {
  books.codeRanges = 0;
  dl_iterate_phdr(findLibrary, nullptr);
  return books.codeRanges > 0;
}

}  // namespace dabtest

// --- The interposers ------------------------------------------------------------
// Each takes its own return address, so only the library's direct calls count.

extern "C" void* malloc(size_t size) noexcept {
  return allocate(__builtin_return_address(0), "malloc", size, false);
}

extern "C" void* calloc(size_t count, size_t size) noexcept {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  return allocate(__builtin_return_address(0), "calloc", count * size, true);
}

extern "C" void* realloc(void* block, size_t size) noexcept {
  Admission admission = admit(__builtin_return_address(0), "realloc", size);
  if (admission == kFail) return nullptr;
  void* moved = __libc_realloc(block, size);
  if (moved == nullptr) return nullptr;
  bool wasLibrarys = block != nullptr && books.liveCount > 0 && untrack(block);
  if (admission == kTrack || wasLibrarys) track(moved);
  return moved;
}

extern "C" void free(void* block) noexcept { release(block); }

extern "C" char* strdup(const char* text) noexcept {
  return duplicate(__builtin_return_address(0), "strdup", text, strlen(text));
}

extern "C" char* strndup(const char* text, size_t limit) noexcept {
  return duplicate(__builtin_return_address(0), "strndup", text, strnlen(text, limit));
}

void* operator new(std::size_t size) {
  return allocateOrThrow(__builtin_return_address(0), "operator new", size);
}

void* operator new[](std::size_t size) {
  return allocateOrThrow(__builtin_return_address(0), "operator new[]", size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(__builtin_return_address(0), "operator new", size == 0 ? 1 : size, false);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(__builtin_return_address(0), "operator new[]", size == 0 ? 1 : size, false);
}

void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }
