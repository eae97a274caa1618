// The stand-in platform: the SQLite contact database (what goes in comes
// out, survives reconnecting, and every misuse gets a status), the path
// service, logging, the UTF-8 helper and the audit log.
#include <sqlite3.h>
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "audit_log.h"
#include "contact_db.h"
#include "contact_record.h"
#include "dabplatform.h"
#include "gtest/gtest.h"
#include "logging.h"
#include "path_service.h"
#include "temp_data_root.h"
#include "utf8_text.h"

namespace dabtest {
namespace {

namespace fs = std::filesystem;

// A fresh data root; the audit log's records read back.
class StandinTest : public ::testing::Test {
 protected:
  using Records = std::vector<std::pair<std::string, std::string>>;
  static void collect(void* context, const char* at, const char* event) {
    static_cast<Records*>(context)->emplace_back(at, event);
  }
  Records read(int limit) {
    Records records;
    EXPECT_EQ(0, dabplatform_audit_records(&StandinTest::collect, &records, limit))
        << dabplatform_database_error();
    return records;
  }
  TempDataRoot root_;
};
using PathServiceTest = StandinTest;
using AuditLogTest = StandinTest;

TEST_F(PathServiceTest, AnswersOnlyItsKey) {
  EXPECT_EQ(root_.path(), xpaths_get_path("nc_dlms_data"));
  for (const char* key : {"nc_dlms", "NC_DLMS_DATA", ""}) EXPECT_EQ(nullptr, xpaths_get_path(key));
  EXPECT_EQ(nullptr, xpaths_get_path(nullptr));
}

TEST_F(PathServiceTest, RefusesWhatIsNotAFileBelowTheRoot) {
  fs::create_directories(root_.file("http/data"));
  std::ofstream(root_.file("inside.txt")) << "x";
  std::string absolute = root_.file("inside.txt");
  // Whoever can write the data folder could point a fixed name anywhere.
  fs::create_symlink(absolute, root_.file("http/data/ExportedAddressBook.csv"));
  fs::create_symlink(absolute, root_.file("http/data/addressbook.txt"));
  // Absolute (even below the root), beside the root, empty, missing (reading
  // never creates), a directory, a link at the final name (never followed).
  // clang-format off
  const std::pair<std::string, const char*> cases[] = {
      {absolute, "r"}, {"../escaped.csv", "w"}, {"http/../../escaped.csv", "w"}, {"", "r"},
      {"http/data/missing.txt", "r"}, {"http/data", "r"}, {"http/data/ExportedAddressBook.csv", "w"},
      {"http/data/addressbook.txt", "r"}};
  // clang-format on
  const char* dir = xpaths_get_path("nc_dlms_data");
  for (const auto& [name, mode] : cases) {
    FILE* file = xpaths_open_file(dir, name.c_str(), mode);
    EXPECT_EQ(nullptr, file) << name;
    if (file != nullptr) fclose(file);
  }
  EXPECT_FALSE(fs::exists(fs::path(root_.path()).parent_path() / "escaped.csv"));
  EXPECT_FALSE(fs::exists(root_.file("http/data/missing.txt")));
  EXPECT_EQ(testutil::readAll(absolute), "x");
}

using Heard = std::tuple<int, std::string, int, std::string>;  // Level, source, line, message.

class LoggingTest : public ::testing::Test {
 protected:
  LoggingTest() : stream_(tmpfile()) { dabplatform_set_log_stream(stream_); }
  ~LoggingTest() override {
    dabplatform_set_log_threshold(DABPLATFORM_LOG_ERROR);
    dabplatform_set_log_stream(nullptr);
    dabplatform_set_log_listener(nullptr, nullptr, DABPLATFORM_LOG_OFF);
    fclose(stream_);
  }

  std::string streamText() {
    fflush(stream_);
    rewind(stream_);
    std::string text;
    for (int c; (c = fgetc(stream_)) != EOF;) text += static_cast<char>(c);
    return text;
  }

  // Formats the call as a listener that wants the line would.
  static int listen(void* context, int level, const char* source, int line, const char* format,
                    va_list args) {
    char message[256];
    vsnprintf(message, sizeof message, format, args);
    static_cast<std::vector<Heard>*>(context)->emplace_back(level, source, line, message);
    return 0;
  }

