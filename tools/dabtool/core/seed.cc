#include "seed.h"

#include <algorithm>
#include <random>

#include "book_history.h"
#include "errors.h"
#include "text.h"

namespace dabtool {

namespace {

// A name as people write it and an ASCII form for addresses.
struct Name {
  const char* text;
  const char* ascii;
};

const Name kFirstNames[] = {
    {"Anna", "anna"},       {"Zoë", "zoe"},           {"Søren", "soren"},
    {"José", "jose"},       {"Łukasz", "lukasz"},     {"Ingrid", "ingrid"},
    {"Mårten", "marten"},   {"Chloé", "chloe"},       {"Dmitrij", "dmitrij"},
    {"Aiko", "aiko"},       {"François", "francois"}, {"Björn", "bjorn"},
    {"Noémie", "noemie"},   {"Jürgen", "jurgen"},     {"Ana María", "anamaria"},
    {"Siobhán", "siobhan"}, {"Çağla", "cagla"},       {"Đorđe", "djordje"},
    {"Νίκος", "nikos"},     {"Ольга", "olga"},        {"娜", "na"},
    {"Renée", "renee"},     {"Tom", "tom"},           {"Priya", "priya"},
    {"Kwame", "kwame"},     {"Mei", "mei"},           {"Oliver", "oliver"},
    {"Fatima", "fatima"},
};

const Name kLastNames[] = {
    {"Müller", "mueller"},      {"O'Brien", "obrien"},
    {"García", "garcia"},       {"Nørgaard", "norgaard"},
    {"Kowalski", "kowalski"},   {"Dubois", "dubois"},
    {"Smith", "smith"},         {"Yamada", "yamada"},
    {"Åkesson", "akesson"},     {"van der Berg", "vdberg"},
    {"Şahin", "sahin"},         {"Papadopoulos", "papa"},
    {"Иванова", "ivanova"},     {"李", "li"},
    {"de la Cruz", "delacruz"}, {"Lefèvre", "lefevre"},
    {"Schröder", "schroeder"},  {"Nakamura", "nakamura"},
    {"Okafor", "okafor"},       {"Brown", "brown"},
};

const char* const kCompanies[] = {
    "",
    "Smith, Jones & Partners",
    "Müller GmbH",
    "\"Best\" Supplies, Inc.",
    "Nørd Tech ApS",
    "Dubois et Fils, SARL",
    "Acme Corp",
    "Yamada Trading Co., Ltd.",
    "Åkesson & Söner AB",
    "Riverside Clinic",
    "City of Springfield, Dept. of Parks",
};

const char* const kDomains[] = {"example.com", "example.org", "example.net"};

const char* const kGroupNames[] = {
    "Sales", "Support team",      "Führungskreis", "Équipe Paris", "Night shift",
    "Board", "Accounts, payable", "Warehouse",     "Ærø office",   "Projects",
};

class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}
  // Uniform enough for made-up data, and the same on every standard library
  // (the distributions of <random> are not).
  int below(int n) { return static_cast<int>(engine_() % static_cast<unsigned>(n)); }
  bool percent(int p) { return below(100) < p; }
  template <typename T, size_t N>
  const T& pick(const T (&items)[N]) {
    return items[below(static_cast<int>(N))];
  }

 private:
  std::mt19937 engine_;
};

std::string displayNameFor(Random& random, const Name& first, const Name& last) {
  switch (random.below(5)) {
    case 0:
      return std::string(last.text) + ", " + first.text;
    case 1:
      return std::string(first.text) + " \"" + first.ascii + "\" " + last.text;
    default:
      return std::string(first.text) + " " + last.text;
  }
}

std::string faxNumberFor(Random& random) {
  std::string number =
      std::to_string(200 + random.below(800)) + " 555 " + std::to_string(1000 + random.below(9000));
  switch (random.below(4)) {
    case 0:  // an access code the export masks
      return "0/" + std::to_string(1000 + random.below(9000)) + "/+1 " + number;
    case 1:  // a masked account code after the number
      return "+1 " + number + "/" + std::to_string(10000 + random.below(90000)) + "/";
    case 2:  // pauses written as commas
      return "9,,+1 " + number;
    default:
      return "+1 " + number;
  }
}

