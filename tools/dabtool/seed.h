// A realistic, reproducible address book to fill an empty database with.
#ifndef DABUTILS_TOOLS_DABTOOL_SEED_H_
#define DABUTILS_TOOLS_DABTOOL_SEED_H_

#include <string>
#include <vector>

#include "address_book.h"

namespace dabtool {

// The device holds at most this many entries, contacts and groups together.
constexpr int kDeviceLimit = 65000;

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

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_SEED_H_
