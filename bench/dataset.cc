// Seeded generation of the benchmark's address book.
#include "dataset.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "dabplatform.h"

namespace dabbench {

namespace {

// splitmix64: tiny, and unlike the standard distributions it yields the same
// sequence with every compiler and library.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
  bool percent(uint32_t p) { return below(100) < p; }
  template <size_t N>
  const char* pick(const char* const (&items)[N]) {
    return items[below(N)];
  }

 private:
  uint64_t state_;
};

const char* const kFirstNames[] = {
    "Anna",   "Jürgen", "Zoë",     "Łukasz",  "José",     "Søren",     "Ingrid",   "Mohammed",
    "Aiko",   "Chloé",  "Björn",   "Dmitrij", "Nguyễn",   "Ελένη",     "Σοφία",    "陽菜",
    "太郎",   "Olivia", "Noah",    "Amélie",  "François", "Óscar",     "Ümit",     "Żaneta",
    "Kim",    "Li",     "Priya",   "Rahul",   "Émile",    "Ana María", "Jean-Luc", "Mary Ann",
    "Ólafur", "Ærøn",   "Ιωάννης", "Peter"};

const char* const kLastNames[] = {
    "Müller", "Schmidt",      "O'Brien", "García López", "Nowak",     "Østergaard", "Dubois",
    "Rossi",  "Yamamoto",     "山田",    "Δημητρίου",    "Иванов",    "Kowalski",   "Smith",
    "Nguyen", "van der Berg", "Janssen", "Ferreira",     "Jørgensen", "Bergström",  "Lefèvre",
    "Öztürk", "D'Angelo",     "Kim",     "Patel",        "Wang",      "Fischer",    "Weiß"};

// Commas and double quotes on purpose: they are what the quoting is for.
const char* const kCompanies[] = {"Acme, Inc.",
                                  "Müller & Söhne GmbH",
                                  "\"Best\" Widgets, Ltd.",
                                  "Globex Corporation",
                                  "Initech",
                                  "Umbrella, S.A.",
                                  "Stark Industries",
                                  "株式会社サンプル",
                                  "Ωmega Systems, AE",
                                  "Société Générale d'Exemple",
                                  "Wayne Enterprises",
                                  "Hooli, Research \"X\" Lab",
                                  "Nordisk Data A/S",
                                  "Vandelay Industries",
                                  "Cyberdyne, Systems",
                                  "Tyrell Corp."};

const char* const kDomains[] = {"example.com", "example.org", "corp.example.net", "mail.example.de",
                                "example.co.jp"};

const char* const kGroupWords[] = {"Sales",      "Support",     "Engineering", "Finance", "Board",
                                   "Field Team", "Night Shift", "Vertrieb",    "Ventas",  "営業部"};

std::string asciiLogin(int index) {
  char login[32];
  snprintf(login, sizeof login, "user%05d", index);
  return login;
}

// Fax numbers, some with masked segments between slashes.
std::string faxNumber(Random& rng) {
  char number[64];
  switch (rng.below(4)) {
    case 0:
      snprintf(number, sizeof number, "+49 30 %07u", rng.below(10000000));
      break;
    case 1:
      snprintf(number, sizeof number, "+1 555 %07u/%04u/", rng.below(10000000), rng.below(10000));
      break;
    case 2:
      snprintf(number, sizeof number, "0%03u/%04u/%05u/%03u", rng.below(1000), rng.below(10000),
               rng.below(100000), rng.below(1000));
      break;
    default:
      snprintf(number, sizeof number, "9,%010u", rng.below(2000000000));  // A comma: quoted.
      break;
  }
  return number;
}

// Every protocol code 0..6 and every address form: host with and without a
// port, IPv4, bracketed IPv6 with and without a port, no address, and an
// address type the export treats as invalid.
void fillScan(Random& rng, int index, Entry* e) {
  e->scanTransferProtocol = static_cast<int32_t>(rng.below(7));
  char text[96];
  uint32_t form = rng.below(100);
  if (form < 30) {
    e->scanServerAddressType = 0;
    snprintf(text, sizeof text, "files%u.example.net:%u", rng.below(50), 1 + rng.below(65535));
  } else if (form < 45) {
    e->scanServerAddressType = 0;
    snprintf(text, sizeof text, "nas%u.example.net", rng.below(50));
  } else if (form < 70) {
    e->scanServerAddressType = 1;
    snprintf(text, sizeof text, "192.168.%u.%u:%u", rng.below(256), rng.below(256),
             rng.percent(50) ? 21 : 445);
  } else if (form < 85) {
    e->scanServerAddressType = 2;
    snprintf(text, sizeof text, "[fd00::%x:%x]:%u", rng.below(65536), rng.below(65536),
             rng.percent(50) ? 22 : 445);
  } else if (form < 95) {
    e->scanServerAddressType = 2;
    snprintf(text, sizeof text, "[2001:db8::%x]", rng.below(65536));
  } else if (form < 98) {
    e->scanServerAddressType = static_cast<int32_t>(rng.below(3));
    text[0] = '\0';
  } else {
    e->scanServerAddressType = 7;
    snprintf(text, sizeof text, "legacy%u.example.net:21", rng.below(10));
  }
  if (form >= 95 && form < 98) {
    e->scanServerAddress.reset();
  } else {
    e->scanServerAddress = text;
  }
  snprintf(text, sizeof text, "Scan %s #%d", rng.pick(kGroupWords), index % 1000);
  e->scanNickName = text;
  snprintf(text, sizeof text, "/scans/dept%02u/%s", rng.below(40), asciiLogin(index).c_str());
  e->scanDocumentPath = text;
  e->scanLoginName = "CORP\\" + asciiLogin(index);
  snprintf(text, sizeof text, e->scanTransferProtocol == 0 ? "VOL%u" : "share%u", rng.below(20));
  e->scanShareOrVolume = text;
  snprintf(text, sizeof text, "ou=dept%u.o=corp", rng.below(40));
  e->scanNdsContext = text;
  snprintf(text, sizeof text, "TREE%u", rng.below(4));
  e->scanNdsTree = text;
}

void fillCommon(Random& rng, int index, Entry* e) {
  char text[128];
  snprintf(text, sizeof text, "%s@%s", asciiLogin(index).c_str(), rng.pick(kDomains));
  e->email = text;
  snprintf(text, sizeof text, "fax.%s@ifax.%s", asciiLogin(index).c_str(), rng.pick(kDomains));
  e->internetFax = text;
  e->faxNumber = faxNumber(rng);
  e->emailFavorite = rng.percent(10);
  e->faxFavorite = rng.percent(10);
  e->scanFavorite = rng.percent(10);
  fillScan(rng, index, e);
}

Entry makeGroup(Random& rng, int index) {
  Entry e;
  static const int32_t kKinds[] = {DAB_DBI_FAX_GROUP, DAB_DBI_EMAIL_GROUP, 3, 5};
  e.dlType = kKinds[rng.below(4)];
  char name[96];
  snprintf(name, sizeof name, "%s %d", rng.pick(kGroupWords), index);
  e.displayName = name;
  e.firstName = "-";
  e.lastName = name;
  e.company = rng.pick(kCompanies);
  fillCommon(rng, index, &e);
  return e;
}

Entry makeIndividual(Random& rng, int index) {
  Entry e;
  e.firstName = rng.pick(kFirstNames);
  e.lastName = rng.pick(kLastNames);
  e.company = rng.pick(kCompanies);
  switch (rng.below(4)) {
    case 0:
    case 1:
      e.displayName = e.lastName + ", " + e.firstName;  // Quoted on the way out.
      break;
    case 2:
      e.displayName = e.firstName + " " + e.lastName;
      break;
    default:
      e.displayName = e.firstName + " \"" + e.lastName + "\" " + std::to_string(index);
      break;
  }
  if (rng.percent(8)) e.allFavoritesOrder = 1 + static_cast<int32_t>(rng.below(kDeviceLimit));
  fillCommon(rng, index, &e);
  return e;
}

void appendCsvValue(std::string* out, const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) {
    *out += value;
    return;
  }
  *out += '"';
  for (char c : value) {
    if (c == '"') *out += '"';
    *out += c;
  }
  *out += '"';
}

}  // namespace

