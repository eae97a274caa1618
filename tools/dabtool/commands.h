// The dabtool commands. Each run* function takes the global options and the
// arguments after the command's name, prints its results on stdout and
// returns the exit code; it throws UsageError or Failure for the caller to
// print. The other functions do a command's work without printing, for the
// demo to reuse.
#ifndef DABUTILS_TOOLS_DABTOOL_COMMANDS_H_
#define DABUTILS_TOOLS_DABTOOL_COMMANDS_H_

#include <string>
#include <vector>

#include "import_log.h"
#include "record_scan.h"
#include "upload_file.h"
#include "workspace.h"

namespace dabtool {

using Args = std::vector<std::string>;

int runSeed(const GlobalOptions& global, const Args& args);
int runList(const GlobalOptions& global, const Args& args);
int runExport(const GlobalOptions& global, const Args& args);
int runImport(const GlobalOptions& global, const Args& args);
int runSample(const GlobalOptions& global, const Args& args);
int runDemo(const GlobalOptions& global, const Args& args);
int runServe(const GlobalOptions& global, const Args& args);

// --- seed ---
struct SeedResult {
  int contacts = 0;
  int groups = 0;
  int entriesAfter = 0;
};
// Adds `contacts` contacts and `groups` groups (-1: one per 25 contacts, as
// many as fit) on a scratch copy and saves it. Throws Failure, and the book
// is then unchanged.
SeedResult seedBook(const Workspace& workspace, int contacts, int groups, unsigned seed);

// --- export ---
struct ExportResult {
  std::string file;  // absolute path of the library's output
  int rows = 0;      // entries written (legacy: individuals with an e-mail address)
  char delimiter = ',';
};
// Runs the export; throws Failure with the library's reason.
ExportResult exportBook(const Workspace& workspace, bool legacy, const std::string& delimiterName);

// --- sample ---
// The service bits of the DAB sample from a comma-separated list of the names
// people use: fax, email, ifax, scan, all, none. Throws UsageError for
// another name.
unsigned servicesFromList(const std::string& list);
// The flags' services as such a list, in the file's column order; "none".
std::string serviceNames(unsigned flags);
// Writes a sample and returns the absolute path of the library's output.
std::string writeSample(bool legacy, const std::string& delimiterName, unsigned services,
                        const Workspace& workspace);

// --- import ---
struct ImportRequest {
  std::string file;  // as typed
  std::string delimiterName = "Comma";
  bool dryRun = false;
  bool keepPartial = false;
};
struct ImportReport {
  std::string placedFile;
  std::vector<std::string> changes;   // what was done to the placed copy
  std::vector<std::string> warnings;  // about the file
  bool libraryOk = false;             // AddressBookImport returned 1
  bool saved = false;                 // the scratch copy replaced the book
  int successCount = 0;
  int failureCount = 0;
  int entriesBefore = 0;
  int entriesAfter = 0;  // in the scratch copy
  RecordScan scan;
  ImportLog log;
};
// Places the file, runs the import on a scratch copy and saves the copy
// when the library ran to its end (or stopped, with keepPartial), unless it
// is a dry run. Throws Failure for what stops it before the library runs.
ImportReport importFile(const Workspace& workspace, const ImportRequest& request);
// The same for an upload that is no file of the caller's: `upload` is written
// to the fixed upload name and nowhere else. `request.file` only names it.
ImportReport importUpload(const Workspace& workspace, const ImportRequest& request,
                          const PreparedUpload& upload);
// One sentence for each record the library refused or doubted ("record 3
// (line 3): not created: the display name (column 3) is empty").
std::vector<std::string> recordFindings(const ImportReport& report, bool dryRun);
// Where and why the library stopped an import that ended on a malformed field.
std::string stopPlace(const ImportReport& report);
// The library's status for an import that did not run to its end, and what
// it means.
struct FailedImport {
  int status;           // 1, 3 or 6
  std::string meaning;  // "a field could not be read"
};
FailedImport failedImport(const ImportReport& report);
// Prints the report; returns the exit code.
int printImportReport(const Workspace& workspace, const ImportRequest& request,
                      const ImportReport& report);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_COMMANDS_H_
