// The two export drivers end to end through the C entry points and the
// methods: the order of every platform call, the status codes 4, 5 and 6 with
// what each leaves behind, the delimiter names, and the list released exactly
// once with its cursor restored on every way out.
#include <algorithm>
#include <string>
#include <vector>

#include "DABExport.h"
#include "DABUtils.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

using Calls = std::vector<std::string>;

const char kDabFile[] = "http/data/ExportedAddressBook.csv";
const char kLegacyFile[] = "http/data/LegacyExportedAddressBook.csv";
const std::string kDabHeaderStart = "ZltAddressBookId,DisplayName,";
const std::string kLegacyHeader = "Friendly Name,E-Mail Address,Internet Fax Address\n";

ScriptedContact person(int32_t id, const std::string& name) {
  ScriptedContact c;
  c.id = id;
  c.displayName = name;
  c.email = name + "@example.com";
  return c;
}

std::string firstLine(const std::string& bytes) { return bytes.substr(0, bytes.find('\n') + 1); }

class ExportDriversTest : public PlatformTest {
 protected:
  int exportDab(const char* delimiterName) {
    std::string name = delimiterName;
    return AdressBookExport(name.data(), nullptr, nullptr);
  }
  int exportLegacy(const char* delimiterName) {
    std::string name = delimiterName;
    return LegacyAdressBookExport(name.data(), nullptr, nullptr, nullptr);
  }
};

TEST_F(ExportDriversTest, DabExportMakesEveryCallInOrder) {
  fake().contacts = {person(5, "Ann"), person(6, "Bob")};
  fake().groupIds[6] = {9};
  EXPECT_EQ(1, exportDab("Comma"));
  EXPECT_EQ(
      fake().calls,
      (Calls{"DAB_DBI_Connect()", "DAB_DBI_GetContactsCount(0)", "DAB_DBI_GetContactList(0,0)",
             "chmod(http/data/ExportedAddressBook.csv,0666)", "xpaths_get_path(nc_dlms_data)",
             "xpaths_open_file(DATA,http/data/ExportedAddressBook.csv,w)",
             "DAB_DBI_GetAllGroupIds(5,1)", "DAB_DBI_GetAllGroupIds(6,1)",
             "DAB_DBI_Free_ContactList(restored)", "adlog_addressbook_export()",
             "DAB_DBI_Disconnect()"}));
  std::string file = readFile(kDabFile);
  EXPECT_EQ(kDabHeaderStart, file.substr(0, kDabHeaderStart.size()));
  EXPECT_NE(std::string::npos, file.find("\r\n6,Bob,,,,,\"\"\"9\"\"\",0,"));
  EXPECT_EQ(3u, std::count(file.begin(), file.end(), '\n'));
  EXPECT_TRUE(fake().logTexts(kError).empty());
  EXPECT_EQ(0, fake().listsOutstanding);
}

TEST_F(ExportDriversTest, LegacyExportMakesEveryCallInOrder) {
  fake().contacts = {person(5, "Ann")};
  EXPECT_EQ(1, exportLegacy("Comma"));
  EXPECT_EQ(
      fake().calls,
      (Calls{"DAB_DBI_Connect()", "DAB_DBI_GetContactsCount(0)", "DAB_DBI_GetContactList(0,0)",
             "chmod(http/data/LegacyExportedAddressBook.csv,0666)", "xpaths_get_path(nc_dlms_data)",
             "xpaths_open_file(DATA,http/data/LegacyExportedAddressBook.csv,w)",
             "DAB_DBI_Free_ContactList(restored)", "adlog_addressbook_export()",
             "DAB_DBI_Disconnect()"}));
  EXPECT_EQ(kLegacyHeader + "Ann,Ann@example.com,\r\n", readFile(kLegacyFile));
}

// --- Failures, each for both formats ---------------------------------------------

enum Stage { kConnect, kFetch, kOpen };

struct FailureCase {
  const char* name;
  bool legacy;
  Stage failing;
  int status;
  const char* error;  // "" for none.
};

// The calls a driver makes up to the failing stage; the release comes last.
Calls callsUpTo(Stage failing, const std::string& file) {
  Calls calls{"DAB_DBI_Connect()"};
  if (failing == kConnect) return calls;
  calls.insert(calls.end(), {"DAB_DBI_GetContactsCount(0)", "DAB_DBI_GetContactList(0,0)"});
  if (failing == kOpen) {
    calls.insert(calls.end(), {"chmod(" + file + ",0666)", "xpaths_get_path(nc_dlms_data)",
                               "xpaths_open_file(DATA," + file + ",w)"});
  }
  calls.push_back("DAB_DBI_Free_ContactList(restored)");
  return calls;
}

class ExportFailureTest : public PlatformTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ExportFailureTest, ReturnsItsStatusAndLeavesNoFileNorAuditRecord) {
  const FailureCase& c = GetParam();
  fake().contacts = {person(1, "Ann")};
  fake().connectResult = c.failing == kConnect ? 2 : 0;
  fake().listResult = c.failing == kFetch ? 1 : 0;
  fake().failOpen = c.failing == kOpen;
  const char* file = c.legacy ? kLegacyFile : kDabFile;
  writeFile(file, "old contents");
  std::string comma = "Comma";
  {
    DABExport exporter;
    int status = c.legacy
                     ? exporter.LegacyExportAddressbook(comma.data(), nullptr, nullptr, nullptr)
                     : exporter.ExportAddressbook(comma.data(), nullptr, nullptr);
    EXPECT_EQ(c.status, status);
    EXPECT_EQ(callsUpTo(c.failing, file), fake().calls);
  }
  EXPECT_EQ(*c.error ? std::vector<std::string>{c.error} : std::vector<std::string>{},
            fake().logTexts(kError));
  EXPECT_EQ("old contents", readFile(file));
  EXPECT_EQ(0, fake().callCount("adlog_addressbook_export"));
  EXPECT_EQ(1, fake().callCount("DAB_DBI_Disconnect"));
  EXPECT_EQ(0, fake().listsOutstanding);
}

