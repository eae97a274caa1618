// dabtool import: an uploaded CSV file into the address book, all or nothing.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "address_book.h"
#include "cli.h"
#include "commands.h"
#include "dabplatform.h"
#include "database_copy.h"
#include "file_io.h"
#include "library_call.h"
#include "log_listener.h"
#include "seed.h"
#include "upload_file.h"

namespace fs = std::filesystem;

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool import FILE [--delimiter Comma|Semicolon] [--dry-run] [--keep-partial]\n"
    "\n"
    "Imports FILE, a CSV file whose columns are first name, last name, display\n"
    "name, company, e-mail address and internet-fax address, after a header\n"
    "row. Each data row becomes a new contact; rows the library refuses are\n"
    "listed with their line and reason. The import runs on a copy of the\n"
    "address book that replaces it only when the whole file was read, so a\n"
    "malformed field changes nothing. FILE itself is never changed.\n"
    "\n"
    "  --dry-run       report what would be created and refused; change nothing\n"
    "  --keep-partial  keep the contacts created before a malformed field\n"
    "  --raw-delimiter TEXT  hand TEXT to the library unchecked (any name but\n"
    "                  Semicolon gives ',')\n";

// Writes the upload where the library reads it, refusing to overwrite FILE
// when the person named the upload file itself.
void placeUpload(const std::string& source, const std::string& placed, const std::string& original,
                 const std::string& prepared, const std::string& typedName) {
  std::error_code error;
  if (fs::equivalent(source, placed, error)) {
    if (original == prepared) return;
    throw Failure(typedName +
                  " is the data folder's upload file itself, which would have to be "
                  "changed; copy it elsewhere and import the copy");
  }
  writeFileAtomically(placed, prepared, "the upload file " + placed);
}

void printRecordFindings(const ImportReport& report, bool dryRun) {
  for (const std::string& finding : recordFindings(report, dryRun)) {
    std::printf("  %s\n", finding.c_str());
  }
}

int printFailure(const Workspace& workspace, const ImportRequest& request,
                 const ImportReport& report) {
  std::string shownBook = workspace.shown(workspace.databasePath());
  const ImportLog& log = report.log;
  if (!log.parseError) {
    std::string what = log.fileNotOpened ? "the upload file could not be opened"
                                         : "the address book " + shownBook + " could not be opened";
    std::fprintf(stderr, "dabtool: the import failed: %s (import status 1).\n", what.c_str());
    return kExitFailed;
  }
  printRecordFindings(report, request.dryRun);
  FailedImport failed = failedImport(report);
  std::string status = "import status " + std::to_string(failed.status) + ": " + failed.meaning;
  std::string outcome;
  int created = static_cast<int>(log.created.size());
  if (request.dryRun) {
    outcome = "This was a dry run: " + shownBook + " is unchanged.";
  } else if (report.saved) {
    outcome = "The " + std::to_string(created) +
              " contacts created before it were kept "
              "(--keep-partial); " +
              shownBook + " now holds " + std::to_string(report.entriesAfter) + " entries.";
  } else {
    outcome = "Nothing was imported and " + shownBook +
              " is unchanged: fix the file and import it again.";
  }
  std::fprintf(stderr, "dabtool: the import stopped at %s (%s). %s\n", stopPlace(report).c_str(),
               status.c_str(), outcome.c_str());
  return kExitFailed;
}

int printSuccess(const Workspace& workspace, const ImportRequest& request,
                 const ImportReport& report) {
  std::string shownBook = workspace.shown(workspace.databasePath());
  const ImportLog& log = report.log;
  int inFile = static_cast<int>(report.scan.records.size()) - 1;
  int read = std::max(0, log.parsedRecords - 1);
  if (inFile < 1) {
    std::fprintf(stderr,
                 "dabtool: %s holds no data records (a header row and nothing more, or "
                 "nothing); nothing was imported.\n",
                 request.file.c_str());
    return kExitFailed;
  }
  if (read == 0 && report.entriesBefore >= kDeviceLimit) {
    std::fprintf(stderr,
                 "dabtool: %s is full (it holds %d entries, the device limit); nothing was "
                 "imported.\n",
                 shownBook.c_str(), report.entriesBefore);
    return kExitFailed;
  }
  std::printf("%s %s from %s; %d %s.\n", request.dryRun ? "Dry run: would create" : "Created",
              plural(report.successCount, "contact", "contacts").c_str(),
              plural(read, "data record", "data records").c_str(), report.failureCount,
              request.dryRun ? "would be refused" : "refused");
  printRecordFindings(report, request.dryRun);
  if (read < inFile) {
    std::printf(
        "The address book reached the device limit of %d entries: %s and the %s after "
        "it were not read.\n",
        kDeviceLimit, describeRecord(report.scan, log.parsedRecords + 1).c_str(),
        plural(inFile - read - 1, "record", "records").c_str());
  }
  std::string after = plural(report.entriesAfter, "entry", "entries");
  if (request.dryRun) {
    std::printf("%s was not changed (it would hold %s).\n", shownBook.c_str(), after.c_str());
  } else {
    std::printf("%s now holds %s (it held %d).\n", shownBook.c_str(), after.c_str(),
                report.entriesBefore);
  }
  return kExitOk;
}

}  // namespace

