// The import as one operation: the person's file placed where the library
// reads it, the library run on a scratch copy of the book, and the copy kept
// only when the import is good. The report holds the verdict, the counts and
// every fact a sentence about it needs, and the sentences themselves, so the
// command line and the console say the same thing.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_IMPORT_BOOK_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_IMPORT_BOOK_H_

#include <functional>
#include <string>
#include <vector>

#include "duplicates.h"
#include "file_io.h"
#include "import_log.h"
#include "record_scan.h"
#include "upload_file.h"
#include "upload_reading.h"
#include "workspace.h"

namespace dabtool {

struct ImportRequest {
  std::string file;  // the name the person knows the file by
  std::string delimiterName = "Comma";
  bool dryRun = false;
  bool keepPartial = false;     // keep what was created before a malformed field
  bool keepDuplicates = false;  // create contacts the book or the file already holds
  ReadingOptions reading;       // how to read the person's file
  // Told now and then, while the library runs, how many of the upload's
  // data records it has read and how many there are.
  std::function<void(int done, int total)> progress;
};

enum class ImportOutcome {
  kImported,        // the library read the file to its end, or to the device limit
  kNoDataRecords,   // a header row and nothing more, or nothing
  kBookFull,        // the book held the device limit before the first record
  kLimitReached,    // the book filled up before the end of the file (without keepPartial)
  kNothingCreated,  // the library read every record and refused them all
  kStopped,         // a field could not be read (library status 3 or 6)
  kNotStarted,      // the upload or the book could not be opened (status 1)
};

struct ImportReport {
  ImportRequest request;
  ImportOutcome outcome = ImportOutcome::kNotStarted;
  int libraryStatus = 0;  // 0 when it ran to its end, else 1, 3 or 6
  std::string placedFile;
  std::vector<std::string> changes;   // what was done to the placed copy
  std::vector<std::string> warnings;  // about the file
  UploadReading reading;              // how the file was read before the library
  bool saved = false;                 // the scratch copy replaced the book
  int successCount = 0;
  int failureCount = 0;
  int dataRecordsInFile = 0;
  int dataRecordsRead = 0;  // fewer than in the file when the book filled up
  int entriesBefore = 0;
  int entriesAfter = 0;  // in the scratch copy
  RecordScan scan;
  ImportLog log;
  std::string hint;                       // what may help when nothing was created, "" without one
  std::vector<SkippedRecord> duplicates;  // cut before the library read the file

  // True for the outcomes that count as success.
  bool succeeded() const { return outcome == ImportOutcome::kImported; }
};

// Places the file, runs the import on a scratch copy and saves the copy
// when the library ran to its end (or stopped, with keepPartial), unless it
// is a dry run. Throws Failure for what stops it before the library runs.
ImportReport importFile(const Workspace& workspace, const ImportRequest& request);

// The same for an upload already written to `staged`, a file staged for
// the fixed upload name, which this puts in place: the console's bytes,
// received before the caller took its turn with the library.
ImportReport importStaged(const Workspace& workspace, const ImportRequest& request,
                          StagedFile& staged);

// --- Sentences. `book` names the address book ("addressbook.db", "the
// address book"). None ends in a full stop.

// "Created 3 contacts from 4 data records; 1 refused" (kImported only).
std::string summarySentence(const ImportReport& report);
// Why nothing (or only part) was imported, for every outcome but kImported.
std::string failureSentence(const ImportReport& report, const std::string& book);
// The device limit cut the file short; "" when it did not.
std::string limitSentence(const ImportReport& report);
// What the book holds now: "addressbook.db now holds 7 entries (it held 4)".
std::string bookAfterSentence(const ImportReport& report, const std::string& book);
// One sentence for each record the library refused or doubted ("record 3
// (line 3): not created: the display name (column 3) is empty").
std::vector<std::string> recordFindings(const ImportReport& report);
// The library's status for an outcome that is not kImported, in words.
std::string statusMeaning(const ImportReport& report);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_IMPORT_BOOK_H_
