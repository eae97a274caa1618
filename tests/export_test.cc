// DABExport: quoting and fax masking (results that fill the smallest buffers
// exactly: the sanitizer build turns an overrun into a failure, the plain
// build checks the sizes in fault_injection_test), both writers against lines
// written from the format's definition, and the drivers' call order, status
// codes, delimiter names and the list released once with its cursor restored.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "DABExport.h"
#include "DABUtils.h"
#include "export_headers.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

using testutil::printed;

class ExportTextTest : public PlatformTest {
 protected:
  // Runs `method` on a writable copy and checks that the copy survives.
  std::optional<std::string> call(char* (DABExport::*method)(char*), const std::string& input) {
    std::string copy = input;
    char* result = (exporter_.*method)(copy.data());
    EXPECT_EQ(input, copy);
    std::optional<std::string> text;
    if (result != nullptr) text = result;
    free(result);
    return text;
  }
  std::optional<std::string> quote(const std::string& s) {
    return call(&DABExport::makeCsvSafe, s);
  }
  std::optional<std::string> mask(const std::string& s) { return call(&DABExport::MaskData, s); }
  DABExport exporter_;
};

// Only a comma or a double quote asks for quotes, whatever the file's
// delimiter; inner quotes are doubled.
TEST_F(ExportTextTest, MakeCsvSafeQuotesOnlyCommaAndQuote) {
  // clang-format off
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"Doe, John", "\"Doe, John\""}, {"a\"b", "\"a\"\"b\""}, {",", "\",\""}, {"\"", "\"\"\"\""},
      {"say \"hi\", bye", "\"say \"\"hi\"\", bye\""}, {"Müller, Jürgen", "\"Müller, Jürgen\""},
      {"Plain Name", std::nullopt}, {"", std::nullopt}, {"a;b", std::nullopt},
      {"line\r\nend\t+!#", std::nullopt}};
  // clang-format on
  for (const auto& [input, quoted] : cases) EXPECT_EQ(quoted, quote(input)) << input;
  EXPECT_EQ(nullptr, exporter_.makeCsvSafe(nullptr));
  EXPECT_TRUE(fake().logTexts(kError).empty());
}

// The smallest quoting buffer holds 2048 bytes: quoted texts of 2046 to 2049
// bytes need, with their NUL, one byte less than it, all of it, and more.
TEST_F(ExportTextTest, MakeCsvSafeFillsItsBufferExactly) {
  for (size_t quotedLength : {2046u, 2047u, 2048u, 2049u}) {
    std::string plain(quotedLength - 3, 'x');
    EXPECT_EQ("\"" + plain + ",\"", quote(plain + ",")) << quotedLength;
    std::string quotes(quotedLength / 2 - 1, '"'), odd = quotedLength % 2 ? "x" : "";
    EXPECT_EQ("\"" + quotes + quotes + odd + "\"", quote(quotes + odd)) << quotedLength;
  }
  // Mostly quotes: the quoted form is almost twice the input.
  EXPECT_EQ("\"" + repeat("\"\"\"\",\"\"x", 2000) + "\"", quote(repeat("\"\",\"x", 2000)));
}

// Every second '/'-separated segment is private and left out; empty segments
// do not count. The smallest masking buffer holds 255 bytes.
TEST_F(ExportTextTest, MaskDataDropsEverySecondSegmentAndFillsItsBuffer) {
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {"12/34/56", "12//56"}, {"1/2/3/4/5", "1//3//5"}, {"123", "123"}, {"12/34", "12/"},
      {"12/34/", "12/"}, {"12//56", "12/"}, {"/34/56", "34/"}, {"//34", "34"}, {"", ""},
      {"///", ""}, {"+49 (0)89/1234", "+49 (0)89/"}};
  // clang-format on
  for (const auto& [input, expected] : cases) EXPECT_EQ(expected, mask(input)) << input;
  char* ofNull = exporter_.MaskData(nullptr);
  ASSERT_NE(nullptr, ofNull);
  EXPECT_STREQ("", ofNull);
  free(ofNull);
  for (size_t length : {254u, 255u, 256u, 1000u}) {
    EXPECT_EQ(std::string(length, '7'), mask(std::string(length, '7'))) << length;
  }
  std::string expected = repeat("11//", 167);
  expected.pop_back();
  EXPECT_EQ(expected, mask(repeat("11/22/", 167)));
}