std::vector<std::string> recordFindings(const ImportReport& report, bool dryRun) {
  std::vector<std::string> findings;
  const ImportLog& log = report.log;
  std::set<int> numbers;
  for (const auto& refused : log.refused) numbers.insert(refused.first);
  for (const auto& doubt : log.doubts) numbers.insert(doubt.first);
  for (int record = 2; record <= log.parsedRecords; ++record) {
    if (log.created.count(record) == 0) numbers.insert(record);
  }
  for (int record : numbers) {
    std::string where = describeRecord(report.scan, record);
    if (log.created.count(record) == 0) {
      auto refused = log.refused.find(record);
      std::string reason =
          refused == log.refused.end() ? "the library gave no reason" : refused->second;
      findings.push_back(where + ": " + (dryRun ? "would not be created" : "not created") + ": " +
                         reason);
    }
    auto doubts = log.doubts.find(record);
    if (doubts == log.doubts.end()) continue;
    for (const std::string& doubt : doubts->second) {
      const char* outcome = log.created.count(record) == 0 ? "also"
                            : dryRun                       ? "would be created"
                                                           : "created";
      findings.push_back(where + ": " + outcome + ", but " + doubt);
    }
  }
  return findings;
}

std::string stopPlace(const ImportReport& report) {
  const RecordScan& scan = report.scan;
  if (scan.malformed) {
    return "record " + std::to_string(scan.malformedRecord) + " (starting on line " +
           std::to_string(scan.malformedRecordLine) + ", the bad field is on line " +
           std::to_string(scan.malformedLine) + "): " + scan.malformedReason;
  }
  std::string reason = report.log.malformedString
                           ? "a closing double quote is followed by other text"
                           : "a quoted value is never closed";
  return describeRecord(scan, report.log.stoppedAtRecord) + ": " + reason;
}

FailedImport failedImport(const ImportReport& report) {
  const ImportLog& log = report.log;
  if (!log.parseError) {
    return {1, log.fileNotOpened ? "the upload file could not be opened"
                                 : "the address book could not be opened"};
  }
  if (log.tooFewRecords) {
    return {6, "a field could not be read before the second record was complete"};
  }
  return {3, "a field could not be read"};
}

namespace {

// Runs the library on the upload already placed at its fixed name.
ImportReport importPlaced(const Workspace& workspace, const ImportRequest& request,
                          const PreparedUpload& upload) {
  ImportReport report;
  report.changes = upload.changes;
  report.warnings = upload.warnings;
  report.placedFile = workspace.fixedFile(kUploadFile);
  report.scan = scanRecords(upload.bytes, importDelimiter(request.delimiterName));

  const std::string& database = workspace.databasePath();
  std::string shownName = workspace.shown(database);
  DatabaseLock lock(database, shownName);
  ScratchCopy scratch(database, shownName);
  {
    UseDatabaseFile useScratch(scratch.path());
    report.entriesBefore = countEntries();
    ImportLogReader reader;
    ResultStatus status{0, 0};
    {
      ScopedLogListener listener(
          DABPLATFORM_LOG_INFO,
          [&reader](int level, const std::string& line) { reader.onLine(level, line); });
      CText name(request.delimiterName);
      report.libraryOk = AddressBookImport(name.get(), nullptr, nullptr, &status) == 1;
    }
    report.log = reader.result();
    report.successCount = status.successCount;
    report.failureCount = status.failureCount;
    report.entriesAfter = countEntries();
  }
  if (report.libraryOk && report.entriesAfter - report.entriesBefore != report.successCount) {
    throw Failure("the address book kept " +
                  std::to_string(report.entriesAfter - report.entriesBefore) + " of the " +
                  std::to_string(report.successCount) + " contacts the import created; " +
                  shownName + " is unchanged");
  }
  bool worthSaving = report.entriesAfter != report.entriesBefore;
  bool keep = report.libraryOk || (request.keepPartial && report.log.parseError);
  if (keep && worthSaving && !request.dryRun) {
    scratch.commit();
    report.saved = true;
  }
  return report;
}

}  // namespace

ImportReport importFile(const Workspace& workspace, const ImportRequest& request) {
  std::string source = workspace.fromCaller(request.file);
  std::string original = readFile(source, request.file);
  PreparedUpload upload = prepareUpload(original, request.file);
  placeUpload(source, workspace.fixedFile(kUploadFile), original, upload.bytes, request.file);
  return importPlaced(workspace, request, upload);
}

ImportReport importUpload(const Workspace& workspace, const ImportRequest& request,
                          const PreparedUpload& upload) {
  std::string placed = workspace.fixedFile(kUploadFile);
  writeFileAtomically(placed, upload.bytes, "the upload file " + workspace.shown(placed));
  return importPlaced(workspace, request, upload);
}

int printImportReport(const Workspace& workspace, const ImportRequest& request,
                      const ImportReport& report) {
  std::printf("Placed %s as %s", request.file.c_str(), workspace.shown(report.placedFile).c_str());
  for (const std::string& change : report.changes) std::printf("; %s", change.c_str());
  std::printf("%s.\n", report.changes.empty() ? "" : " (the file itself is unchanged)");
  for (const std::string& warning : report.warnings) {
    std::fprintf(stderr, "dabtool: warning: %s\n", warning.c_str());
  }
  std::fflush(stdout);
  return report.libraryOk ? printSuccess(workspace, request, report)
                          : printFailure(workspace, request, report);
}

int runImport(const GlobalOptions& global, const Args& args) {
  std::vector<Option> options = delimiterOptions();
  options.push_back({"--dry-run", false});
  options.push_back({"--keep-partial", false});
  ParsedArgs parsed = parseArgs("import", args, options);
  if (parsed.help) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  expectPositional("import", parsed, 1, "the FILE to import");
  ImportRequest request;
  request.file = parsed.positional[0];
  request.delimiterName = delimiterName(parsed);
  request.dryRun = parsed.flag("--dry-run");
  request.keepPartial = parsed.flag("--keep-partial");
  if (request.dryRun && request.keepPartial) {
    throw UsageError("--dry-run changes nothing, so --keep-partial has nothing to keep");
  }
  Workspace workspace(global);
  return printImportReport(workspace, request, importFile(workspace, request));
}

}  // namespace dabtool
