// The five C entry points: entry and failure lines, one connect and one
// disconnect per export or import call, none for the samples, results 1 and 0.
#include "DABUtils.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

class EntryPointsTest : public PlatformTest {};

TEST_F(EntryPointsTest, RefusedConnectionFailsEachExportAndStillDisconnects) {
  fake().connectResult = 7;
  char comma[] = "Comma";
  EXPECT_EQ(0, AdressBookExport(comma, nullptr, nullptr));
  EXPECT_EQ(0, LegacyAdressBookExport(comma, nullptr, nullptr, nullptr));
  EXPECT_EQ(fake().calls, (std::vector<std::string>{"DAB_DBI_Connect()", "DAB_DBI_Disconnect()",
                                                    "DAB_DBI_Connect()", "DAB_DBI_Disconnect()"}));
  EXPECT_EQ(fake().logs, (std::vector<LogLine>{
                             {kLibEnter, "AdressBookExport"},
                             {kLibEnter, "ExportAddressbook"},
                             {kError, "Could not Export Addressbook"},
                             {kLibEnter, "LegacyAdressBookExport"},
                             {kLibEnter, "LegacyExportAddressbook"},
                             {kError, "Could not Export Legacy Addressbook"},
                         }));
  EXPECT_FALSE(fileExists("http/data/ExportedAddressBook.csv"));
}

TEST_F(EntryPointsTest, RefusedConnectionFailsTheImportWithoutTouchingTheResult) {
  fake().connectResult = 1;
  ResultStatus result{-5, -6};
  char comma[] = "Comma";
  EXPECT_EQ(0, AddressBookImport(comma, nullptr, nullptr, &result));
  EXPECT_EQ(-5, result.successCount);
  EXPECT_EQ(-6, result.failureCount);
  EXPECT_EQ(fake().calls, (std::vector<std::string>{"DAB_DBI_Connect()", "DAB_DBI_Disconnect()"}));
  EXPECT_EQ(fake().logs, (std::vector<LogLine>{
                             {kLibEnter, "AddressBookImport"},
                             {kLibEnter, "importAddressbook"},
                             {kDebug, "Connection not estabilished"},
                             {kError, "Could not Import Addressbook"},
                         }));
}

TEST_F(EntryPointsTest, SamplesSucceedWithoutTheDatabase) {
  fake().connectResult = 1;  // Unreachable database.
  char comma[] = "Comma";
  EXPECT_EQ(1, GenerateSampleDAB(comma, nullptr, nullptr, 15));
  EXPECT_EQ(1, GenerateSampleLegacy(comma));
  EXPECT_EQ(0, fake().callCount("DAB_DBI_"));
  EXPECT_EQ(fake().logs.front(), (LogLine{kLibEnter, "GenerateSampleDAB"}));
  EXPECT_TRUE(fake().logTexts(kError).empty());
}

}  // namespace
}  // namespace dabtest