// `text` with every '|' as `delimiter`.
std::string with(std::string text, char delimiter) {
  std::replace(text.begin(), text.end(), '|', delimiter);
  return text;
}

// An individual whose texts are all empty, without scan address.
std::string plainRow(int id, const std::string& order, const std::string& memberOf) {
  return std::to_string(id) + ",,,,," + order + "," + memberOf + ",0,,,0,,0,,,0,1,,0,,,,,,,\r\n";
}

// The scripted contacts fetched as a driver fetches them; handed back
// restored, so the fake can tell how far the writer moved the cursor.
class FetchedList {
 public:
  FetchedList() : list_(static_cast<DAB_DBI_ContactList_t*>(calloc(1, sizeof *list_))) {
    DAB_DBI_GetContactList(list_, 0, 0);
    first_ = list_->contacts;
  }
  ~FetchedList() {
    list_->contacts = first_;
    DAB_DBI_Free_ContactList(list_);
  }
  FetchedList(const FetchedList&) = delete;
  FetchedList& operator=(const FetchedList&) = delete;
  DAB_DBI_ContactList_t* get() const { return list_; }
  DAB_DBI_Contact_t& entry(size_t i) const { return first_[i]; }
  std::ptrdiff_t moved() const { return list_->contacts - first_; }

 private:
  DAB_DBI_ContactList_t* list_;
  DAB_DBI_Contact_t* first_;
};

ScriptedContact withId(int32_t id, int32_t dlType = DAB_DBI_INDIVIDUAL) {
  ScriptedContact c;
  c.id = id, c.dlType = dlType;
  return c;
}

ScriptedContact fullIndividual() {
  ScriptedContact c = withId(7);
  c.displayName = "Ann Lee", c.firstName = "Ann", c.lastName = "Lee", c.company = "ACME; Inc";
  c.allFavoritesOrder = 3, c.faxNumber = "089/123/456", c.faxFavorite = 1;
  c.email = "ann@example.com", c.internetFax = "ifax@example.com";
  c.scanNickName = "Ann scan", c.scanFavorite = 1, c.scanServerAddress = "10.0.0.5:2121";
  c.scanDocumentPath = "/in", c.scanLoginName = "ann", c.scanTransferProtocol = 2;
  c.scanShareOrVolume = "docs", c.scanNdsTree = "T", c.scanNdsContext = "C";
  return c;
}

// An individual with every scan text but the server address set.
ScriptedContact scanContact(int32_t id) {
  ScriptedContact c = withId(id);
  c.scanDocumentPath = "/p", c.scanLoginName = "u", c.scanNdsTree = "t", c.scanNdsContext = "c";
  c.scanShareOrVolume = "vol";
  return c;
}

class ExportWritersTest : public PlatformTest {
 protected:
  using Writer = void (DABExport::*)(FILE*, char, int, DAB_DBI_ContactList_t*);
  // The file `writer` makes of the scripted contacts; `count` defaults to all.
  std::string write(Writer writer, char delimiter, std::optional<int> count) {
    FetchedList list;
    std::string bytes = printed([&](FILE* file) {
      (exporter_.*writer)(file, delimiter, count.value_or(static_cast<int>(fake().contacts.size())),
                          list.get());
    });
    moved_ = list.moved();
    return bytes;
  }
  std::string dab(char delimiter, std::optional<int> count = std::nullopt) {
    return write(&DABExport::writeToExportFile, delimiter, count);
  }
  std::string legacy(char delimiter, std::optional<int> count = std::nullopt) {
    return write(&DABExport::writeToLegacyExportFile, delimiter, count);
  }

  DABExport exporter_;
  std::ptrdiff_t moved_ = -1;
};

TEST_F(ExportWritersTest, DabWritesHeaderAndIndividualWithEitherDelimiter) {
  fake().contacts = {fullIndividual()};
  fake().groupIds[7] = {12, 40};
  const std::string row =
      "7|Ann Lee|Ann|Lee|ACME; Inc|3|\"\"\"12,40\"\"\"|0||089//456|1|ann@example.com|0|"
      "ifax@example.com|Ann scan|1|3|10.0.0.5|2121|/in|ann||docs|T|C|\r\n";
  for (char delimiter : {',', ';'}) {
    std::string header = kDabHeader;
    std::replace(header.begin(), header.end(), ',', delimiter);
    EXPECT_EQ(header + with(row, delimiter), dab(delimiter));
  }
  EXPECT_EQ(1, moved_);
}