  FILE* stream_;
  std::vector<Heard> heard_;
};

// A line that goes nowhere is not formatted at all: "%n" would store the
// number of characters written so far.
TEST_F(LoggingTest, ThresholdDropsLinesFromTheStreamButNotFromTheListener) {
  dabplatform_set_log_threshold(DABPLATFORM_LOG_ERROR);
  dabplatform_set_log_listener(&LoggingTest::listen, &heard_, DABPLATFORM_LOG_DEBUG);
  int written = -1;
  Log_SpecEntry(logSpecInfo, "unit/a", 1, "below both%n", &written);
  Log_SpecEntry(logSpecDebug, "unit/b", 2, "listener only %s", "x");
  Log_SpecEntry(logSpecError, "unit/c", 3, "both %d%%", 50);
  Log_SpecEntry(logSpecForceInfo, "unit/d", 4, "forced");
  EXPECT_EQ((std::vector<Heard>{{DABPLATFORM_LOG_DEBUG, "unit/b", 2, "listener only x"},
                                {DABPLATFORM_LOG_ERROR, "unit/c", 3, "both 50%"},
                                {DABPLATFORM_LOG_FORCEINFO, "unit/d", 4, "forced"}}),
            heard_);
  const std::string kStream = "ERROR     unit/c:3 both 50%\nFORCEINFO unit/d:4 forced\n";
  EXPECT_EQ(kStream, streamText());

  dabplatform_set_log_threshold(DABPLATFORM_LOG_OFF);
  dabplatform_set_log_listener(nullptr, nullptr, DABPLATFORM_LOG_LIBENTER);
  Log_SpecEntry(logSpecForceInfo, "unit/e", 5, "nowhere%n", &written);
  EXPECT_EQ(-1, written);
  EXPECT_EQ(3u, heard_.size());
  EXPECT_EQ(kStream, streamText());
  dabplatform_set_log_threshold(DABPLATFORM_LOG_DEBUG);
  Log_SpecEntry(logSpecDebug, "unit/f", 6, "abc%n", &written);
  EXPECT_EQ(3, written);
}

// The listener gets the caller's own literal, so it can tell lines apart by
// pointer; a literal it mutes is not handed over again, and nothing of it is
// formatted, until the listener is set anew.
TEST_F(LoggingTest, AListenerSeesLiteralsAndMutesTheOnesItDoesNotWant) {
  struct Seen {
    std::vector<const char*> formats;
    const char* mute = nullptr;
  } seen;
  auto listener = [](void* context, int, const char*, int, const char* format, va_list) {
    auto* s = static_cast<Seen*>(context);
    s->formats.push_back(format);
    return format == s->mute ? DABPLATFORM_LOG_MUTE : 0;
  };
  static const char kNoisy[] = "noisy %n";
  static const char kWanted[] = "wanted";
  seen.mute = kNoisy;
  dabplatform_set_log_threshold(DABPLATFORM_LOG_ERROR);
  dabplatform_set_log_listener(listener, &seen, DABPLATFORM_LOG_DEBUG);
  int written = -1;
  for (int i = 0; i < 3; ++i) {
    Log_SpecEntry(logSpecDebug, "unit/a", 1, kNoisy, &written);
    Log_SpecEntry(logSpecDebug, "unit/a", 2, kWanted);
  }
  EXPECT_EQ((std::vector<const char*>{kNoisy, kWanted, kWanted, kWanted}), seen.formats);
  EXPECT_EQ(-1, written);

  // A muted literal the threshold lets through still reaches the stream.
  dabplatform_set_log_threshold(DABPLATFORM_LOG_DEBUG);
  Log_SpecEntry(logSpecDebug, "unit/b", 3, kNoisy, &written);
  EXPECT_EQ(4u, seen.formats.size());
  EXPECT_EQ("DEBUG     unit/b:3 noisy \n", streamText());

  // Setting the listener again forgets what was muted.
  seen.mute = nullptr;
  dabplatform_set_log_threshold(DABPLATFORM_LOG_ERROR);
  dabplatform_set_log_listener(listener, &seen, DABPLATFORM_LOG_DEBUG);
  Log_SpecEntry(logSpecDebug, "unit/c", 4, kNoisy, &written);
  EXPECT_EQ(5u, seen.formats.size());
}

TEST_F(LoggingTest, LongMessagesArriveWhole) {
  dabplatform_set_log_threshold(DABPLATFORM_LOG_LIBENTER);
  std::string name(3000, 'n');
  Log_SpecEntry(logSpecLibEnter, "genlib/dabUtils/src/DABImport", 120, "Contact Added %s!",
                name.c_str());
  EXPECT_EQ("ENTER     genlib/dabUtils/src/DABImport:120 Contact Added " + name + "!\n",
            streamText());
}

// The other levels' names are in the stream lines above.
TEST(LogLevelNameTest, NamesInfoAndMarksOthers) {
  std::pair<int, const char*> names[] = {
      {DABPLATFORM_LOG_INFO, "INFO"}, {0, "?"}, {DABPLATFORM_LOG_OFF, "?"}};
  for (auto [level, name] : names) EXPECT_STREQ(name, dabplatform_log_level_name(level)) << level;
}

TEST(Utf8StrlenTest, CountsCharactersNotBytes) {
  // Characters of two, three and four bytes; stray continuation bytes count as nothing.
  // clang-format off
  std::pair<const char*, int> cases[] = {
      {"", 0}, {"plain ASCII", 11}, {"\xC3\xA9t\xC3\xA9", 3}, {"\xE2\x82\xAC 5", 3},
      {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 2}, {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 4},
      {"\x80\x80", 0}};
  // clang-format on
  for (auto [text, characters] : cases) EXPECT_EQ(characters, UTF8_strlen(text)) << text;
}

TEST_F(AuditLogTest, ExportsAreRecordedAndReadNewestFirst) {
  EXPECT_EQ(Records{}, read(0));  // No database file yet.
  for (int i = 0; i < 3; ++i) ASSERT_EQ(0, adlog_addressbook_export());

  Records all = read(0);
  ASSERT_EQ(3u, all.size());
  const std::regex isoUtc(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
  for (const auto& [at, event] : all) {
    EXPECT_TRUE(std::regex_match(at, isoUtc)) << at;
    EXPECT_EQ("address book exported", event);
  }
  EXPECT_GE(all[0].first, all[2].first);
  EXPECT_EQ(2u, read(2).size());
}

// --- The contact database ---------------------------------------------------------

// A second connection to the same file, as another process would open it.
class RawDb {
 public:
  explicit RawDb(const std::string& path) {
    EXPECT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db_)) << path;
    sqlite3_busy_timeout(db_, 5000);
  }
  ~RawDb() { sqlite3_close(db_); }
  RawDb(const RawDb&) = delete;
  RawDb& operator=(const RawDb&) = delete;

