// What dabtool knows about the library it drives: its fixed file names, the
// device limit, how it reads a delimiter name, and how its entry points take
// their text arguments. Names the library publishes come from its headers;
// the others are kept here and nowhere else.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_LIBRARY_FACTS_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_LIBRARY_FACTS_H_

#include <optional>
#include <string>

#include "DABDownloadSample.h"
#include "DABExport.h"
#include "DABUtils.h"

namespace dabtool {

// The library's fixed files, relative to the data root.
constexpr const char* kExportFile = HTTP_ADDRESS_BOOK_EXPORTED_TEMP_FILE;
constexpr const char* kLegacyExportFile = HTTP_LEGACY_ADDRESS_BOOK_EXPORTED_TEMP_FILE;
constexpr const char* kSampleFile = HTTP_ADDRESS_BOOK_SAMPLE_TEMP_FILE;
constexpr const char* kLegacySampleFile = HTTP_LEGACY_ADDRESS_BOOK_SAMPLE_TEMP_FILE;
// The import's input; the library's headers do not name it.
constexpr const char* kUploadFile = "http/data/addressbook.txt";

// The device holds at most this many entries, contacts and groups together;
// the import stops reading once the book holds this many.
constexpr int kDeviceLimit = 65000;

// The library's delimiter name for what a person typed: "Comma" or
// "Semicolon" in any letter case. nullopt for anything else.
std::optional<std::string> delimiterNameOf(const std::string& typed);

// "unknown delimiter 'Tab': use Comma or Semicolon", for a name
// delimiterNameOf refuses.
std::string unknownDelimiter(const std::string& typed);

// The character the exports put between fields for `delimiterName`.
inline char exportDelimiter(const std::string& delimiterName) {
  return delimiterName == "Comma" ? ',' : ';';
}

// The character the import and the samples use for `delimiterName`.
inline char importDelimiter(const std::string& delimiterName) {
  return delimiterName == "Semicolon" ? ';' : ',';
}

// A modifiable copy of `text` for one entry-point call: the entry points
// take `char*` although they only read it.
class CText {
 public:
  explicit CText(const std::string& text) : text_(text) {}
  char* get() { return text_.data(); }

 private:
  std::string text_;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_LIBRARY_FACTS_H_
