#include "import_book.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "address_book.h"
#include "book_history.h"
#include "csv_rows.h"
#include "dabplatform.h"
#include "database_copy.h"
#include "early_records.h"
#include "errors.h"
#include "file_io.h"
#include "library_facts.h"
#include "library_log.h"
#include "text.h"

namespace fs = std::filesystem;

namespace dabtool {

namespace {

ImportOutcome outcomeOf(const ImportReport& report, bool libraryOk) {
  if (!libraryOk) {
    return report.log.parseError ? ImportOutcome::kStopped : ImportOutcome::kNotStarted;
  }
  if (report.dataRecordsInFile < 1) return ImportOutcome::kNoDataRecords;
  if (report.dataRecordsRead == 0 && report.entriesBefore >= kDeviceLimit) {
    return ImportOutcome::kBookFull;
  }
  // All or nothing holds at the device limit too, unless asked otherwise.
  if (report.dataRecordsRead < report.dataRecordsInFile && !report.request.keepPartial) {
    return ImportOutcome::kLimitReached;
  }
  if (report.successCount == 0 && report.duplicates.empty()) return ImportOutcome::kNothingCreated;
  return ImportOutcome::kImported;
}

// Every record refused for want of a display name, with the other
// delimiter in the header: the file was most likely read with the wrong one.
std::string delimiterHint(const ImportReport& report, std::string_view upload) {
  for (int record = 2; record <= report.log.parsedRecords; ++record) {
    auto refused = report.log.refused.find(record);
    if (refused == report.log.refused.end() ||
        refused->second.kind != Finding::kNoDisplayNameField) {
      return "";
    }
  }
  bool semicolon = importDelimiter(report.request.delimiterName) == ';';
  char other = semicolon ? ',' : ';';
  std::string_view header = upload.substr(0, upload.find_first_of("\r\n"));
  if (header.find(other) == std::string_view::npos) return "";
  return std::string("; its fields seem to be separated by '") + other + "': try --delimiter " +
         (semicolon ? "Comma" : "Semicolon");
}

int statusOf(const ImportReport& report, bool libraryOk) {
  if (libraryOk) return 0;
  if (!report.log.parseError) return 1;
  return report.log.tooFewRecords ? 6 : 3;
}

// The entries an upload's records are checked against for duplicates.
std::vector<BookEntry> entriesToCompare(const ImportReport& report) {
  if (report.request.keepDuplicates || report.entriesBefore == 0) return {};
  return AddressBook().entries();
}

// Cuts the records `book` (the scratch copy's entries) already holds from
// the placed upload. `mayRewrite`: the placed file is not the person's own.
DuplicateCut placeWithoutDuplicates(const Workspace& workspace, const ImportReport& report,
                                    std::string_view upload, const std::vector<RecordKey>& keys,
                                    const std::vector<BookEntry>& book, bool mayRewrite) {
  if (report.request.keepDuplicates) return DuplicateCut();
  DuplicateCut cut =
      cutDuplicates(upload, importDelimiter(report.request.delimiterName), report.scan, keys, book);
  if (cut.skipped.empty()) return cut;
  std::string placed = workspace.fixedFile(kUploadFile);
  if (!mayRewrite) {
    throw UnreadableFile(report.request.file +
                         " is the data folder's upload file itself, which would have to be "
                         "changed to leave out its duplicates; copy it elsewhere and import the "
                         "copy, or keep them with --duplicates keep");
  }
  writeFileAtomically(placed, cut.bytes, "the upload file " + workspace.shown(placed),
                      Durability::kUnflushed);
  return cut;
}

// Runs the library on the book's scratch copy; the upload is in place.
// REQUIRES: the caller holds the book's lock.
void runLibrary(const Workspace& workspace, ImportReport& report, std::string_view upload,
                EarlyRecords& early, bool mayRewrite) {
  const std::string& database = workspace.databasePath();
  std::string shownName = workspace.shown(database);
  ScratchCopy scratch(database, shownName);
  bool libraryOk = false;
  {
    UseDatabaseFile useScratch(scratch.path());
    report.entriesBefore = countEntries();
    std::vector<BookEntry> book = entriesToCompare(report);
    // Taken only now: the copy, the count and the book's entries were read
    // beside the early reading.
    UploadRecords records = early.take(upload, importDelimiter(report.request.delimiterName));
    report.scan = std::move(records.scan);
    useSourceLines(report.scan, report.reading);
    DuplicateCut cut =
        placeWithoutDuplicates(workspace, report, upload, records.keys, book, mayRewrite);
    report.duplicates = cut.skipped;
    ImportLogReader reader;
    if (report.request.progress) {
      int total = static_cast<int>(report.scan.records.size()) - 1;
      reader.onProgress([&report, total](int done) { report.request.progress(done, total); });
    }
    ResultStatus status{0, 0};
    {
      ScopedLogListener listener(DABPLATFORM_LOG_INFO, reader);
      CText name(report.request.delimiterName);
      libraryOk = AddressBookImport(name.get(), nullptr, nullptr, &status) == 1;
    }
    report.log = cut.skipped.empty() ? reader.finish() : renumbered(reader.finish(), cut);
    report.successCount = status.successCount;
    report.failureCount = status.failureCount;
    report.entriesAfter = countEntries();
  }
  if (libraryOk && report.entriesAfter - report.entriesBefore != report.successCount) {
    throw Failure("the address book kept " +
                  std::to_string(report.entriesAfter - report.entriesBefore) + " of the " +
                  std::to_string(report.successCount) + " contacts the import created; " +
                  shownName + " is unchanged");
  }
  report.dataRecordsInFile = static_cast<int>(report.scan.records.size()) - 1;
  report.dataRecordsRead = std::max(0, report.log.parsedRecords - 1);
  report.outcome = outcomeOf(report, libraryOk);
  report.libraryStatus = statusOf(report, libraryOk);
  bool worthSaving = report.entriesAfter != report.entriesBefore;
  bool keep = report.outcome == ImportOutcome::kImported ||
              (report.request.keepPartial && report.log.parseError);
  if (keep && worthSaving && !report.request.dryRun) {
    BookHistory(workspace).commit(scratch, "the import of " + report.request.file,
                                  plural(report.successCount, "contact", "contacts"));
    report.saved = true;
  }
}

ImportReport importPrepared(const Workspace& workspace, const ImportRequest& request,
                            const PreparedUpload& upload, bool mayRewrite, EarlyRecords& early) {
  ImportReport report;
  report.request = request;
  report.changes = upload.changes;
  report.warnings = upload.warnings;
  report.placedFile = workspace.fixedFile(kUploadFile);
  report.reading = upload.reading;
  report.request.delimiterName =
      upload.libraryDelimiter(request.delimiterName, request.reading.delimiterGiven);
  runLibrary(workspace, report, upload.bytes(), early, mayRewrite);
  if (report.outcome == ImportOutcome::kNothingCreated) {
    report.hint = delimiterHint(report, upload.bytes());
  }
  return report;
}

// The book's lock, taken before the upload is placed, so that another
// import cannot put its own file there before the library reads this one.
DatabaseLock lockBook(const Workspace& workspace) {
  return DatabaseLock(workspace.databasePath(), workspace.shown(workspace.databasePath()));
}

// Reads the upload file where it lies, so a file of megabytes costs no
// memory of its own unless something in it has to change, and imports it.
// `personsOwn`: the person named the upload file itself, which must then
// not change.
ImportReport importPlacedFile(const Workspace& workspace, const ImportRequest& request,
                              bool personsOwn) {
  std::string placed = workspace.fixedFile(kUploadFile);
  std::string shownPlaced = "the upload file " + workspace.shown(placed);
  MappedFile original(placed, personsOwn ? request.file : shownPlaced);
  ReadingOptions options = request.reading;
  options.delimiter = importDelimiter(request.delimiterName);
  char likely = options.delimiterGiven                   ? options.delimiter
                : guessDelimiter(original.view()) == ';' ? ';'
                                                         : ',';
  EarlyRecords early(original.view(), likely, !request.keepDuplicates,
                     !surelyRewritten(original.view(), options));
  PreparedUpload upload = prepareUpload(original.view(), request.file, options);
  if (upload.converted()) {
    if (personsOwn) {
      throw UnreadableFile(request.file +
                           " is the data folder's upload file itself, which would have to be "
                           "changed; copy it elsewhere and import the copy");
    }
    writeFileAtomically(placed, upload.bytes(), shownPlaced, Durability::kUnflushed);
  }
  return importPrepared(workspace, request, upload, !personsOwn, early);
}

// Where and why the library stopped an import that ended on a malformed field.
std::string stopPlace(const ImportReport& report) {
  const RecordScan& scan = report.scan;
  if (scan.malformed) {
    return recordName(scan.malformedRecord) + " (starting on line " +
           std::to_string(scan.malformedRecordLine) + ", the bad field is on line " +
           std::to_string(scan.malformedLine) + "): " + scan.malformedReason;
  }
  std::string reason = report.log.malformedString
                           ? "a closing double quote is followed by other text"
                           : "a quoted value is never closed";
  return describeRecord(scan, report.log.stoppedAtRecord) + ": " + reason;
}

std::string stoppedSentence(const ImportReport& report, const std::string& book) {
  const ImportRequest& request = report.request;
  std::string outcome;
  if (request.dryRun) {
    outcome = "This was a dry run: " + book + " is unchanged";
  } else if (report.saved) {
    outcome = "The " + std::to_string(report.log.createdCount) +
              " contacts created before it were kept (keep partial); " + book + " now holds " +
              std::to_string(report.entriesAfter) + " entries";
  } else {
    outcome =
        "Nothing was imported and " + book + " is unchanged: fix the file and import it again";
  }
  return "the import stopped at " + stopPlace(report) + " (import status " +
         std::to_string(report.libraryStatus) + ": " + statusMeaning(report) + "). " + outcome;
}

}  // namespace

ImportReport importFile(const Workspace& workspace, const ImportRequest& request) {
  std::string source = workspace.fromCaller(request.file);
  std::string placed = workspace.fixedFile(kUploadFile);
  DatabaseLock lock = lockBook(workspace);
  std::error_code error;
  if (fs::equivalent(source, placed, error)) return importPlacedFile(workspace, request, true);
  StagedFile staged(placed, "the upload file " + workspace.shown(placed));
  staged.copyFrom(source, request.file);
  staged.place(Durability::kUnflushed);
  return importPlacedFile(workspace, request, false);
}

ImportReport importStaged(const Workspace& workspace, const ImportRequest& request,
                          StagedFile& staged) {
  DatabaseLock lock = lockBook(workspace);
  staged.place(Durability::kUnflushed);
  return importPlacedFile(workspace, request, false);
}

std::string statusMeaning(const ImportReport& report) {
  switch (report.libraryStatus) {
    case 1:
      return report.log.fileNotOpened ? "the upload file could not be opened"
                                      : "the address book could not be opened";
    case 6:
      return "a field could not be read before the second record was complete";
    case 3:
      return "a field could not be read";
    default:
      return "the library ran to the end of the file";
  }
}

std::string summarySentence(const ImportReport& report) {
  bool dryRun = report.request.dryRun;
  std::string skipped =
      report.duplicates.empty()
          ? ""
          : ", " + std::to_string(report.duplicates.size()) +
                (dryRun ? " would be skipped" : " skipped") +
                (report.duplicates.size() == 1 ? " as a duplicate" : " as duplicates");
  return std::string(dryRun ? "Dry run: would create " : "Created ") +
         plural(report.successCount, "contact", "contacts") + " from " +
         plural(report.dataRecordsRead, "data record", "data records") + "; " +
         std::to_string(report.failureCount) + (dryRun ? " would be refused" : " refused") +
         skipped;
}

std::string failureSentence(const ImportReport& report, const std::string& book) {
  switch (report.outcome) {
    case ImportOutcome::kNoDataRecords:
      return report.request.file +
             " holds no data records (a header row and nothing more, or nothing); nothing was "
             "imported";
    case ImportOutcome::kBookFull:
      return book + " is full (it holds " + std::to_string(report.entriesBefore) +
             " entries, the device limit); nothing was imported";
    case ImportOutcome::kStopped:
      return stoppedSentence(report, book);
    case ImportOutcome::kNotStarted:
      return "the import failed: " +
             (report.log.fileNotOpened ? std::string("the upload file could not be opened")
                                       : book + " could not be opened") +
             " (import status 1)";
    case ImportOutcome::kLimitReached:
      return book + " would pass the device limit of " + std::to_string(kDeviceLimit) +
             " entries: it was full after " +
             plural(report.dataRecordsRead, "data record", "data records") + " of " +
             std::to_string(report.dataRecordsInFile) + ", so nothing was imported";
    case ImportOutcome::kNothingCreated:
      return "none of the " + plural(report.dataRecordsRead, "data record", "data records") +
             " of " + report.request.file + " became a contact, so nothing was imported" +
             report.hint;
    case ImportOutcome::kImported:
      break;
  }
  return "";
}

std::string limitSentence(const ImportReport& report) {
  int unread = report.dataRecordsInFile - report.dataRecordsRead;
  if (unread <= 0) return "";
  return "The address book reached the device limit of " + std::to_string(kDeviceLimit) +
         " entries: " + describeRecord(report.scan, report.log.parsedRecords + 1) + " and the " +
         plural(unread - 1, "record", "records") + " after it were not read";
}

std::string bookAfterSentence(const ImportReport& report, const std::string& book) {
  std::string after = plural(report.entriesAfter, "entry", "entries");
  if (report.request.dryRun) return book + " was not changed (it would hold " + after + ")";
  return book + " now holds " + after + " (it held " + std::to_string(report.entriesBefore) + ")";
}

std::vector<std::string> recordFindings(const ImportReport& report) {
  std::vector<std::string> findings;
  const ImportLog& log = report.log;
  bool dryRun = report.request.dryRun;
  std::set<int> numbers;
  for (const auto& refused : log.refused) numbers.insert(refused.first);
  for (const auto& doubt : log.doubts) numbers.insert(doubt.first);
  std::map<int, const SkippedRecord*> skipped;
  for (const SkippedRecord& duplicate : report.duplicates) skipped[duplicate.record] = &duplicate;
  for (int record = 2; record <= log.parsedRecords; ++record) {
    if (!log.wasCreated(record)) numbers.insert(record);
  }
  for (int record : numbers) {
    std::string where = describeRecord(report.scan, record);
    if (skipped.count(record) > 0) {
      findings.push_back(where + ": " + skippedText(*skipped[record], dryRun));
      continue;
    }
    bool created = log.wasCreated(record);
    if (!created) {
      auto refused = log.refused.find(record);
      RecordFinding reason =
          refused == log.refused.end() ? RecordFinding{Finding::kNoReason} : refused->second;
      findings.push_back(where + ": " + (dryRun ? "would not be created" : "not created") + ": " +
                         findingText(reason));
    }
    auto doubts = log.doubts.find(record);
    if (doubts == log.doubts.end()) continue;
    for (const RecordFinding& doubt : doubts->second) {
      const char* outcome = !created ? "also" : dryRun ? "would be created" : "created";
      findings.push_back(where + ": " + outcome + ", but " + findingText(doubt));
    }
  }
  return findings;
}

}  // namespace dabtool
