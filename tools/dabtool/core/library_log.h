// Listening to the library's log through the stand-in logging, which hands
// each call over unformatted. Only the lines of the table (library_lines.h)
// reach a reader; every other literal is muted the first time it comes, so
// the parser's line per byte read costs the library a lookup, nothing more.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_LIBRARY_LOG_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_LIBRARY_LOG_H_

#include <cstdarg>
#include <set>

#include "library_lines.h"

namespace dabtool {

// Hands the library's lines at or above `minLevel` (a DABPLATFORM_LOG_*
// value) to `reader` for the object's lifetime. One listener at a time.
class ScopedLogListener {
 public:
  ScopedLogListener(int minLevel, LibraryLogReader& reader);
  ~ScopedLogListener();
  ScopedLogListener(const ScopedLogListener&) = delete;
  ScopedLogListener& operator=(const ScopedLogListener&) = delete;

 private:
  static int forward(void* context, int level, const char* sourcePath, int sourceLine,
                     const char* format, va_list args);

  LibraryLogReader& reader_;
  LibraryLineTable table_;
};

// The lines of the table that the library logged as errors during the
// object's lifetime, to say why an operation failed.
class LibraryErrors : public LibraryLogReader {
 public:
  LibraryErrors();
  bool saw(LibraryLine line) const { return seen_.count(line) != 0; }
  void heard(LibraryLine line, va_list args) override;

 private:
  std::set<LibraryLine> seen_;
  ScopedLogListener listener_;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_LIBRARY_LOG_H_