// Every database protocol code 0 to 6 and every address form: host:port,
// bare IPv4, bracketed IPv6 with and without a port, and no address at all.
NewScan scanFor(Random& random, int serial, const std::string& login) {
  NewScan scan;
  scan.transferProtocol = serial % 7;
  scan.nickName = "Scans " + std::to_string(serial);
  scan.documentPath = "/scans/" + login;
  scan.loginName = login;
  switch (serial % 5) {
    case 0:
      scan.serverAddressType = 0;
      scan.serverAddress = "files" + std::to_string(serial % 9) + ".example.com:21";
      break;
    case 1:
      scan.serverAddressType = 1;
      scan.serverAddress = "192.0.2." + std::to_string(1 + serial % 250);
      break;
    case 2:
      scan.serverAddressType = 2;
      scan.serverAddress = "[2001:db8::" + std::to_string(1 + serial % 99) + "]:2121";
      break;
    case 3:
      scan.serverAddressType = 2;
      scan.serverAddress = "[2001:db8::" + std::to_string(1 + serial % 99) + "]";
      break;
    default:
      scan.serverAddressType = 0;
      scan.hasServerAddress = false;
      break;
  }
  if (scan.transferProtocol == 2) scan.shareOrVolume = "Scans, shared";
  if (scan.transferProtocol == 0) {
    scan.shareOrVolume = "VOL1";
    scan.ndsTree = "CORP-TREE";
    scan.ndsContext = "ou=staff.o=example";
  }
  scan.favorite = random.percent(20);
  return scan;
}

NewEntry contactFor(Random& random, int serial, int& nextFavorite) {
  const Name& first = random.pick(kFirstNames);
  const Name& last = random.pick(kLastNames);
  NewEntry entry;
  entry.firstName = first.text;
  entry.lastName = last.text;
  entry.displayName = displayNameFor(random, first, last);
  entry.company = random.pick(kCompanies);
  std::string login = std::string(first.ascii) + "." + last.ascii + std::to_string(serial);
  std::string domain = random.pick(kDomains);
  if (!random.percent(15)) entry.email = login + "@" + domain;
  if (random.percent(30)) entry.internetFax = "fax." + login + "@ifax." + domain;
  if (random.percent(55)) entry.faxNumber = faxNumberFor(random);
  if (random.percent(40)) {
    entry.hasScan = true;
    entry.scan = scanFor(random, serial, login);
  }
  entry.emailFavorite = !entry.email.empty() && random.percent(15);
  entry.faxFavorite = !entry.faxNumber.empty() && random.percent(15);
  if (random.percent(8)) entry.favoritesOrder = nextFavorite++;
  return entry;
}

SeedGroup groupFor(Random& random, int serial, int contacts) {
  SeedGroup group;
  bool fax = serial % 2 == 0;
  group.entry.dlType = fax ? 1 : 2;
  group.entry.displayName = std::string(random.pick(kGroupNames)) + (fax ? " fax " : " mail ") +
                            std::to_string(serial + 1);
  group.entry.faxFavorite = fax && random.percent(30);
  group.entry.emailFavorite = !fax && random.percent(30);
  int wanted = contacts == 0 ? 0 : 2 + random.below(11);
  for (int i = 0; i < wanted; ++i) {
    int member = random.below(contacts);
    bool already = false;
    for (int existing : group.members) already = already || existing == member;
    if (!already) group.members.push_back(member);
  }
  return group;
}

}  // namespace

SeedPlan makeSeedPlan(int contacts, int groups, unsigned seed) {
  Random random(seed);
  SeedPlan plan;
  plan.contacts.reserve(static_cast<size_t>(contacts));
  int nextFavorite = 1;
  for (int i = 0; i < contacts; ++i)
    plan.contacts.push_back(contactFor(random, i + 1, nextFavorite));
  for (int i = 0; i < groups; ++i) plan.groups.push_back(groupFor(random, i, contacts));
  return plan;
}

void writeSeedPlan(AddressBook& book, const SeedPlan& plan) {
  std::vector<int> ids;
  ids.reserve(plan.contacts.size());
  for (const NewEntry& contact : plan.contacts) ids.push_back(book.create(contact));
  for (const SeedGroup& group : plan.groups) {
    int groupId = book.create(group.entry);
    for (int member : group.members) book.addMembership(ids[static_cast<size_t>(member)], groupId);
  }
}

SeedResult seedBook(const Workspace& workspace, int contacts, int groups, unsigned seed) {
  SeedResult result;
  changeBook(workspace, [&](const std::string& shownName) {
    AddressBook book;
    int existing = book.count();
    int room = kDeviceLimit - existing;
    if (groups < 0) groups = std::max(0, std::min(contacts / 25, room - contacts));
    if (contacts + groups > room) {
      throw Failure(shownName + " holds " + std::to_string(existing) + " entries; " +
                    std::to_string(contacts) + " contacts and " + std::to_string(groups) +
                    " groups more would pass the device limit of " + std::to_string(kDeviceLimit) +
                    " entries");
    }
    writeSeedPlan(book, makeSeedPlan(contacts, groups, seed));
    book.close();
    result.contacts = contacts;
    result.groups = groups;
    result.entriesAfter = countEntries();
    if (result.entriesAfter != existing + contacts + groups) {
      throw Failure("the address book did not keep every entry it was given; " + shownName +
                    " is unchanged");
    }
    return BookChange{"the seed", plural(contacts, "contact", "contacts") + " and " +
                                      plural(groups, "group", "groups")};
  });
  return result;
}

}  // namespace dabtool
