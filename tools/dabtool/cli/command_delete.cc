// dabtool delete: entries out of the address book, with their memberships.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "args.h"
#include "commands.h"
#include "delete_entries.h"
#include "entry_text.h"
#include "terminal_text.h"
#include "text.h"

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool delete ID... | --match TEXT | --all  [--yes]\n"
    "\n"
    "Deletes the entries with the given ids, the entries the console's search\n"
    "finds for TEXT (names, company, addresses, fax number, scan nickname or\n"
    "id; A-Z in either case), or every entry. A contact leaves its groups; a\n"
    "group's members stay, without that membership. On a terminal it lists what\n"
    "goes and asks first; --yes does not ask (needed when not on a terminal).\n"
    "dabtool undo takes the deletion back.\n";

// How many entries the question lists before it only counts the rest.
constexpr size_t kListed = 10;

DeleteSelection selectionOf(const ParsedArgs& parsed) {
  DeleteSelection selection;
  selection.all = parsed.flag("--all");
  selection.match = parsed.value("--match", "");
  int ways = (selection.all ? 1 : 0) + (parsed.has("--match") ? 1 : 0) +
             (parsed.positional.empty() ? 0 : 1);
  if (ways != 1) throw UsageError("delete takes ids, --match TEXT or --all: exactly one of them");
  if (parsed.has("--match") && selection.match.empty()) {
    throw UsageError("--match needs a text; --all deletes every entry");
  }
  for (const std::string& typed : parsed.positional) {
    std::optional<long> id = parseWholeNumber(typed, 1, 2147483647L);
    if (!id) throw UsageError("'" + typed + "' is not an entry id (a whole number from 1)");
    selection.ids.push_back(static_cast<int>(*id));
  }
  return selection;
}

bool confirmed(const std::vector<BookEntry>& entries) {
  for (size_t i = 0; i < entries.size() && i < kListed; ++i) {
    const BookEntry& entry = entries[i];
    printLine(stdout, "  " + std::to_string(entry.id) + "  " + kindName(entry.dlType) + "  " +
                          entry.displayName);
  }
  if (entries.size() > kListed) {
    printLine(stdout, "  and " + std::to_string(entries.size() - kListed) + " more");
  }
  std::fputs(terminalText("Delete " + deletedText(entries) + "? [y/N] ").c_str(), stdout);
  std::fflush(stdout);
  std::string answer;
  std::getline(std::cin, answer);
  return answer == "y" || answer == "Y" || answer == "yes";
}

}  // namespace

int runDelete(const GlobalOptions& global, const Args& args) {
  ParsedArgs parsed =
      parseArgs("delete", args, {{"--match", true}, {"--all", false}, {"--yes", false}});
  if (parsed.help) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  DeleteSelection selection = selectionOf(parsed);
  bool ask = !parsed.flag("--yes");
  if (ask && ::isatty(STDIN_FILENO) == 0) {
    throw UsageError("delete asks before it deletes and there is no terminal to ask on: add --yes");
  }
  Workspace workspace(global);
  if (ask && !confirmed(selectEntries(workspace, selection))) {
    printLine(stdout, "Nothing was deleted.");
    return kExitOk;
  }
  DeleteResult result = deleteEntries(workspace, selection);
  printLine(stdout, "Deleted " + deletedText(result.deleted) + ", with " +
                        plural(result.memberships, "membership", "memberships") + "; " +
                        workspace.shown(workspace.databasePath()) + " now holds " +
                        plural(result.entriesAfter, "entry", "entries") +
                        " (dabtool undo takes it back).");
  return kExitOk;
}

}  // namespace dabtool