Dataset generate(int total, uint64_t seed) {
  Random rng(seed);
  Dataset data;
  data.groupCount = static_cast<size_t>(std::min(total, std::max(1, total / 130)));
  data.entries.reserve(static_cast<size_t>(total));
  for (int i = 0; i < total; ++i) {
    bool group = static_cast<size_t>(i) < data.groupCount;
    data.entries.push_back(group ? makeGroup(rng, i) : makeIndividual(rng, i));
    Entry& e = data.entries.back();
    if (group || !rng.percent(33)) continue;
    size_t wanted = std::min<size_t>(1 + rng.below(5), data.groupCount);
    while (e.groups.size() < wanted) {
      int g = static_cast<int>(rng.below(static_cast<uint32_t>(data.groupCount)));
      if (std::find(e.groups.begin(), e.groups.end(), g) == e.groups.end()) e.groups.push_back(g);
    }
    data.memberships += e.groups.size();
  }
  return data;
}

bool writeDatabase(const Dataset& data, const std::string& databasePath, std::string* error) {
  dabplatform_set_database_path(databasePath.c_str());
  if (DAB_DBI_Connect() != 0) {
    *error = std::string("connect: ") + dabplatform_database_error();
    return false;
  }
  std::vector<int> ids;
  ids.reserve(data.entries.size());
  bool ok = true;
  for (const Entry& entry : data.entries) {
    dabtest::ContactRecord record(entry);
    int id = -1;
    if (DAB_DBI_CreateContact(record.get(), &id) != 0) {
      ok = false;
      break;
    }
    ids.push_back(id);
    for (int g : entry.groups) {
      if (dabplatform_add_membership(id, ids[static_cast<size_t>(g)]) != 0) {
        ok = false;
        break;
      }
    }
    if (!ok) break;
  }
  if (!ok) *error = dabplatform_database_error();
  if (DAB_DBI_Disconnect() != 0 && ok) {
    *error = std::string("disconnect: ") + dabplatform_database_error();
    ok = false;
  }
  return ok;
}

