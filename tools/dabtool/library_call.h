// Calls of the library's C entry points, which take modifiable C strings.
#ifndef DABUTILS_TOOLS_DABTOOL_LIBRARY_CALL_H_
#define DABUTILS_TOOLS_DABTOOL_LIBRARY_CALL_H_

#include <string>

#include "DABUtils.h"

namespace dabtool {

// A modifiable copy of `text` for one entry-point call.
class CText {
 public:
  explicit CText(const std::string& text) : text_(text) {}
  char* get() { return text_.data(); }

 private:
  std::string text_;
};

// The character the exports put between fields for `delimiterName`.
inline char exportDelimiter(const std::string& delimiterName) {
  return delimiterName == "Comma" ? ',' : ';';
}

// The character the import and the samples use for `delimiterName`.
inline char importDelimiter(const std::string& delimiterName) {
  return delimiterName == "Semicolon" ? ';' : ',';
}

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_LIBRARY_CALL_H_
