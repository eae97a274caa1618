// dabtool seed: fills the address book with made-up, reproducible entries.
#include <cstdio>
#include <optional>

#include "args.h"
#include "commands.h"
#include "seed.h"
#include "terminal_text.h"
#include "text.h"

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool seed [--contacts N] [--groups G] [--seed S]\n"
    "\n"
    "Adds N made-up contacts (default 200) and G fax and e-mail groups (default\n"
    "one per 25 contacts) to the address book: UTF-8 names, companies with\n"
    "commas, fax numbers with masked segments, e-mail and internet-fax\n"
    "addresses, scan destinations of every protocol, favourites and group\n"
    "memberships. The same S (default 1) always gives the same entries. The\n"
    "book holds at most 65000 entries; nothing is added if they would not fit.\n";

}  // namespace

int runSeed(const GlobalOptions& global, const Args& args) {
  std::optional<ParsedArgs> given = parseCommand(
      {"seed", args, {{"--contacts", true}, {"--groups", true}, {"--seed", true}}, kHelp, 0, ""});
  if (!given) return kExitOk;
  const ParsedArgs& parsed = *given;
  int contacts = static_cast<int>(parsed.number("--contacts", 200, 0, kDeviceLimit));
  int groups = static_cast<int>(parsed.number("--groups", -1, 0, kDeviceLimit));
  auto seed = static_cast<unsigned>(parsed.number("--seed", 1, 0, 4294967295L));
  Workspace workspace(global);
  SeedResult result = seedBook(workspace, contacts, groups, seed);
  printLine(stdout, "Added " + plural(result.contacts, "contact", "contacts") + " and " +
                        plural(result.groups, "group", "groups") + " (seed " +
                        std::to_string(seed) + ") to " + workspace.shown(workspace.databasePath()) +
                        "; it now holds " + plural(result.entriesAfter, "entry", "entries") + ".");
  return kExitOk;
}

}  // namespace dabtool
