// The library's log lines that dabtool reads, in one table: every text of
// the library the tool depends on is named here, recognised by its format
// literal, and read with its arguments rather than formatted.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_LIBRARY_LINES_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_LIBRARY_LINES_H_

#include <cstdarg>
#include <cstddef>

namespace dabtool {

// The library's lines that dabtool reads. The comment gives the format
// literal's arguments, which a reader takes with va_arg.
enum class LibraryLine {
  kOther,  // any line not in the table
  // Export.
  kExportListFailed,  // the contact list could not be fetched
  kExportNotOpened,   // the export file could not be opened (either format)
  // Import, outcome of the whole run.
  kImportNotConnected,  // no database connection
  kUploadNotOpened,     // the upload file could not be opened; (const char* name)
  kTooFewRecords,       // the file ended before a second record
  kParseError,          // a field could not be read; the import stops
  kMalformedString,     // a closing quote was followed by other text
  // Import, record by record.
  kRecordParsed,        // (int record) a record's line end was read
  kFieldValue,          // (int position) a field is about to be checked
  kContactAdded,        // (const char* displayName)
  kContactNotAdded,     // (int record) the database refused it
  kNoDisplayNameField,  // (int record) fewer than 3 fields
  // Import, field checks; each belongs to the record being read.
  kDisplayNameBlank,
  kEmailIllegal,
  kIfaxIllegal,
  kEmailTooLong,        // (int limit) bytes
  kIfaxTooLong,         // (int limit) bytes
  kFirstNameTooLong,    // (int limit) characters
  kLastNameTooLong,     // (int limit) characters
  kDisplayNameTooLong,  // (int limit) characters
  kCompanyTooLong,      // (int limit) characters
  kNameOverBuffer,      // (int limit) bytes
};

// Which line `format`, a format literal the library logged, is. Remembers
// each literal it has seen, so repeated lines are told apart by pointer.
// Not thread-safe: one listener uses one table.
class LibraryLineTable {
 public:
  LibraryLine identify(const char* format);

 private:
  struct Slot {
    const char* format = nullptr;
    LibraryLine line = LibraryLine::kOther;
  };
  static constexpr size_t kSlots = 256;  // a power of two, above the library's literal count
  Slot slots_[kSlots];
};

// Receives the lines of the table while a ScopedLogListener runs.
class LibraryLogReader {
 public:
  virtual ~LibraryLogReader() = default;
  // `args` are the line's arguments, in the order the table gives.
  virtual void heard(LibraryLine line, va_list args) = 0;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_LIBRARY_LINES_H_