  void exec(const char* sql) {
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db_, sql, nullptr, nullptr, nullptr)) << sqlite3_errmsg(db_);
  }
  int64_t integer(const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    int64_t value = -1;
    EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr)) << sqlite3_errmsg(db_);
    if (sqlite3_step(stmt) == SQLITE_ROW) value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
  }

 private:
  sqlite3* db_ = nullptr;
};

// A list entry's values, with a failure for each text or sub-record missing.
ContactValues readContact(const DAB_DBI_Contact_t& c) {
  ContactValues e;
  auto text = [](const char* s, const char* field) {
    if (s == nullptr) ADD_FAILURE() << field << " is NULL";
    return s != nullptr ? s : "";
  };
  e.id = c.id, e.dlType = c.dlType, e.displayName = text(c.displayName, "displayName");
  if (!c.person || !c.email || !c.internetFax || !c.scan || !c.fax || !c.favorites) {
    ADD_FAILURE() << "entry " << c.id << " lacks a sub-record";
    return e;
  }
  e.firstName = text(c.person->firstName, "firstName");
  e.lastName = text(c.person->lastName, "lastName"), e.company = text(c.person->company, "company");
  e.email = text(c.email->address, "email"), e.emailFavorite = c.email->isFavorite;
  e.internetFax = text(c.internetFax->address, "internetFax");
  e.faxNumber = text(c.fax->number, "faxNumber"), e.faxFavorite = c.fax->isFavorite;
  e.allFavoritesOrder = c.favorites->allFavoritesOrder;
  const DAB_DBI_Scan_t& s = *c.scan;
  e.scanNickName = text(s.nickName, "nickName"), e.scanFavorite = s.isFavorite;
  if (s.serverAddress != nullptr) e.scanServerAddress = s.serverAddress;
  e.scanServerAddressType = s.serverAddressType, e.scanTransferProtocol = s.transferProtocol;
  e.scanDocumentPath = text(s.documentPath, "documentPath");
  e.scanLoginName = text(s.loginName, "loginName");
  e.scanShareOrVolume = text(s.shareOrVolume, "shareOrVolume");
  e.scanNdsContext = text(s.ndsContext, "ndsContext"), e.scanNdsTree = text(s.ndsTree, "ndsTree");
  return e;
}