// A group line: id, name, memberships, kind, workflow and the three
// favourite flags; its person, internet-fax and favourites records are never
// followed.
TEST_F(ExportWritersTest, DabGroupLinesCarryKindWorkflowAndFavouritesOnly) {
  ScriptedContact fax = withId(20, DAB_DBI_FAX_GROUP), mail = withId(21, DAB_DBI_EMAIL_GROUP),
                  other = withId(22, 5);
  fax.displayName = "Sales, EU", fax.faxFavorite = 1, fax.scanFavorite = 1;
  mail.displayName = "Mail", mail.emailFavorite = 1;
  other.displayName = "Other";
  for (ScriptedContact* g : {&fax, &mail, &other}) {
    g->firstName = g->company = g->email = g->internetFax = g->faxNumber = "must not show";
    g->scanNickName = g->scanDocumentPath = g->scanShareOrVolume = "must not show";
    g->scanServerAddress = "1.2.3.4:21";
  }
  fake().contacts = {fax, mail, other};
  fake().groupIds[20] = {30};
  FetchedList list;
  for (size_t i = 0; i < 3; ++i) {
    list.entry(i).person = nullptr, list.entry(i).internetFax = nullptr;
    list.entry(i).favorites = nullptr;
  }
  EXPECT_EQ(kDabHeader + "20,\"Sales, EU\",,,,,\"\"\"30\"\"\",1,Fax,,1,,0,,,1,,,,,,,,,,\r\n" +
                "21,Mail,,,,,,2,Email,,0,,1,,,0,,,,,,,,,,\r\n" +
                "22,Other,,,,,,0,Unknown,,0,,0,,,0,,,,,,,,,,\r\n",
            printed([&](FILE* file) { exporter_.writeToExportFile(file, ',', 3, list.get()); }));
  EXPECT_EQ(3, list.moved());
}

// Members as the database hands them out: none is a count of 0 (with a null
// or a stale pointer), a failed call empties that line's cell only. (After a
// failed count nothing is asked: the driver test's.)
TEST_F(ExportWritersTest, DabMemberOfHoldsWhatTheDatabaseReturns) {
  for (int id = 1; id <= 5; ++id) fake().contacts.push_back(withId(id));
  fake().groupIds = {{1, {}}, {2, {12}}, {3, {12, 40, 7}}, {5, {8}}};
  fake().groupIdsFailFor = {4};
  const std::string members = kDabHeader + plainRow(1, "", "") + plainRow(2, "", "\"\"\"12\"\"\"") +
                              plainRow(3, "", "\"\"\"12,40,7\"\"\"") + plainRow(4, "", "") +
                              plainRow(5, "", "\"\"\"8\"\"\"");
  for (bool stale : {false, true}) {
    fake().staleIdsWhenEmpty = stale;
    EXPECT_EQ(members, dab(',')) << stale;
  }
}

// Only -1 leaves the favourites order empty; number cells at the ends of
// their range as printf's "%d" writes them.
TEST_F(ExportWritersTest, DabNumberCells) {
  const int32_t kMin = INT32_MIN, kMax = INT32_MAX;
  for (int order : {-1, 0, -2, 5}) {
    fake().contacts.push_back(withId(1));
    fake().contacts.back().allFavoritesOrder = order;
  }
  EXPECT_EQ(kDabHeader + plainRow(1, "", "") + plainRow(1, "0", "") + plainRow(1, "-2", "") +
                plainRow(1, "5", ""),
            dab(','));

  ScriptedContact person = withId(kMin), group = withId(kMax, DAB_DBI_FAX_GROUP);
  person.allFavoritesOrder = kMax, person.scanServerAddress = "h:-2147483648";
  person.faxFavorite = -7, person.emailFavorite = 1000000000, person.scanFavorite = -10;
  group.faxFavorite = kMin, group.emailFavorite = 10, group.scanFavorite = 9;
  fake().contacts = {person, group};
  fake().groupIds = {{kMin, {kMax, 0, -1}}, {kMax, {kMin}}};
  EXPECT_EQ(kDabHeader +
                "-2147483648,,,,,2147483647,\"\"\"2147483647,0,-1\"\"\",0,,,-7,,"
                "1000000000,,,-10,1,h,-2147483648,,,,,,,\r\n" +
                "2147483647,,,,,,\"\"\"-2147483648\"\"\",1,Fax,,-2147483648,,10,,,9,,,,,,,,,,\r\n",
            dab(','));
}

