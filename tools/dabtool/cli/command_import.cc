// dabtool import: an uploaded CSV file into the address book, all or nothing.
#include <cstdio>
#include <optional>

#include "args.h"
#include "commands.h"
#include "import_book.h"
#include "terminal_text.h"

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool import FILE [--delimiter Comma|Semicolon] [--dry-run] [--keep-partial]\n"
    "                           [--duplicates skip|keep]\n"
    "\n"
    "Imports FILE, a CSV file whose columns are first name, last name, display\n"
    "name, company, e-mail address and internet-fax address, after a header\n"
    "row. Each data row becomes a new contact; rows the library refuses are\n"
    "listed with their line and reason. The import runs on a copy of the\n"
    "address book that replaces it only when the whole file was read, so a\n"
    "malformed field changes nothing. FILE itself is never changed.\n"
    "\n"
    "  --dry-run       report what would be created and refused; change nothing\n"
    "  --keep-partial  keep the contacts created before a malformed field, or\n"
    "                  the ones that fit when the book reaches the device limit\n"
    "  --duplicates skip|keep  a record whose display name and e-mail address\n"
    "                  (A-Z in either case) the book or an earlier record already\n"
    "                  has is skipped and listed (default), or created anyway\n"
    "  --raw-delimiter TEXT  hand TEXT to the library unchecked (any name but\n"
    "                  Semicolon gives ',')\n";

void printFindings(const ImportReport& report) {
  for (const std::string& finding : recordFindings(report)) printLine(stdout, "  " + finding);
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

int printReport(const Workspace& workspace, const ImportReport& report) {
  std::string book = workspace.shown(workspace.databasePath());
  printPlacement(workspace, report);
  if (!report.succeeded()) {
    if (report.outcome == ImportOutcome::kStopped ||
        report.outcome == ImportOutcome::kNothingCreated) {
      printFindings(report);
    }
    std::fflush(stdout);
    std::string option = report.outcome == ImportOutcome::kLimitReached
                             ? "; --keep-partial imports the ones that fit"
                             : "";
    printLine(stderr, "dabtool: " + failureSentence(report, book) + option + ".");
    return kExitFailed;
  }
  printLine(stdout, summarySentence(report) + ".");
  printFindings(report);
  std::string limit = limitSentence(report);
  if (!limit.empty()) printLine(stdout, limit + ".");
  printLine(stdout, bookAfterSentence(report, book) + ".");
  return kExitOk;
}

}  // namespace

int runImport(const GlobalOptions& global, const Args& args) {
  std::vector<Option> options = delimiterOptions();
  options.push_back({"--dry-run", false});
  options.push_back({"--keep-partial", false});
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
  request.keepDuplicates = keepDuplicates(parsed);
  if (request.dryRun && request.keepPartial) {
    throw UsageError("--dry-run changes nothing, so --keep-partial has nothing to keep");
  }
  Workspace workspace(global);
  return printReport(workspace, importFile(workspace, request));
}

}  // namespace dabtool