// A list header as the export allocates it; DAB_DBI_Free_ContactList frees it.
DAB_DBI_ContactList_t* newList() {
  return static_cast<DAB_DBI_ContactList_t*>(calloc(1, sizeof(DAB_DBI_ContactList_t)));
}

class ContactDbTest : public StandinTest {
 protected:
  ContactDbTest() { EXPECT_EQ(0, DAB_DBI_Connect()); }

  int32_t create(const ContactValues& entry) {
    ContactRecord record(entry);
    int newId = -1;
    EXPECT_EQ(0, DAB_DBI_CreateContact(record.get(), &newId)) << dabplatform_database_error();
    return newId;
  }

  int32_t createNamed(const std::string& name, int32_t dlType = DAB_DBI_INDIVIDUAL) {
    ContactValues entry;
    entry.displayName = name;
    entry.dlType = dlType;
    return create(entry);
  }

  // Count, fetch and copy the whole list the way an export does.
  std::vector<ContactValues> fetchAll() {
    int count = 0;
    EXPECT_EQ(0, DAB_DBI_GetContactsCount(&count, 0));
    DAB_DBI_ContactList_t* list = newList();
    std::vector<ContactValues> entries;
    EXPECT_EQ(0, DAB_DBI_GetContactList(list, 0, 0)) << dabplatform_database_error();
    for (int i = 0; i < count && list->contacts != nullptr; ++i) {
      entries.push_back(readContact(list->contacts[i]));
    }
    EXPECT_EQ(0, DAB_DBI_Free_ContactList(list));
    EXPECT_EQ(static_cast<size_t>(count), entries.size());
    return entries;
  }

  std::vector<int32_t> groupsOf(int32_t contactId) {
    DAB_DBI_GroupIds_t ids{-7, nullptr};
    EXPECT_EQ(0, DAB_DBI_GetAllGroupIds(&ids, contactId, 1));
    if (ids.count <= 0) return {};
    EXPECT_NE(nullptr, ids.ids) << contactId;
    return ids.ids ? std::vector<int32_t>(ids.ids, ids.ids + ids.count) : std::vector<int32_t>{};
  }

  void reconnect() {
    EXPECT_EQ(0, DAB_DBI_Disconnect());
    EXPECT_EQ(0, DAB_DBI_Connect());
  }
};

ContactValues fullIndividual() {
  ContactValues e;
  e.displayName = "Zoë Ångström 東京", e.firstName = "Zoë", e.lastName = "Ångström";
  e.company = "Société Générale 🚀", e.email = "zoe@example.org", e.emailFavorite = 1;
  e.internetFax = "fax@example.org", e.faxNumber = "+49/123/4567", e.faxFavorite = 1;
  e.allFavoritesOrder = 12, e.scanNickName = "Büro-Scan", e.scanServerAddress = "192.168.1.10:21";
  e.scanServerAddressType = 1, e.scanDocumentPath = "/scans/ü", e.scanLoginName = "zoë";
  e.scanTransferProtocol = 2, e.scanShareOrVolume = "share$", e.scanNdsContext = "ou=a";
  e.scanNdsTree = "TREE", e.scanFavorite = 1;
  return e;
}