std::string uploadFile(const Dataset& data) {
  std::string out = "First Name,Last Name,Display Name,Company,E-mail Address,Internet Fax\r\n";
  out.reserve(data.entries.size() * 160);
  for (const Entry& e : data.entries) {
    const std::string* values[] = {&e.firstName, &e.lastName, &e.displayName,
                                   &e.company,   &e.email,    &e.internetFax};
    for (size_t i = 0; i < 6; ++i) {
      if (i > 0) out += ',';
      appendCsvValue(&out, *values[i]);
    }
    out += "\r\n";
  }
  return out;
}

ListBytes measureList(const DAB_DBI_Contact_t* first, int count) {
  ListBytes bytes;
  std::unordered_set<const void*> seen;
  auto record = [&](const void* p, size_t size) {
    if (p != nullptr && seen.insert(p).second) bytes.records += size;
  };
  auto text = [&](const char* s) {
    if (s != nullptr && seen.insert(s).second) bytes.texts += strlen(s) + 1;
  };
  for (int i = 0; i < count; ++i) {
    const DAB_DBI_Contact_t& c = first[i];
    ++bytes.entries;
    bytes.records += sizeof c;
    text(c.displayName);
    record(c.person, sizeof *c.person);
    text(c.person->firstName);
    text(c.person->lastName);
    text(c.person->company);
    record(c.email, sizeof *c.email);
    text(c.email->address);
    record(c.internetFax, sizeof *c.internetFax);
    text(c.internetFax->address);
    record(c.fax, sizeof *c.fax);
    text(c.fax->number);
    record(c.favorites, sizeof *c.favorites);
    record(c.scan, sizeof *c.scan);
    const DAB_DBI_Scan_t& s = *c.scan;
    for (const char* t : {s.nickName, s.serverAddress, s.documentPath, s.loginName, s.shareOrVolume,
                          s.ndsContext, s.ndsTree}) {
      text(t);
    }
  }
  return bytes;
}

}  // namespace dabbench
