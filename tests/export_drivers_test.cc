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

struct FailureCase {
  const char* name;
  bool legacy;
  void (*script)();
  int status;
  Calls callsAfterConnect;  // Up to, not including, the destructor's disconnect.
  std::vector<std::string> errors;
};

class ExportFailureTest : public PlatformTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ExportFailureTest, ReturnsItsStatusAndLeavesNoFileNorAuditRecord) {
  const FailureCase& c = GetParam();
  fake().contacts = {person(1, "Ann")};
  c.script();
  const char* file = c.legacy ? kLegacyFile : kDabFile;
  writeFile(file, "old contents");
  std::string comma = "Comma";
  {
    DABExport exporter;
    int status = c.legacy
                     ? exporter.LegacyExportAddressbook(comma.data(), nullptr, nullptr, nullptr)
                     : exporter.ExportAddressbook(comma.data(), nullptr, nullptr);
    EXPECT_EQ(c.status, status);
    Calls expected{"DAB_DBI_Connect()"};
    expected.insert(expected.end(), c.callsAfterConnect.begin(), c.callsAfterConnect.end());
    EXPECT_EQ(expected, fake().calls);
  }
  EXPECT_EQ(c.errors, fake().logTexts(kError));
  EXPECT_EQ("old contents", readFile(file));
  EXPECT_EQ(0, fake().callCount("adlog_addressbook_export"));
  EXPECT_EQ(1, fake().callCount("DAB_DBI_Disconnect"));
  EXPECT_EQ(0, fake().listsOutstanding);
}

const Calls kFetchFails = {"DAB_DBI_GetContactsCount(0)", "DAB_DBI_GetContactList(0,0)",
                           "DAB_DBI_Free_ContactList(restored)"};
const Calls kDabOpenFails = {"DAB_DBI_GetContactsCount(0)",
                             "DAB_DBI_GetContactList(0,0)",
                             "chmod(http/data/ExportedAddressBook.csv,0666)",
                             "xpaths_get_path(nc_dlms_data)",
                             "xpaths_open_file(DATA,http/data/ExportedAddressBook.csv,w)",
                             "DAB_DBI_Free_ContactList(restored)"};
const Calls kLegacyOpenFails = {"DAB_DBI_GetContactsCount(0)",
                                "DAB_DBI_GetContactList(0,0)",
                                "chmod(http/data/LegacyExportedAddressBook.csv,0666)",
                                "xpaths_get_path(nc_dlms_data)",
                                "xpaths_open_file(DATA,http/data/LegacyExportedAddressBook.csv,w)",
                                "DAB_DBI_Free_ContactList(restored)"};
const char kFetchLine[] = "Cannot get the list of contact from Database";

INSTANTIATE_TEST_SUITE_P(
    BothFormats, ExportFailureTest,
    ::testing::Values(
        FailureCase{"DabNotConnected", false, [] { fake().connectResult = 2; }, 4, {}, {}},
        FailureCase{"LegacyNotConnected", true, [] { fake().connectResult = 2; }, 4, {}, {}},
        FailureCase{
            "DabFetchFails", false, [] { fake().listResult = 1; }, 5, kFetchFails, {kFetchLine}},
        FailureCase{
            "LegacyFetchFails", true, [] { fake().listResult = 1; }, 5, kFetchFails, {kFetchLine}},
        FailureCase{"DabOpenFails",
                    false,
                    [] { fake().failOpen = true; },
                    6,
                    kDabOpenFails,
                    {"Failed to open HTTP_ADDRESS_BOOK_EXPORTED_TEMP_FILE"}},
        FailureCase{"LegacyOpenFails",
                    true,
                    [] { fake().failOpen = true; },
                    6,
                    kLegacyOpenFails,
                    {"Failed to open HTTP_LEGACY_ADDRESS_BOOK_EXPORTED_TEMP_FILE"}}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// --- Export that goes on ----------------------------------------------------------

TEST_F(ExportDriversTest, FailedCountStillExportsWithoutMemberships) {
  fake().contacts = {person(5, "Ann"), person(6, "Bob")};
  fake().groupIds[5] = {9};
  fake().countResult = 1;
  EXPECT_EQ(1, exportDab("Comma"));
  std::string file = readFile(kDabFile);
  EXPECT_EQ(3u, std::count(file.begin(), file.end(), '\n'));
  EXPECT_NE(std::string::npos, file.find("\r\n5,Ann,,,,,,0,"));
  EXPECT_EQ(0, fake().callCount("DAB_DBI_GetAllGroupIds"));

  fake().countValue = 0;  // A count call that leaves the count at 0: header only.
  EXPECT_EQ(1, exportDab("Comma"));
  EXPECT_EQ(firstLine(file), readFile(kDabFile));
  EXPECT_EQ(2, fake().callCount("adlog_addressbook_export"));
  EXPECT_EQ(2, fake().callCount("DAB_DBI_Free_ContactList(restored)"));
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

TEST_F(ExportDriversTest, FullDiskStillCountsAsExported) {
  fake().contacts = {person(5, "Ann")};
  fake().openInstead = "/dev/full";
  EXPECT_EQ(1, exportDab("Comma"));
  EXPECT_EQ(1, exportLegacy("Comma"));
  EXPECT_EQ(2, fake().callCount("adlog_addressbook_export"));
  EXPECT_EQ(2, fake().callCount("DAB_DBI_Free_ContactList(restored)"));
  EXPECT_TRUE(fake().logTexts(kError).empty());
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

}  // namespace
}  // namespace dabtest
