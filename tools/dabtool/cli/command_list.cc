// dabtool list: the address book as a table.
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include "address_book.h"
#include "args.h"
#include "commands.h"
#include "database_copy.h"
#include "entry_text.h"
#include "errors.h"
#include "terminal_text.h"
#include "text.h"
#include "text_table.h"

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool list [--limit N]\n"
    "\n"
    "Shows the first N entries of the address book (default 50; 0 shows all)\n"
    "with their kind, e-mail, fax and scan destinations, favourite marks and\n"
    "group memberships.\n";

std::string joinIds(const std::vector<int>& ids) {
  std::string text;
  for (int id : ids) text += (text.empty() ? "" : ",") + std::to_string(id);
  return text;
}

std::string membershipCell(const BookEntry& entry, const std::map<int, int>& memberCounts) {
  std::string cell;
  if (entry.dlType != 0) {
    auto found = memberCounts.find(entry.id);
    int members = found == memberCounts.end() ? 0 : found->second;
    cell = std::to_string(members) + (members == 1 ? " member" : " members");
    if (!entry.groups.empty()) cell += "; in " + joinIds(entry.groups);
    return cell;
  }
  return joinIds(entry.groups);
}

}  // namespace

int runList(const GlobalOptions& global, const Args& args) {
  std::optional<ParsedArgs> given = parseCommand({"list", args, {{"--limit", true}}, kHelp, 0, ""});
  if (!given) return kExitOk;
  const ParsedArgs& parsed = *given;
  long limit = parsed.number("--limit", 50, 0, 1000000);
  Workspace workspace(global);
  std::string shownName = workspace.shown(workspace.databasePath());
  if (!std::filesystem::exists(workspace.databasePath())) {
    throw Failure("there is no address book at " + shownName +
                  " yet (dabtool seed or dabtool import makes one)");
  }
  checkDatabaseFile(workspace.databasePath(), shownName);
  std::vector<BookEntry> entries;
  {
    AddressBook book;
    entries = book.entries();
  }
  std::map<int, int> memberCounts;
  int groups = 0;
  for (const BookEntry& entry : entries) {
    for (int group : entry.groups) ++memberCounts[group];
    groups += entry.dlType != 0;
  }
  TextTable table(
      {"Id", "Kind", "Display name", "Company", "E-mail", "Fax", "Scan", "Favourite", "Member of"},
      {7, 14, 28, 22, 30, 22, 8, 16, 24});
  size_t shown = limit == 0 ? entries.size() : std::min(entries.size(), static_cast<size_t>(limit));
  for (size_t i = 0; i < shown; ++i) {
    const BookEntry& e = entries[i];
    table.addRow({std::to_string(e.id), kindName(e.dlType), e.displayName, e.company, e.email,
                  e.faxNumber, protocolName(e.scanProtocol), favoriteMarks(e),
                  membershipCell(e, memberCounts)});
  }
  if (!entries.empty()) table.print(stdout);
  int total = static_cast<int>(entries.size());
  std::string counted = plural(total, "entry", "entries");
  if (shown < entries.size()) counted = "Showing " + std::to_string(shown) + " of " + counted;
  printLine(stdout, counted + " in " + shownName + " (" +
                        plural(total - groups, "contact", "contacts") + ", " +
                        plural(groups, "group", "groups") + ")" +
                        (shown < entries.size() ? "; --limit 0 shows all." : "."));
  return kExitOk;
}

}  // namespace dabtool
