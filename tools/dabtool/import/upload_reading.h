// How the tool read a person's contact file before the library saw it: the
// format, encoding and delimiter it found, which column went to which
// field, what was left out, and the first contacts as they will be created;
// with the sentences both faces show.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_UPLOAD_READING_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_UPLOAD_READING_H_

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "contact_fields.h"
#include "errors.h"
#include "record_scan.h"

namespace dabtool {

// What the person asked for about reading the file.
struct ReadingOptions {
  std::string encoding;         // --encoding, "" to detect
  std::string columns;          // --columns ("display=Full Name,email=3"), "" for none
  bool positional = false;      // pass the file as it is, columns by position
  bool delimiterGiven = false;  // else found in the header row
  char delimiter = ',';         // when given
};

struct UploadReading {
  std::string format;                // "Google Contacts CSV", "vCard"
  bool asIs = true;                  // the file's rows go to the library unchanged
  char delimiter = ',';              // between the fields of the person's file
  bool delimiterFound = false;       // found in the header row, not given
  std::string encoding = "UTF-8";    // what the file was read as
  bool headerless = false;           // its first row was a contact
  std::vector<std::string> columns;  // the file's column names
  std::array<int, kFieldCount> source{{0, 1, 2, 3, 4, 5}};  // column per field, -1 none
  std::array<bool, kFieldCount> chosen{};                   // by the person
  std::vector<std::string> notImported;                     // names of the columns no field takes
  int contacts = 0;  // rows written for the library (converted files)
  int builtDisplayNames = 0;
  int groupsLeftOut = 0;                         // DAB files: groups are no contacts
  int descriptionsLeftOut = 0;                   // DAB template: its row that describes the columns
  std::vector<ContactFields> preview;            // the first five contacts (converted files)
  std::vector<std::pair<int, int>> sourceLines;  // person's lines per upload record
};

// A file whose header row names no column the tool knows, with the reading
// so far (its columns, none of them mapped), so that a face can let the
// person say which column holds what.
class UnmappedColumns : public UnreadableFile {
 public:
  UnmappedColumns(const std::string& sentence, UploadReading reading)
      : UnreadableFile(sentence), reading_(std::move(reading)) {}
  const UploadReading& reading() const { return reading_; }

 private:
  UploadReading reading_;
};

// "Read in.csv as Google Contacts CSV (',' between fields, found in its
// header row; UTF-8)".
std::string readingSentence(const UploadReading& reading, const std::string& shownName);

// One line per field: "display name: 'Name' (column 1)", "e-mail: none".
std::vector<std::string> mappingLines(const UploadReading& reading);

// What was left out or made up, one sentence each ("Not imported: ...",
// "Built 2 display names ...", "Left out 1 group ...").
std::vector<std::string> readingNotes(const UploadReading& reading);

// Points the scan's records at the person's lines when the upload was
// written by the tool.
void useSourceLines(RecordScan& scan, const UploadReading& reading);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_UPLOAD_READING_H_