// Every field of every kind, then a list large enough for the big blocks of
// its arena, with texts of every length up to far beyond a block, comes back
// whole (and, in the sanitizer build, with every record on its alignment).
TEST_F(ContactDbTest, EveryFieldOfEveryKindAndLargeListsComeBackWhole) {
  auto entry = [](const char* name, int32_t dlType) {
    ContactValues e;
    e.displayName = name, e.dlType = dlType;
    return e;
  };
  std::vector<ContactValues> entries = {
      fullIndividual(), entry("No server", 0), entry("Fax group", DAB_DBI_FAX_GROUP),
      entry("Mail group", DAB_DBI_EMAIL_GROUP), entry("Other group", 7)};
  // An individual without a server but with the other scan fields.
  entries[1].scanNickName = "nick", entries[1].scanServerAddressType = 2;
  entries[1].scanTransferProtocol = 6, entries[1].allFavoritesOrder = 1;
  // Groups carry favourite flags and empty texts; each of these differs from
  // a blank sub-record by one number only, which must not be lost.
  entries[2].faxFavorite = 1, entries[2].scanTransferProtocol = 4;
  entries[3].emailFavorite = 1, entries[3].scanServerAddressType = 2;
  entries[3].allFavoritesOrder = 3;
  entries[4].scanFavorite = 1, entries[4].scanServerAddress = "[fd00::5]:21";
  entries[4].scanTransferProtocol = 0;
  for (int i = 0; i < 20000; ++i) {
    ContactValues e = fullIndividual();
    e.displayName = std::string(static_cast<size_t>(i % 41), 'd') + std::to_string(i);
    e.firstName = std::string(static_cast<size_t>(i % 7), 'f');
    e.company = i % 3 == 0 ? "" : std::string(static_cast<size_t>(i % 29), 'c');
    e.scanServerAddress.reset();
    if (i == 12345) e.company = std::string(3 * 1024 * 1024, 'x');  // Beyond any block.
    if (i == 54) e.lastName = std::string(100 * 1024, 'l');
    entries.push_back(e);
  }
  for (ContactValues& e : entries) {
    e.id = 4242;  // Ignored: the database assigns ids.
    e.id = create(e);
  }
  EXPECT_LT(entries[0].id, entries[1].id);
  EXPECT_EQ(entries, fetchAll());
}

// A new file gets 16 KiB pages; a file that exists keeps the pages it has.
TEST_F(ContactDbTest, NewFilesGetLargePagesAndOldOnesKeepTheirs) {
  createNamed("Someone");
  reconnect();
  EXPECT_EQ(16384, RawDb(dabplatform_database_path()).integer("PRAGMA page_size"));

  ASSERT_EQ(0, DAB_DBI_Disconnect());
  std::string path = root_.file("old.db");
  {
    RawDb old(path);
    old.exec("PRAGMA page_size = 4096");
    old.exec("CREATE TABLE made_elsewhere (x)");
  }
  dabplatform_set_database_path(path.c_str());
  ASSERT_EQ(0, DAB_DBI_Connect()) << dabplatform_database_error();
  int32_t id = createNamed("Kept");
  reconnect();
  EXPECT_EQ(4096, RawDb(path).integer("PRAGMA page_size"));
  EXPECT_EQ(1u, fetchAll().size());
  EXPECT_LT(0, id);
}

// A record shaped as the import sends it (no scan, fax or favourites, a null
// text) goes through a shorter statement that leaves those columns to the
// table's defaults: its row must be the very row of a record with those
// sub-records at their defaults, value for value and type for type.
TEST_F(ContactDbTest, AbsentSubRecordsStoreTheSameRowAsDefaultOnes) {
  ContactValues same;
  same.displayName = "Same", same.firstName = "Ann", same.lastName = "Lee";
  same.email = "ann@x.org";
  ContactRecord full(same);  // All six sub-records, scan address NULL.
  full.get()->person->company = nullptr;
  DAB_DBI_Contact_t plain = *full.get(), bare{};
  plain.id = 99, plain.scan = nullptr, plain.fax = nullptr, plain.favorites = nullptr;
  char bareName[] = "Bare";
  bare.displayName = bareName;  // Every sub-record absent.
  int newId = -1;
  ASSERT_EQ(0, DAB_DBI_CreateContact(&plain, &newId));
  ASSERT_EQ(0, DAB_DBI_CreateContact(full.get(), nullptr));
  ASSERT_EQ(0, DAB_DBI_CreateContact(&bare, nullptr));
  reconnect();
  ContactValues second = same, bareEntry;
  same.id = newId, second.id = newId + 1, bareEntry.id = newId + 2, bareEntry.displayName = "Bare";
  EXPECT_EQ((std::vector<ContactValues>{same, second, bareEntry}), fetchAll());

  std::string columns;
  std::istringstream names(
      "dl_type display_name first_name last_name company email_address email_favorite "
      "ifax_address fax_number fax_favorite scan_nickname scan_server_address scan_server_type "
      "scan_document_path scan_login_name scan_protocol scan_share_or_volume scan_nds_context "
      "scan_nds_tree scan_favorite all_favorites_order");
  for (std::string name; names >> name;) {
    columns += (columns.empty() ? "" : " || '|' || ") + ("quote(" + name + ")");
  }
  RawDb raw(dabplatform_database_path());
  EXPECT_EQ(1, raw.integer(("SELECT COUNT(DISTINCT " + columns +
                            ") FROM contacts WHERE display_name = 'Same'")
                               .c_str()));
}

