// A realistic, reproducible address book to fill an empty database with.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_SEED_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_SEED_H_

#include <string>
#include <vector>

#include "address_book.h"
#include "library_facts.h"
#include "workspace.h"

namespace dabtool {

struct SeedGroup {
  NewEntry entry;
  std::vector<int> members;  // indexes into SeedPlan::contacts
};

struct SeedPlan {
  std::vector<NewEntry> contacts;
  std::vector<SeedGroup> groups;
};

// `contacts` individuals and `groups` fax and e-mail groups: UTF-8 names,
// companies with commas, fax numbers with masked segments, e-mail and
// internet-fax addresses, scan destinations of every protocol and address
// form, favourites. The same arguments always give the same plan.
SeedPlan makeSeedPlan(int contacts, int groups, unsigned seed);

// Creates the plan's entries and memberships. Throws Failure.
void writeSeedPlan(AddressBook& book, const SeedPlan& plan);

struct SeedResult {
  int contacts = 0;
  int groups = 0;
  int entriesAfter = 0;
};

// Adds `contacts` contacts and `groups` groups (-1: one per 25 contacts, as
// many as fit) on a scratch copy and saves it. Throws Failure, and the book
// is then unchanged.
SeedResult seedBook(const Workspace& workspace, int contacts, int groups, unsigned seed);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_SEED_H_
