// dabtool undo: the address book as it was before the last change.
#include <cstdio>
#include <optional>

#include "args.h"
#include "book_history.h"
#include "commands.h"
#include "terminal_text.h"
#include "text.h"

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool undo\n"
    "\n"
    "Puts back the address book as it was before the last change dabtool made\n"
    "to it (an import, a restore, a deletion or a seed) and says which change\n"
    "that was. Each change keeps the book as it was beside it; the last five\n"
    "are kept, so undo can be repeated up to five times.\n";

}  // namespace

int runUndo(const GlobalOptions& global, const Args& args) {
  std::optional<ParsedArgs> given = parseCommand({"undo", args, {}, kHelp, 0, ""});
  if (!given) return kExitOk;
  Workspace workspace(global);
  UndoResult result = undoLastChange(workspace);
  std::string book = workspace.shown(workspace.databasePath());
  std::string now = result.bookExists
                        ? book + " holds " + plural(result.entries, "entry", "entries") + " again"
                        : "there was no book before it, so " + book + " is gone";
  printLine(stdout, "Undid " + describeChange(result.undone) + "; " + now + ".");
  printLine(stdout, keptSentence(result.stillKept, result.diskBytes) + ".");
  return kExitOk;
}

}  // namespace dabtool
