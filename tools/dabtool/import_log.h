// Reads the import's log lines as they come and works out, record by record,
// what the library did: created, refused and why, or created with a doubt,
// and why an import stopped.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_LOG_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_LOG_H_

#include <map>
#include <set>
#include <string>
#include <vector>

namespace dabtool {

struct ImportLog {
  int parsedRecords = 0;                           // completed records, header row included
  std::set<int> created;                           // record numbers that became contacts
  std::map<int, std::string> refused;              // record number -> why it was not created
  std::map<int, std::vector<std::string>> doubts;  // record number -> what may be wrong
  bool headerDisplayNameBlank = false;             // the header's third column is empty
  bool notConnected = false;
  bool fileNotOpened = false;
  bool parseError = false;
  bool malformedString = false;  // a closing quote was followed by other text
  bool tooFewRecords = false;
  int stoppedAtRecord = 0;  // record number the parse error hit
};

// Interprets lines in the order the import writes them. Record numbers
// count the header row as 1, as the library does.
class ImportLogReader {
 public:
  void onLine(int level, const std::string& message);
  // The interpretation so far; explanations that need the whole log
  // (a blank header display name skipping the first data row) are added.
  ImportLog result() const;

 private:
  void noteFieldProblem(const std::string& message);

  ImportLog log_;
  int current_ = 1;       // record the next field lines belong to
  bool closing_ = false;  // between a record's end line and the next field
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_LOG_H_
