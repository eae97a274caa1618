// The two export drivers through the C entry points and the methods: the
// order of every platform call, the status codes 4, 5 and 6 with what each
// leaves behind, the delimiter names, and the list released exactly once
// with its cursor restored on every way out.
#include <string>
#include <vector>

#include "DABExport.h"
#include "DABUtils.h"
#include "export_headers.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

using Calls = std::vector<std::string>;

const char kDabFile[] = "http/data/ExportedAddressBook.csv";
const char kLegacyFile[] = "http/data/LegacyExportedAddressBook.csv";

ScriptedContact person(int32_t id, const std::string& name) {
  ScriptedContact c;
  c.id = id;
  c.displayName = name;
  c.email = name + "@example.com";
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

class ExportDriversTest : public PlatformTest {};

TEST_F(ExportDriversTest, BothExportsMakeEveryCallInOrder) {
  fake().contacts = {person(5, "Ann"), person(6, "Bob")};
  fake().groupIds[6] = {9};
  EXPECT_EQ(1, exportDab("Comma"));
  Calls expected =
      callsUpTo(kNone, kDabFile, {"DAB_DBI_GetAllGroupIds(5,1)", "DAB_DBI_GetAllGroupIds(6,1)"});
  expected.push_back("DAB_DBI_Disconnect()");
  EXPECT_EQ(expected, fake().calls);
  EXPECT_EQ(kDabHeader + dabRow(5, "Ann", "") + dabRow(6, "Bob", "\"\"\"9\"\"\""),
            readFile(kDabFile));

  fake().calls.clear();
  EXPECT_EQ(1, exportLegacy("Comma"));
  expected = callsUpTo(kNone, kLegacyFile, {});
  expected.push_back("DAB_DBI_Disconnect()");
  EXPECT_EQ(expected, fake().calls);
  EXPECT_EQ(kLegacyHeader + "Ann,Ann@example.com,\r\nBob,Bob@example.com,\r\n",
            readFile(kLegacyFile));
  EXPECT_TRUE(fake().logTexts(kError).empty());
  EXPECT_EQ(0, fake().listsOutstanding);
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
      fake().reset();
      fake().dataDir = root_;
      fake().contacts = {person(1, "Ann")};
      fake().connectResult = c.failing == kConnect ? 2 : 0;
      fake().listResult = c.failing == kFetch ? 1 : 0;
      fake().failOpen = c.failing == kOpen;
      const char* file = legacy ? kLegacyFile : kDabFile;
      writeFile(file, "old contents");
      std::string comma = "Comma";
      {
        DABExport exporter;
        int status = legacy
                         ? exporter.LegacyExportAddressbook(comma.data(), nullptr, nullptr, nullptr)
                         : exporter.ExportAddressbook(comma.data(), nullptr, nullptr);
        EXPECT_EQ(c.status, status);
        EXPECT_EQ(callsUpTo(c.failing, file, {}), fake().calls);
      }
      const std::string& error = legacy ? c.legacyError : c.dabError;
      EXPECT_EQ(error.empty() ? Calls{} : Calls{error}, fake().logTexts(kError));
      EXPECT_EQ("old contents", readFile(file));
      EXPECT_EQ(1, fake().callCount("DAB_DBI_Disconnect"));
      EXPECT_EQ(0, fake().listsOutstanding);
    }
  }
}

// A failed count leaves out the memberships (see the fault injection test);
// one that leaves the count at 0 gives the header alone, and the export is
// done.
TEST_F(ExportDriversTest, CountLeftAtZeroGivesTheHeaderAlone) {
  fake().contacts = {person(5, "Ann"), person(6, "Bob")};
  fake().countResult = 1;
  fake().countValue = 0;
  EXPECT_EQ(1, exportDab("Comma"));
  EXPECT_EQ(kDabHeader, readFile(kDabFile));
  EXPECT_EQ(1, fake().callCount("adlog_addressbook_export"));
  EXPECT_EQ(1, fake().callCount("DAB_DBI_Free_ContactList(restored)"));
}

// Only the exact name "Comma" gives ',', near misses included.
TEST_F(ExportDriversTest, OnlyTheExactNameCommaGivesCommas) {
  fake().contacts = {person(5, "Ann")};
  const std::pair<const char*, char> cases[] = {
      {"Comma", ','}, {"comma", ';'}, {"COMMA", ';'}, {"Comma ", ';'},   {"CommaX", ';'},
      {"Comm", ';'},  {"", ';'},      {",", ';'},     {"Semicolon", ';'}};
  for (const auto& [name, delimiter] : cases) {
    const std::string d(1, delimiter);
    ASSERT_EQ(1, exportDab(name));
    EXPECT_EQ("ZltAddressBookId" + d + "DisplayName" + d, readFile(kDabFile).substr(0, 29)) << name;
    ASSERT_EQ(1, exportLegacy(name));
    EXPECT_EQ("Friendly Name" + d + "E-Mail Address" + d + "Internet Fax Address\nAnn" + d +
                  "Ann@example.com" + d + "\r\n",
              readFile(kLegacyFile))
        << name;
  }
}

TEST_F(ExportDriversTest, SecondExportOverwritesTheFirst) {
  fake().contacts = {person(5, "Ann"), person(6, "Bob")};
  ASSERT_EQ(1, exportLegacy("Comma"));
  ASSERT_EQ(1, exportDab("Comma"));
  fake().contacts.clear();
  ASSERT_EQ(1, exportLegacy("Comma"));
  ASSERT_EQ(1, exportDab("Comma"));
  EXPECT_EQ(kLegacyHeader, readFile(kLegacyFile));
  EXPECT_EQ(kDabHeader, readFile(kDabFile));
}

TEST_F(ExportDriversTest, CountWithoutEntriesWritesTheHeaderAndSaysSo) {
  fake().countValue = 2;  // No contacts scripted: the fetch hands out no entries.
  EXPECT_EQ(1, exportDab("Comma"));
  EXPECT_EQ(1, exportLegacy("Comma"));
  EXPECT_EQ(kDabHeader, readFile(kDabFile));
  EXPECT_EQ(kLegacyHeader, readFile(kLegacyFile));
  EXPECT_EQ(fake().logTexts(kError),
            std::vector<std::string>(2, "Contact list holds no entries, 2 expected"));
}

// A failed allocation unwinds through the method: the object still
// disconnects once, the list goes back to the database (if it was offered)
// restored, and no failure line or audit record appears.
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
    for (size_t i = 0; i + 1 < fake().transfers.size(); ++i) EXPECT_EQ(65536u, fake().transfers[i]);
  }
}

}  // namespace
}  // namespace dabtest