TEST_F(ContactDbTest, MembershipsComeBackInTheOrderTheyWereAdded) {
  int32_t g1 = createNamed("G1", DAB_DBI_FAX_GROUP), g2 = createNamed("G2", DAB_DBI_EMAIL_GROUP);
  int32_t g3 = createNamed("G3", 9);
  int32_t loner = createNamed("Loner"), single = createNamed("Single"), many = createNamed("Many");
  for (auto [contact, group] : {std::pair{single, g2}, {many, g3}, {many, g1}, {many, g2}}) {
    ASSERT_EQ(0, dabplatform_add_membership(contact, group)) << dabplatform_database_error();
  }
  auto expectMemberships = [&](const char* stage) {
    SCOPED_TRACE(stage);
    EXPECT_EQ(std::vector<int32_t>{}, groupsOf(loner));
    EXPECT_EQ(std::vector<int32_t>{g2}, groupsOf(single));
    EXPECT_EQ((std::vector<int32_t>{g3, g1, g2}), groupsOf(many));
    EXPECT_EQ(std::vector<int32_t>{}, groupsOf(123456));  // Unknown contact: none, no failure.
  };
  expectMemberships("queried");
  fetchAll();
  expectMemberships("loaded with the list");

  fetchAll();  // A membership added after a fetch must not be hidden by it.
  ASSERT_EQ(0, dabplatform_add_membership(loner, g3));
  EXPECT_EQ(std::vector<int32_t>{g3}, groupsOf(loner));
}

// The export asks for every contact's groups right after the fetch; they
// come from what was loaded with the list, not from one query per contact,
// so a change that another process commits meanwhile does not show.
TEST_F(ContactDbTest, GroupIdsAfterAFetchComeFromTheLoadedMemberships) {
  int32_t group = createNamed("Group", DAB_DBI_EMAIL_GROUP), member = createNamed("Member");
  ASSERT_EQ(0, dabplatform_add_membership(member, group));
  reconnect();  // Commits, so that the other connection sees the membership.
  fetchAll();
  RawDb other(dabplatform_database_path());
  other.exec("DELETE FROM memberships");
  EXPECT_EQ(std::vector<int32_t>{group}, groupsOf(member));
  reconnect();
  EXPECT_EQ(std::vector<int32_t>{}, groupsOf(member));
}

// A writer that does not enforce the foreign keys can delete a group and
// leave its memberships behind; no export may name an entry that is gone.
TEST_F(ContactDbTest, MembershipsOfADeletedGroupAreNotHandedOut) {
  int32_t kept = createNamed("Kept", DAB_DBI_FAX_GROUP);
  int32_t gone = createNamed("Gone", DAB_DBI_EMAIL_GROUP);
  int32_t member = createNamed("Member");
  ASSERT_EQ(0, dabplatform_add_membership(member, gone));
  ASSERT_EQ(0, dabplatform_add_membership(member, kept));
  reconnect();
  RawDb(dabplatform_database_path()).exec("DELETE FROM contacts WHERE display_name = 'Gone'");
  EXPECT_EQ(std::vector<int32_t>{kept}, groupsOf(member));  // Asked of the database.
  EXPECT_EQ(2u, fetchAll().size());
  EXPECT_EQ(std::vector<int32_t>{kept}, groupsOf(member));  // Loaded with the list.
}

// The library is not re-entrant, but its calls may come from any of the web
// server's threads, one after another, on the one connection.
TEST_F(ContactDbTest, TheConnectionServesCallsFromAnyThreadOneAtATime) {
  int32_t group = -1, member = -1;
  std::thread([&] {
    group = createNamed("Group", DAB_DBI_FAX_GROUP);
    member = createNamed("Member");
    EXPECT_EQ(0, dabplatform_add_membership(member, group));
  }).join();
  std::vector<ContactValues> entries;
  std::thread([&] { entries = fetchAll(); }).join();
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("Member", entries[1].displayName);
  std::thread([&] { EXPECT_EQ(std::vector<int32_t>{group}, groupsOf(member)); }).join();
}