TEST_F(ExportWritersTest, DabQuotesTextCellsAndPassesUtf8Through) {
  ScriptedContact c = fullIndividual();
  c.displayName = "Doe, John", c.firstName = "Jürgen", c.lastName = "O\"Neil";
  c.company = "\"Big\", Ltd", c.faxNumber = "1,2/secret/3", c.internetFax = "日本@example.com";
  c.scanServerAddress = "a,b:99", c.scanDocumentPath = "/x,y", c.scanTransferProtocol = 0;
  c.scanShareOrVolume = "vol,1";
  fake().contacts = {c};
  EXPECT_EQ(kDabHeader +
                "7,\"Doe, John\",Jürgen,\"O\"\"Neil\",\"\"\"Big\"\", Ltd\",3,,0,,\"1,2//3\",1,"
                "ann@example.com,0,日本@example.com,Ann scan,1,4,\"a,b\",99,\"/x,y\",ann,,,T,C,"
                "\"vol,1\"\r\n",
            dab(','));
}

// A count of 0 or less writes the header alone, asks nothing and reports
// nothing, even over a list without entries; a legacy export that leaves out
// every entry still moves the cursor by the count.
TEST_F(ExportWritersTest, HeaderAloneForNoEntriesOrNoneWritten) {
  fake().contacts = {fullIndividual()};
  for (int count : {0, -4}) {
    EXPECT_EQ(kDabHeader, dab(',', count));
    EXPECT_EQ(0, moved_);
    EXPECT_EQ(kLegacyHeader, legacy(',', count));
  }
  fake().contacts.clear();
  EXPECT_EQ(kDabHeader, dab(',', 0));
  EXPECT_EQ(kLegacyHeader, legacy(',', 0));
  EXPECT_TRUE(fake().logTexts(kError).empty());
  EXPECT_EQ(0, fake().callCount("DAB_DBI_GetAllGroupIds"));

  ScriptedContact noEmail = withId(1), group = withId(2, DAB_DBI_FAX_GROUP);
  group.email = "g@x.org";
  fake().contacts = {noEmail, group, noEmail, group};
  EXPECT_EQ(kLegacyHeader, legacy(',', 3));
  EXPECT_EQ(3, moved_);
}

// Cells 18 and 19 of every address form; the database's text stays whole.
TEST_F(ExportWritersTest, ScanServerAddressFormsGiveHostAndPort) {
  // clang-format off
  const struct {
    int32_t type;
    std::optional<std::string> address;
    std::string cells;
  } cases[] = {{0, "192.168.1.10:21", "192.168.1.10,21"}, {1, "host.example", "host.example,0"},
               {0, std::nullopt, ",0"}, {0, "", ",0"}, {1, ":::", ",0"}, {0, "::h:: 42x:9", "h,42"},
               {0, "h:99999999999", "h,2147483647"}, {0, "h:-99999999999", "h,-2147483648"},
               {2, "[fd00::5]:21", "[fd00::5],21"}, {2, "[fd00::5]", "[fd00::5],0"},
               {2, std::nullopt, ",0"}, {2, "]]]", ",0"}, {2, "", ",0"},
               {3, "1.2.3.4:21", ",0"}, {-1, "1.2.3.4:21", ",0"}};
  // clang-format on
  for (const auto& c : cases) {
    fake().contacts = {scanContact(1)};
    fake().contacts[0].scanServerAddress = c.address;
    fake().contacts[0].scanServerAddressType = c.type;
    FetchedList list;
    DAB_DBI_Scan_t* scan = list.entry(0).scan;
    EXPECT_EQ("1," + c.cells + ",/p,u,,,t,c,\r\n",
              printed([&](FILE* file) { exporter_.writeScanCells(file, ',', scan); }))
        << c.address.value_or("NULL");
    EXPECT_EQ(c.address.value_or(""), copyText(scan->serverAddress));
  }
}

