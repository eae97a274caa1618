// dabtool restore: a DAB export read back into the address book.
#include <cstdio>
#include <optional>

#include "args.h"
#include "commands.h"
#include "progress_line.h"
#include "restore_book.h"
#include "terminal_text.h"
#include "text.h"

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool restore FILE [--merge] [--duplicates skip|keep] [--verbose]\n"
    "\n"
    "Reads FILE, a DAB export (either delimiter), into an empty address book:\n"
    "contacts with names, company, fax number, e-mail and internet-fax\n"
    "addresses, scan destination and favourites; groups of every kind with\n"
    "their members. All or nothing: a row that breaks the format is named with\n"
    "its line and nothing is restored. What the export cannot carry is listed:\n"
    "fax-number segments between '/' signs and scan passwords.\n"
    "\n"
    "  --merge         add the file's entries beside what the book holds\n"
    "  --duplicates skip|keep  with --merge, an entry the book already holds\n"
    "                  (same display name and e-mail address, A-Z in either\n"
    "                  case) is skipped and listed (default), or created anyway\n"
    "  --verbose       list every skipped row and lost fax segment, not the\n"
    "                  first three of each\n";

}  // namespace

int runRestore(const GlobalOptions& global, const Args& args) {
  std::optional<ParsedArgs> given =
      parseCommand({"restore",
                    args,
                    {{"--merge", false}, {"--duplicates", true}, {"--verbose", false}},
                    kHelp,
                    1,
                    "the FILE to restore"});
  if (!given) return kExitOk;
  const ParsedArgs& parsed = *given;
  RestoreRequest request;
  request.file = parsed.positional[0];
  request.merge = parsed.flag("--merge");
  request.keepDuplicates = keepDuplicates(parsed);
  if (parsed.has("--duplicates") && !request.merge) {
    throw UsageError(
        "--duplicates applies to --merge: a restore without it goes into an empty book");
  }
  Workspace workspace(global);
  std::string book = workspace.shown(workspace.databasePath());
  ProgressLine progress("Restoring");
  request.progress = [&progress](int done, int total) { progress.update(done, total); };
  RestoreReport report = restoreFile(workspace, request);
  progress.finish();
  if (!report.succeeded()) {
    for (const RowProblem& problem : report.problems) {
      printLine(stdout, "  line " + std::to_string(problem.line) + ": " + problem.reason);
    }
    std::fflush(stdout);
    printLine(stderr, "dabtool: " + refusedSentence(report, book) + ".");
    return kExitFailed;
  }
  printLine(stdout, restoredSentence(report) + ".");
  size_t listed = parsed.flag("--verbose") ? kEveryRow : 3;
  for (const std::string& note : restoreNotes(report, listed)) printLine(stdout, "  " + note);
  printLine(stdout, book + " now holds " + plural(report.entriesAfter, "entry", "entries") +
                        " (it held " + std::to_string(report.entriesBefore) + ").");
  return kExitOk;
}

}  // namespace dabtool
