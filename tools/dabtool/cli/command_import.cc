// dabtool import: an uploaded CSV file into the address book, all or nothing.
#include <cstdio>
#include <optional>

#include "args.h"
#include "commands.h"
#include "file_io.h"
#include "import_book.h"
#include "import_findings.h"
#include "import_reading.h"
#include "progress_line.h"
#include "terminal_text.h"

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool import FILE [--delimiter Comma|Semicolon] [--dry-run] [--keep-partial]\n"
    "                           [--columns FIELD=COLUMN,...] [--positional] [--encoding NAME]\n"
    "                           [--report FILE] [--verbose] [--duplicates skip|keep]\n"
    "\n"
    "Imports FILE: a CSV file with a header row (the import's own columns first\n"
    "name, last name, display name, company, e-mail address and internet-fax\n"
    "address, the device's exports and templates, or another program's contact\n"
    "file, whose columns are found by their names) or a vCard file. Each\n"
    "contact becomes a new contact. What the library refused or doubted is\n"
    "summed up by kind, with the first few records of each. The import runs on\n"
    "a copy of the address book that replaces it only when the whole file was\n"
    "read, so a malformed field changes nothing. FILE itself is never changed.\n"
    "\n"
    "  --dry-run       show the format, the column mapping and the first five\n"
    "                  contacts, report what would be created and refused, and\n"
    "                  change nothing\n"
    "  --columns LIST  which column holds what, by name or number, e.g.\n"
    "                  \"display=Full Name,email=Work Email\"; fields: first,\n"
    "                  last, display, company, email, ifax (empty: none)\n"
    "  --positional    pass FILE as it is: its first six columns in the\n"
    "                  import's order\n"
    "  --encoding NAME read FILE as NAME (WINDOWS-1252, ISO-8859-15, ...); by\n"
    "                  default UTF-8 and UTF-16 are read and others detected\n"
    "  --delimiter D   Comma or Semicolon; by default ',' ';' or tab is found in\n"
    "                  the first row\n"
    "  --keep-partial  keep the contacts created before a malformed field, or\n"
    "                  the ones that fit when the book reaches the device limit\n"
    "  --report FILE   write every record's outcome to FILE, a CSV file\n"
    "  --verbose       list every refused or doubtful record here\n"
    "  --duplicates skip|keep  a record whose display name and e-mail address\n"
    "                  (A-Z in either case) the book or an earlier record already\n"
    "                  has is skipped and listed (default), or created anyway\n"
    "  --raw-delimiter TEXT  hand TEXT to the library unchecked (any name but\n"
    "                  Semicolon gives ',')\n"
    "\n"
    "Exit status: 0 every record became a contact, 3 some were refused,\n"
    "1 nothing was imported, 2 the command was mistyped.\n";

// How many records each kind of finding names before "and N more".
constexpr size_t kShownPerGroup = 3;

struct ImportOptions {
  bool verbose = false;
  std::string reportFile;  // "" without --report
};

void printFindings(const ImportReport& report, const ImportOptions& options) {
  if (options.verbose) {
    for (const std::string& finding : recordFindings(report)) printLine(stdout, "  " + finding);
    return;
  }
  bool cut = false;
  for (const FindingGroup& group : groupFindings(report)) {
    printLine(stdout, "  " + groupSentence(report, group, kShownPerGroup) + ".");
    cut = cut || group.records.size() > kShownPerGroup;
  }
  if (cut && options.reportFile.empty()) {
    printLine(stdout, "  (Every record: --verbose here, or --report FILE for a CSV file.)");
  }
}

void printPlacement(const Workspace& workspace, const ImportReport& report) {
  std::string line = "Placed " + report.request.file + " as " + workspace.shown(report.placedFile);
  for (const std::string& change : report.changes) line += "; " + change;
  printLine(stdout, line + (report.changes.empty() ? "" : " (the file itself is unchanged)") + ".");
  for (const std::string& warning : report.warnings) {
    printLine(stderr, "dabtool: warning: " + warning);
  }
  std::fflush(stdout);
}

// The report file, from the upload the library read.
void writeRecordReport(const Workspace& workspace, const ImportReport& report,
                       const std::string& file) {
  MappedFile upload(report.placedFile, workspace.shown(report.placedFile));
  writeFileAtomically(workspace.fromCaller(file), recordReportCsv(report, upload.view()), file);
  printLine(stdout, "Wrote the outcome of every record to " + file + ".");
}

int printReport(const Workspace& workspace, const ImportReport& report,
                const ImportOptions& options) {
  std::string book = workspace.shown(workspace.databasePath());
  printPlacement(workspace, report);
  printReading(report);
  printFindings(report, options);
  if (!options.reportFile.empty() && !report.scan.records.empty()) {
    writeRecordReport(workspace, report, options.reportFile);
  }
  if (!report.succeeded()) {
    std::fflush(stdout);
    std::string option = report.outcome == ImportOutcome::kLimitReached
                             ? "; --keep-partial imports the ones that fit"
                             : "";
    printLine(stderr, "dabtool: " + failureSentence(report, book) + option + ".");
    return kExitFailed;
  }
  printLine(stdout, summarySentence(report) + ".");
  std::string limit = limitSentence(report);
  if (!limit.empty()) printLine(stdout, limit + ".");
  printLine(stdout, bookAfterSentence(report, book) + ".");
  return report.failureCount > 0 ? kExitPartly : kExitOk;
}

}  // namespace

int runImport(const GlobalOptions& global, const Args& args) {
  std::vector<Option> options = delimiterOptions();
  options.push_back({"--dry-run", false});
  options.push_back({"--keep-partial", false});
  options.push_back({"--report", true});
  options.push_back({"--verbose", false});
  for (const Option& option : readingOptionList()) options.push_back(option);
  options.push_back({"--duplicates", true});
  std::optional<ParsedArgs> given =
      parseCommand({"import", args, options, kHelp, 1, "the FILE to import"});
  if (!given) return kExitOk;
  const ParsedArgs& parsed = *given;
  ImportRequest request;
  request.file = parsed.positional[0];
  request.delimiterName = delimiterName(parsed);
  request.dryRun = parsed.flag("--dry-run");
  request.keepPartial = parsed.flag("--keep-partial");
  request.reading = readingOptionsOf(parsed);
  request.keepDuplicates = keepDuplicates(parsed);
  if (request.dryRun && request.keepPartial) {
    throw UsageError("--dry-run changes nothing, so --keep-partial has nothing to keep");
  }
  ImportOptions shown{parsed.flag("--verbose"), parsed.value("--report", "")};
  Workspace workspace(global);
  ProgressLine progress("Importing");
  request.progress = [&progress](int done, int total) { progress.update(done, total); };
  ImportReport report = importFile(workspace, request);
  progress.finish();
  return printReport(workspace, report, shown);
}

}  // namespace dabtool