// Database protocol code -> CSV number (cell 17), and where the share (SMB,
// code 2) or the volume (NDS, code 0) goes.
TEST_F(ExportWritersTest, ScanProtocolDecidesNumberShareAndVolume) {
  const std::pair<int32_t, std::string> cases[] = {
      {0, "4,h,0,/p,u,,,t,c,vol\r\n"}, {1, "1,h,0,/p,u,,,t,c,\r\n"},
      {2, "3,h,0,/p,u,,vol,t,c,\r\n"}, {3, "5,h,0,/p,u,,,t,c,\r\n"},
      {4, "6,h,0,/p,u,,,t,c,\r\n"},    {5, "7,h,0,/p,u,,,t,c,\r\n"},
      {6, "2,h,0,/p,u,,,t,c,\r\n"},    {7, "4,h,0,/p,u,,,t,c,\r\n"},
      {-1, "4,h,0,/p,u,,,t,c,\r\n"},   {INT32_MIN, "4,h,0,/p,u,,,t,c,\r\n"}};
  for (const auto& [code, cells] : cases) {
    fake().contacts = {scanContact(9)};
    fake().contacts[0].scanServerAddress = "h", fake().contacts[0].scanTransferProtocol = code;
    EXPECT_EQ(kDabHeader + "9,,,,,,,0,,,0,,0,,,0," + cells, dab(',')) << code;
  }
}

// Individuals with an e-mail address only; those without one are reported,
// groups with one are left out silently.
TEST_F(ExportWritersTest, LegacyWritesIndividualsWithEmailAndReportsTheOthers) {
  ScriptedContact quoted = withId(1), plain = withId(2), noEmail = withId(3),
                  group = withId(4, DAB_DBI_EMAIL_GROUP), groupNoEmail = withId(5, 1);
  quoted.displayName = "Doe, John", quoted.email = "j@x.org", quoted.internetFax = "f,x@y.org";
  plain.displayName = "Zoë", plain.email = "z@x.org";
  noEmail.displayName = "Nobody", noEmail.internetFax = "n@y.org";
  group.displayName = "Team", group.email = "team@x.org";
  groupNoEmail.displayName = "Faxers";
  fake().contacts = {quoted, plain, noEmail, group, groupNoEmail};
  const std::string rows = "\"Doe, John\"|j@x.org|\"f,x@y.org\"\r\nZoë|z@x.org|\r\n";
  const std::string skipped = "Not exporting contact, null email contact (Legacy Mode):  ";
  for (char delimiter : {',', ';'}) {
    fake().logs.clear();
    EXPECT_EQ(with("Friendly Name|E-Mail Address|Internet Fax Address\n" + rows, delimiter),
              legacy(delimiter));
    EXPECT_EQ(5, moved_);
    EXPECT_EQ(fake().logTexts(kError),
              (std::vector<std::string>{skipped + "Nobody", skipped + "Faxers"}));
  }
}

// --- The drivers -------------------------------------------------------------------

using Calls = std::vector<std::string>;

const char kDabFile[] = "http/data/ExportedAddressBook.csv";
const char kLegacyFile[] = "http/data/LegacyExportedAddressBook.csv";

ScriptedContact person(int32_t id, const std::string& name) {
  ScriptedContact c = withId(id);
  c.displayName = name, c.email = name + "@example.com";
  return c;
}

std::string dabRow(int id, const std::string& name, const std::string& memberOf) {
  return std::to_string(id) + "," + name + ",,,,," + memberOf + ",0,,,0," + name +
         "@example.com,0,,,0,1,,0,,,,,,,\r\n";
}

int exportDab(std::string delimiterName) {
  return AdressBookExport(delimiterName.data(), nullptr, nullptr);
}
int exportLegacy(std::string delimiterName) {
  return LegacyAdressBookExport(delimiterName.data(), nullptr, nullptr, nullptr);
}