const char kFetchLine[] = "Cannot get the list of contact from Database";

INSTANTIATE_TEST_SUITE_P(
    BothFormats, ExportFailureTest,
    ::testing::Values(FailureCase{"DabNotConnected", false, kConnect, 4, ""},
                      FailureCase{"LegacyNotConnected", true, kConnect, 4, ""},
                      FailureCase{"DabFetchFails", false, kFetch, 5, kFetchLine},
                      FailureCase{"LegacyFetchFails", true, kFetch, 5, kFetchLine},
                      FailureCase{"DabOpenFails", false, kOpen, 6,
                                  "Failed to open HTTP_ADDRESS_BOOK_EXPORTED_TEMP_FILE"},
                      FailureCase{"LegacyOpenFails", true, kOpen, 6,
                                  "Failed to open HTTP_LEGACY_ADDRESS_BOOK_EXPORTED_TEMP_FILE"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// --- Export that goes on ----------------------------------------------------------

// A failed count leaves out the memberships (see the fault injection test);
// one that leaves the count at 0 gives the header alone.
TEST_F(ExportDriversTest, CountLeftAtZeroGivesTheHeaderAlone) {
  fake().contacts = {person(5, "Ann"), person(6, "Bob")};
  fake().countResult = 1;
  fake().countValue = 0;
  EXPECT_EQ(1, exportDab("Comma"));
  std::string file = readFile(kDabFile);
  EXPECT_EQ(kDabHeaderStart, file.substr(0, kDabHeaderStart.size()));
  EXPECT_EQ(firstLine(file), file);
  EXPECT_EQ(1, fake().callCount("adlog_addressbook_export"));
  EXPECT_EQ(1, fake().callCount("DAB_DBI_Free_ContactList(restored)"));
}

TEST_F(ExportDriversTest, OnlyTheExactNameCommaGivesCommas) {
  fake().contacts = {person(5, "Ann")};
  const std::pair<const char*, char> cases[] = {
      {"Comma", ','}, {"comma", ';'}, {"", ';'}, {"Semicolon", ';'}};
  for (const auto& [name, delimiter] : cases) {
    ASSERT_EQ(1, exportDab(name));
    EXPECT_EQ(std::string("ZltAddressBookId") + delimiter + "DisplayName" + delimiter,
              readFile(kDabFile).substr(0, 29))
        << name;
    ASSERT_EQ(1, exportLegacy(name));
    EXPECT_EQ(std::string("Friendly Name") + delimiter + "E-Mail Address" + delimiter +
                  "Internet Fax Address\nAnn" + delimiter + "Ann@example.com" + delimiter + "\r\n",
              readFile(kLegacyFile))
        << name;
  }
}

TEST_F(ExportDriversTest, SecondExportOverwritesTheFirst) {
  fake().contacts = {person(5, "Ann"), person(6, "Bob")};
  ASSERT_EQ(1, exportLegacy("Comma"));
  ASSERT_EQ(1, exportDab("Comma"));
  std::string first = readFile(kDabFile);
  fake().contacts.clear();
  ASSERT_EQ(1, exportLegacy("Comma"));
  ASSERT_EQ(1, exportDab("Comma"));
  EXPECT_EQ(kLegacyHeader, readFile(kLegacyFile));
  EXPECT_EQ(firstLine(first), readFile(kDabFile));
}

TEST_F(ExportDriversTest, CountWithoutEntriesWritesTheHeaderAndSaysSo) {
  fake().countValue = 2;  // No contacts scripted: the fetch hands out no entries.
  EXPECT_EQ(1, exportDab("Comma"));
  EXPECT_EQ(1, exportLegacy("Comma"));
  EXPECT_EQ(kDabHeaderStart, readFile(kDabFile).substr(0, kDabHeaderStart.size()));
  EXPECT_EQ(kLegacyHeader, readFile(kLegacyFile));
  EXPECT_EQ(fake().logTexts(kError),
            std::vector<std::string>(2, "Contact list holds no entries, 2 expected"));
}

// A failed allocation unwinds through the method: the object still
// disconnects once, the list goes back to the database (if it was offered)
// restored, the file is closed, and no failure line or audit record appears.
TEST_F(ExportDriversTest, FailedAllocationInsideTheExportStillCleansUp) {
  const std::pair<const char*, int> cases[] = {{"DAB_DBI_GetContactsCount", 0},
                                               {"DAB_DBI_GetAllGroupIds", 1}};
  for (const auto& [call, releases] : cases) {
    fake().calls.clear();
    fake().logs.clear();
    fake().contacts = {person(5, "Ann"), person(6, "Bob")};
    fake().throwBadAllocIn = call;
    EXPECT_EQ(0, exportDab("Comma")) << call;
    EXPECT_EQ(1, fake().callCount("DAB_DBI_Disconnect")) << call;
    EXPECT_EQ(releases, fake().callCount("DAB_DBI_Free_ContactList(restored)")) << call;
    EXPECT_EQ(0, fake().callCount("DAB_DBI_Free_ContactList(moved)")) << call;
    EXPECT_EQ(0, fake().callCount("adlog_addressbook_export")) << call;
    EXPECT_TRUE(fake().logTexts(kError).empty()) << call;
    EXPECT_EQ(0, fake().listsOutstanding) << call;
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
    for (size_t i = 0; i + 1 < fake().transfers.size(); ++i) {
      EXPECT_EQ(65536u, fake().transfers[i]);
    }
  }
}

}  // namespace
}  // namespace dabtest
