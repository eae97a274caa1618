// Reads the import's log lines as they come and works out, record by record,
// what the library did: created, refused and why, or created with a doubt,
// and why an import stopped.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_IMPORT_LOG_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_IMPORT_LOG_H_

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "library_lines.h"

namespace dabtool {

// What the library found wrong with one record.
enum class Finding {
  // Refusals: the record did not become a contact.
  kRefusedByBook,       // the database refused it
  kNoDisplayNameField,  // fewer than 3 fields
  kDisplayNameBlank,    // its third field is empty
  kEmailTooLong,        // limit: bytes
  kIfaxTooLong,         // limit: bytes
  kHeaderSkipsFirst,    // the header's blank display name skipped it
  kNoReason,            // not created, and the log says nothing why
  // Doubts: the record became a contact that may come out wrong.
  kEmailDoubtful,  // a blank or a non-ASCII character
  kIfaxDoubtful,
  kFirstNameTooLong,  // limit: characters
  kLastNameTooLong,
  kDisplayNameTooLong,
  kCompanyTooLong,
  kNameOverBuffer,  // limit: bytes
};

struct RecordFinding {
  Finding kind;
  int limit = 0;  // the library's limit the finding names, where it names one
};

// The finding as the end of a sentence: "the display name (column 3) is
// empty".
std::string findingText(const RecordFinding& finding);

struct ImportLog {
  int parsedRecords = 0;      // completed records, header row included
  std::vector<bool> created;  // by record number: it became a contact
  int createdCount = 0;
  std::map<int, RecordFinding> refused;              // record number -> why it was not created
  std::map<int, std::vector<RecordFinding>> doubts;  // record number -> what may be wrong
  bool headerDisplayNameBlank = false;               // the header's third column is empty
  bool notConnected = false;
  bool fileNotOpened = false;
  bool parseError = false;
  bool malformedString = false;  // a closing quote was followed by other text
  bool tooFewRecords = false;
  int stoppedAtRecord = 0;  // record number the parse error hit

  bool wasCreated(int record) const {
    return record >= 0 && static_cast<size_t>(record) < created.size() && created[record];
  }
};

// Interprets lines in the order the import writes them. Record numbers
// count the header row as 1, as the library does.
class ImportLogReader : public LibraryLogReader {
 public:
  void heard(LibraryLine line, va_list args) override;
  // The interpretation, with the explanations that need the whole log (a
  // blank header display name skipping the first data row). Call once, when
  // the import is over.
  ImportLog finish();
  // Calls `progress` with the number of data records read, every few
  // hundred records: often enough for a person, rarely enough to cost
  // nothing next to the import.
  void onProgress(std::function<void(int)> progress) { progress_ = std::move(progress); }

 private:
  void fieldStarts();
  void noteFieldProblem(LibraryLine line, va_list args);

  ImportLog log_;
  std::function<void(int)> progress_;
  int current_ = 1;                // record the field lines belong to
  bool closing_ = false;           // a record's line end was read...
  bool lastFieldPending_ = false;  // ...and its last field not yet checked
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_IMPORT_LOG_H_