// The calls of an export up to the failing stage (none: all of them).
enum Stage { kConnect, kFetch, kOpen, kNone };
Calls callsUpTo(Stage failing, const std::string& file, const Calls& writerCalls) {
  Calls calls{"DAB_DBI_Connect()"};
  if (failing == kConnect) return calls;
  calls.insert(calls.end(), {"DAB_DBI_GetContactsCount(0)", "DAB_DBI_GetContactList(0,0)"});
  if (failing != kFetch) {
    calls.insert(calls.end(), {"chmod(" + file + ",0666)", "xpaths_get_path(nc_dlms_data)",
                               "xpaths_open_file(DATA," + file + ",w)"});
  }
  if (failing == kNone) calls.insert(calls.end(), writerCalls.begin(), writerCalls.end());
  calls.push_back("DAB_DBI_Free_ContactList(restored)");
  if (failing == kNone) calls.push_back("adlog_addressbook_export()");
  return calls;
}

class ExportDriversTest : public PlatformTest {
 protected:
  ExportDriversTest() { fake().contacts = {person(5, "Ann"), person(6, "Bob")}; }
};

TEST_F(ExportDriversTest, BothExportsMakeEveryCallInOrder) {
  fake().groupIds[6] = {9};
  for (bool legacy : {false, true}) {
    fake().calls.clear();
    EXPECT_EQ(1, legacy ? exportLegacy("Comma") : exportDab("Comma"));
    Calls expected = callsUpTo(
        kNone, legacy ? kLegacyFile : kDabFile,
        legacy ? Calls{} : Calls{"DAB_DBI_GetAllGroupIds(5,1)", "DAB_DBI_GetAllGroupIds(6,1)"});
    expected.push_back("DAB_DBI_Disconnect()");
    EXPECT_EQ(expected, fake().calls) << legacy;
  }
  EXPECT_EQ(kDabHeader + dabRow(5, "Ann", "") + dabRow(6, "Bob", "\"\"\"9\"\"\""),
            readFile(kDabFile));
  EXPECT_TRUE(fake().logTexts(kError).empty());
}

// Each failing stage, for both formats: its status and error line, the old
// file untouched, no audit record, one disconnect, the list released.
TEST_F(ExportDriversTest, FailuresReturnTheirStatusAndLeaveNoTrace) {
  const struct {
    Stage failing;
    int status;
    std::string dabError, legacyError;
  } cases[] = {{kConnect, 4, "", ""},
               {kFetch, 5, "Cannot get the list of contact from Database",
                "Cannot get the list of contact from Database"},
               {kOpen, 6, "Failed to open HTTP_ADDRESS_BOOK_EXPORTED_TEMP_FILE",
                "Failed to open HTTP_LEGACY_ADDRESS_BOOK_EXPORTED_TEMP_FILE"}};
  for (const auto& c : cases) {
    for (bool legacy : {false, true}) {
      SCOPED_TRACE("stage " + std::to_string(c.failing) + (legacy ? " legacy" : " DAB"));
      fake().calls.clear(), fake().logs.clear();
      fake().connectResult = c.failing == kConnect ? 2 : 0;
      fake().listResult = c.failing == kFetch ? 1 : 0;
      fake().failOpen = c.failing == kOpen;
      const char* file = legacy ? kLegacyFile : kDabFile;
      writeFile(file, "old contents");
      std::string comma = "Comma";
      {
        DABExport exporter;
        EXPECT_EQ(c.status,
                  legacy ? exporter.LegacyExportAddressbook(comma.data(), nullptr, nullptr, nullptr)
                         : exporter.ExportAddressbook(comma.data(), nullptr, nullptr));
        EXPECT_EQ(callsUpTo(c.failing, file, {}), fake().calls);
      }
      const std::string& error = legacy ? c.legacyError : c.dabError;
      EXPECT_EQ(error.empty() ? Calls{} : Calls{error}, fake().logTexts(kError));
      EXPECT_EQ("old contents", readFile(file));
      EXPECT_EQ(1, fake().callCount("DAB_DBI_Disconnect"));
    }
  }
}