TEST_F(ContactDbTest, AddMembershipRefusesWhatCannotBeAMembership) {
  int32_t group = createNamed("Group", DAB_DBI_EMAIL_GROUP), person = createNamed("Person");
  ASSERT_EQ(0, dabplatform_add_membership(person, group));
  // Unknown contact, unknown group, individual as group, group in itself, duplicate.
  const int cases[][3] = {{9999, group, DABPLATFORM_DB_NOT_FOUND},
                          {person, 9999, DABPLATFORM_DB_NOT_FOUND},
                          {group, person, DABPLATFORM_DB_REFUSED},
                          {group, group, DABPLATFORM_DB_REFUSED},
                          {person, group, DABPLATFORM_DB_REFUSED}};
  for (const auto& c : cases)
    EXPECT_EQ(c[2], dabplatform_add_membership(c[0], c[1])) << c[0] << "," << c[1];
  EXPECT_EQ(std::vector<int32_t>{group}, groupsOf(person));
  EXPECT_EQ(0, DAB_DBI_Disconnect());
  EXPECT_EQ(DABPLATFORM_DB_NOT_CONNECTED, dabplatform_add_membership(person, group));
}

TEST_F(ContactDbTest, MisuseGetsAStatusAndStoresNothing) {
  DAB_DBI_Contact_t noName{};
  EXPECT_EQ(DABPLATFORM_DB_BAD_ARGUMENT, DAB_DBI_CreateContact(&noName, nullptr));
  EXPECT_EQ(DABPLATFORM_DB_BAD_ARGUMENT, DAB_DBI_CreateContact(nullptr, nullptr));
  EXPECT_EQ(DABPLATFORM_DB_BAD_ARGUMENT, DAB_DBI_GetContactsCount(nullptr, 0));
  EXPECT_EQ(DABPLATFORM_DB_BAD_ARGUMENT, DAB_DBI_GetContactList(nullptr, 0, 0));
  EXPECT_EQ(DABPLATFORM_DB_BAD_ARGUMENT, DAB_DBI_GetAllGroupIds(nullptr, 1, 1));
  EXPECT_EQ(DABPLATFORM_DB_BAD_ARGUMENT, DAB_DBI_Free_ContactList(nullptr));
  EXPECT_EQ(std::vector<ContactValues>{}, fetchAll());

  ASSERT_EQ(0, DAB_DBI_Disconnect());  // Without a connection every call fails cleanly.
  int count = 0;
  EXPECT_EQ(DABPLATFORM_DB_NOT_CONNECTED, DAB_DBI_GetContactsCount(&count, 0));
  DAB_DBI_ContactList_t* list = newList();
  EXPECT_EQ(DABPLATFORM_DB_NOT_CONNECTED, DAB_DBI_GetContactList(list, 0, 0));
  EXPECT_EQ(nullptr, list->contacts);
  EXPECT_EQ(0, DAB_DBI_Free_ContactList(list));
  DAB_DBI_GroupIds_t ids{};
  EXPECT_EQ(DABPLATFORM_DB_NOT_CONNECTED, DAB_DBI_GetAllGroupIds(&ids, 1, 1));
  char name[] = "x";
  noName.displayName = name;
  EXPECT_EQ(DABPLATFORM_DB_NOT_CONNECTED, DAB_DBI_CreateContact(&noName, nullptr));
  EXPECT_EQ(DABPLATFORM_DB_NOT_CONNECTED, DAB_DBI_Disconnect());
  EXPECT_STRNE("", dabplatform_database_error());
}

TEST_F(ContactDbTest, ConnectionsAreCountedAndEachDisconnectCommits) {
  ASSERT_EQ(0, DAB_DBI_Connect());  // Nested, as a tool around a library call.
  createNamed("Kept");
  ASSERT_EQ(0, DAB_DBI_Disconnect());
  RawDb other(dabplatform_database_path());
  EXPECT_EQ(1, other.integer("SELECT COUNT(*) FROM contacts"));
  int count = 0;
  EXPECT_EQ(0, DAB_DBI_GetContactsCount(&count, 0));  // The outer connection is still open.
  EXPECT_EQ(1, count);
  EXPECT_EQ(0, DAB_DBI_Disconnect());
  EXPECT_EQ(DABPLATFORM_DB_NOT_CONNECTED, DAB_DBI_Disconnect());
}