// A failed count (of either sign) leaves out the memberships without asking
// for them, and the export is done; a count over a list without entries
// gives the header alone and says so.
TEST_F(ExportDriversTest, FailedCountOrCountWithoutEntries) {
  fake().groupIds[6] = {9};
  for (int failed : {1, -1}) {
    fake().countResult = failed;
    EXPECT_EQ(1, exportDab("Comma"));
    EXPECT_EQ(kDabHeader + dabRow(5, "Ann", "") + dabRow(6, "Bob", ""), readFile(kDabFile));
  }
  EXPECT_EQ(0, fake().callCount("DAB_DBI_GetAllGroupIds"));

  writeFile(kDabFile, "old");
  fake().contacts.clear();
  fake().countResult = 0, fake().countValue = 2;
  EXPECT_EQ(1, exportDab("Comma"));
  EXPECT_EQ(1, exportLegacy("Comma"));
  EXPECT_EQ(kDabHeader, readFile(kDabFile));
  EXPECT_EQ(kLegacyHeader, readFile(kLegacyFile));
  EXPECT_EQ(fake().logTexts(kError),
            std::vector<std::string>(2, "Contact list holds no entries, 2 expected"));
}

// Only the exact name "Comma" gives ',', near misses included.
TEST_F(ExportDriversTest, OnlyTheExactNameCommaGivesCommas) {
  fake().contacts.pop_back();
  const std::pair<const char*, char> cases[] = {
      {"Comma", ','}, {"comma", ';'}, {"COMMA", ';'}, {"Comma ", ';'},   {"CommaX", ';'},
      {"Comm", ';'},  {"", ';'},      {",", ';'},     {"Semicolon", ';'}};
  for (const auto& [name, delimiter] : cases) {
    const std::string d(1, delimiter);
    ASSERT_EQ(1, exportDab(name));
    EXPECT_EQ("ZltAddressBookId" + d + "DisplayName" + d, readFile(kDabFile).substr(0, 29)) << name;
    ASSERT_EQ(1, exportLegacy(name));
    EXPECT_EQ(with("Friendly Name|E-Mail Address|Internet Fax Address\nAnn|Ann@example.com|\r\n",
                   delimiter),
              readFile(kLegacyFile))
        << name;
  }
}

// A failed allocation unwinds through the method: the object still
// disconnects once, the list goes back to the database (if it was offered)
// restored, and no failure line or audit record appears.
TEST_F(ExportDriversTest, FailedAllocationInsideTheExportStillCleansUp) {
  const std::pair<const char*, int> cases[] = {{"DAB_DBI_GetContactsCount", 0},
                                               {"DAB_DBI_GetAllGroupIds", 1}};
  for (const auto& [call, releases] : cases) {
    SCOPED_TRACE(call);
    fake().calls.clear();
    fake().throwBadAllocIn = call;
    EXPECT_EQ(0, exportDab("Comma"));
    EXPECT_EQ(1, fake().callCount("DAB_DBI_Disconnect"));
    EXPECT_EQ(releases, fake().callCount("DAB_DBI_Free_ContactList(restored)"));
    EXPECT_EQ(0, fake().callCount("DAB_DBI_Free_ContactList(moved)"));
    EXPECT_EQ(0, fake().callCount("adlog_addressbook_export"));
    EXPECT_TRUE(fake().logTexts(kError).empty());
    EXPECT_EQ(0, fake().listsOutstanding);
  }
}

// An export of several hundred kilobytes reaches the file in writes of 64 KiB
// (the last one excepted), not of the C library's default block.
TEST_F(ExportDriversTest, BothExportsWriteTheirFileInLargeBlocks) {
  for (int id = 1; id <= 2000; ++id) {
    fake().contacts.push_back(person(id, "Contact " + std::string(150, 'x') + std::to_string(id)));
  }
  fake().recordTransfers = true;
  for (bool legacy : {false, true}) {
    SCOPED_TRACE(legacy ? "legacy" : "DAB");
    fake().transfers.clear();
    EXPECT_EQ(1, legacy ? exportLegacy("Comma") : exportDab("Comma"));
    size_t bytes = readFile(legacy ? kLegacyFile : kDabFile).size();
    ASSERT_GT(bytes, 3 * 65536u);
    ASSERT_EQ((bytes + 65535) / 65536, fake().transfers.size());
    for (size_t i = 0; i + 1 < fake().transfers.size(); ++i) EXPECT_EQ(65536u, fake().transfers[i]);
  }
}

}  // namespace
}  // namespace dabtest