// Entries added after the count are harmless; entries that vanished since it
// fail the list until a fresh count.
TEST_F(ContactDbTest, ListFollowsTheCountUnlessEntriesVanishedSinceIt) {
  for (const char* name : {"a", "b"}) createNamed(name);
  reconnect();
  int count = 0;
  ASSERT_EQ(0, DAB_DBI_GetContactsCount(&count, 0));
  ASSERT_EQ(2, count);
  RawDb raw(dabplatform_database_path());
  raw.exec("INSERT INTO contacts (display_name) VALUES ('late')");
  DAB_DBI_ContactList_t* list = newList();
  ASSERT_EQ(0, DAB_DBI_GetContactList(list, 0, 0));
  ASSERT_NE(nullptr, list->contacts);
  EXPECT_STREQ("late", list->contacts[2].displayName);
  EXPECT_EQ(0, DAB_DBI_Free_ContactList(list));

  ASSERT_EQ(0, DAB_DBI_GetContactsCount(&count, 0));
  raw.exec("DELETE FROM contacts WHERE display_name = 'b'");
  list = newList();
  EXPECT_EQ(DABPLATFORM_DB_CHANGED, DAB_DBI_GetContactList(list, 0, 0));
  EXPECT_EQ(nullptr, list->contacts);
  EXPECT_EQ(0, DAB_DBI_Free_ContactList(list));
  EXPECT_EQ(2u, fetchAll().size());
}

// The connection and the audit log refuse alike a file that is no database
// and one that cannot be opened.
TEST_F(ContactDbTest, ConnectRefusesFilesItCannotUseAsADatabase) {
  ASSERT_EQ(0, DAB_DBI_Disconnect());
  std::ofstream(root_.file("notes.txt")) << "Not a database, just some words.\n";
  for (const auto& [name, status] :
       {std::pair{"missing/dir/contacts.db", DABPLATFORM_DB_CANNOT_OPEN},
        {"notes.txt", DABPLATFORM_DB_NOT_A_DATABASE}}) {
    dabplatform_set_database_path(root_.file(name).c_str());
    EXPECT_EQ(status, DAB_DBI_Connect()) << name;
    EXPECT_EQ(DABPLATFORM_DB_NOT_CONNECTED, DAB_DBI_Disconnect()) << name;
    EXPECT_EQ(status, adlog_addressbook_export()) << name;
  }
  Records records;  // Of notes.txt, the last one.
  EXPECT_EQ(DABPLATFORM_DB_NOT_A_DATABASE, dabplatform_audit_records(&collect, &records, 0));
  EXPECT_EQ(DABPLATFORM_DB_BAD_ARGUMENT, dabplatform_audit_records(nullptr, nullptr, 0));
  // Back to the default file, which works and creates a missing data root.
  dabplatform_set_database_path(nullptr);
  std::string nested = root_.file("not/yet/there");
  dabplatform_set_data_root(nested.c_str());
  EXPECT_EQ(nested + "/addressbook.db", dabplatform_database_path());
  ASSERT_EQ(0, DAB_DBI_Connect()) << dabplatform_database_error();
  EXPECT_TRUE(std::filesystem::exists(nested + "/addressbook.db"));
}

TEST_F(ContactDbTest, CreatedContactsAreDurableOnceDisconnectedAndReadableMeanwhile) {
  constexpr int kContacts = 10001;  // One past a batch commit.
  ContactValues entry;
  entry.displayName = "Bulk";
  ContactRecord record(entry);
  for (int i = 0; i < kContacts; ++i) ASSERT_EQ(0, DAB_DBI_CreateContact(record.get(), nullptr));

  RawDb reader(dabplatform_database_path());  // Reads while the batch is open, without failing.
  int64_t visible = reader.integer("SELECT COUNT(*) FROM contacts");
  EXPECT_GE(visible, 10000);
  EXPECT_LT(visible, kContacts);
  ASSERT_EQ(0, DAB_DBI_Disconnect());
  EXPECT_EQ(kContacts, reader.integer("SELECT COUNT(*) FROM contacts"));
}

// The audit log records an export while the contact database holds
// unfinished writes, and the connection writes on afterwards.
TEST_F(ContactDbTest, TheAuditLogRecordsWhileWritesAreUnfinished) {
  createNamed("Pending");
  EXPECT_EQ(0, adlog_addressbook_export()) << dabplatform_database_error();
  createNamed("Pending");
  reconnect();
  EXPECT_EQ(1u, read(0).size());
  EXPECT_EQ(2u, fetchAll().size());
}

}  // namespace
}  // namespace dabtest
