// The import driver: header row, contact creation, counts, status codes, the
// contact limit and the record the database receives.
#include <algorithm>
#include <string>
#include <vector>

#include "DABImport.h"
#include "DABUtils.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

const std::string kHeader = "First,Last,Display,Company,Email,Ifax\n";

// A full data row whose display name is `name`.
std::string row(const std::string& name) {
  return "f" + name + ",l" + name + "," + name + ",c" + name + "," + name + "@x.org,fax" + name +
         "@x.org\n";
}

struct DriverCase {
  const char* name;
  std::string file;
  int result;
  ResultStatus counts;  // {-1, -1}: not written.
  std::vector<std::string> created;
  std::vector<std::string> errors;  // Error lines, in order.
};

const std::vector<std::string> kParseError = {"We have a malformed string", "Reached Default Case",
                                              "Error Parsing field"};
const std::vector<std::string> kEarlyParseError = {"We have a malformed string",
                                                   "Reached Default Case", "Error Parsing field",
                                                   "Not enough records in file", "Error Detected"};

const DriverCase kCases[] = {
    {"ThreeRows", kHeader + row("A") + row("B") + row("C"), 0, {3, 0}, {"A", "B", "C"}, {}},
    {"NoFinalLineEnd", kHeader + row("A") + row("B") + "x,y,C", 0, {2, 0}, {"A", "B"}, {}},
    {"CrLfAndLoneCr", "F,L,D\r\na,b,A\rc,d,B\r\n", 0, {2, 0}, {"A", "B"}, {}},
    {"OnlyHeader", kHeader, 0, {0, 0}, {}, {"Not enough records in file"}},
    {"EmptyFile", "", 0, {0, 0}, {}, {"Not enough records in file"}},
    {"MalformedHeader", "\"F\"x,L,D\n" + row("A"), 6, {-1, -1}, {}, kEarlyParseError},
    {"MalformedFirstRow", kHeader + "\"a\"b,l,A\n" + row("B"), 6, {-1, -1}, {}, kEarlyParseError},
    {"MalformedThirdRow",
     kHeader + row("A") + row("B") + "a,\"b\"c,C\n" + row("D"),
     3,
     {-1, -1},
     {"A", "B"},
     {kParseError[0], kParseError[1], kParseError[2], "Error Detected"}},
    {"EndOfFileInQuotes",
     kHeader + row("A") + row("B") + "a,\"b",
     3,
     {-1, -1},
     {"A", "B"},
     {"Error Parsing field", "Error Detected"}},
    {"BlankDisplayName", kHeader + "a,b,,c\n" + row("B"), 0, {1, 1}, {"B"}, {"nameField is BLANK"}},
    {"MissingDisplayName",
     kHeader + "a,b\n" + row("B"),
     0,
     {1, 1},
     {"B"},
     {"Record 2 has no displayName field"}},
    {"EmptyLinesAreNoRecords", "\n" + kHeader + "\r\n" + row("A") + "\n\n", 0, {1, 0}, {"A"}, {}},
    {"BlankHeaderDisplayNameSkipsFirstRow",
     "F,L,,C\n" + row("A") + row("B"),
     0,
     {1, 1},
     {"B"},
     {"nameField is BLANK"}},
    {"OverlongEmail",
     kHeader + "a,b,A,c," + std::string(257, 'm') + "\n" + row("B"),
     0,
     {1, 1},
     {"B"},
     {"email field is longer than 256 bytes"}},
    {"QuotedValueOverTwoLines", kHeader + "a,b,\"A\nZ\"\n", 0, {1, 0}, {"A Z"}, {}},
};

class ImportDriverTest : public PlatformTest {
 protected:
  // Runs the method on a fresh object over `file`.
  int import(const std::string& file, std::string delimiterName = "Comma") {
    writeFile("http/data/addressbook.txt", file);
    DABImport importer;
    return importer.importAddressbook(delimiterName.data(), nullptr, nullptr, &result_);
  }

  static std::vector<std::string> createdNames() {
    std::vector<std::string> names;
    for (const CreatedContact& c : fake().created) names.push_back(c.displayName);
    return names;
  }

  void expectCounts(int success, int failure) const {
    EXPECT_EQ(success, result_.successCount);
    EXPECT_EQ(failure, result_.failureCount);
  }

  ResultStatus result_{-1, -1};
};

TEST_F(ImportDriverTest, ResultsCountsCreatedContactsAndErrorLines) {
  for (const DriverCase& c : kCases) {
    SCOPED_TRACE(c.name);
    fake().reset();
    fake().dataDir = root_;
    result_ = ResultStatus{-1, -1};
    EXPECT_EQ(c.result, import(c.file));
    expectCounts(c.counts.successCount, c.counts.failureCount);
    EXPECT_EQ(c.created, createdNames());
    EXPECT_EQ(c.errors, fake().logTexts(kError));
  }
}

TEST_F(ImportDriverTest, DatabaseReceivesAnIndividualPointingAtTheValues) {
  ASSERT_EQ(0, import(kHeader + "Ann,Lee,Ann Lee,ACME,ann@x.org,fax@x.org\n" + "Bob,Ray,Bob\n"));
  ASSERT_EQ(2u, fake().created.size());
  const CreatedContact& ann = fake().created[0];
  EXPECT_EQ(0, ann.record.id);
  EXPECT_EQ(DAB_DBI_INDIVIDUAL, ann.record.dlType);
  EXPECT_EQ(0, ann.record.reserved12);
  EXPECT_EQ(0, ann.record.reserved16);
  EXPECT_NE(nullptr, ann.record.person);
  EXPECT_NE(nullptr, ann.record.email);
  EXPECT_NE(nullptr, ann.record.internetFax);
  EXPECT_EQ(nullptr, ann.record.scan);
  EXPECT_EQ(nullptr, ann.record.fax);
  EXPECT_EQ(nullptr, ann.record.favorites);
  EXPECT_EQ(0, ann.person.reserved12);
  EXPECT_EQ(0, ann.email.reserved4);
  EXPECT_EQ(0, ann.email.isFavorite);
  EXPECT_EQ(0, ann.ifax.reserved4);
  EXPECT_EQ(-1, ann.newContactIdOnEntry);
  EXPECT_EQ((std::vector<std::string>{"Ann Lee", "Ann", "Lee", "ACME", "ann@x.org", "fax@x.org"}),
            (std::vector<std::string>{ann.displayName, ann.firstName, ann.lastName, ann.company,
                                      ann.emailAddress, ann.ifaxAddress}));
  // The short record carries nothing of the one before it.
  const CreatedContact& bob = fake().created[1];
  EXPECT_EQ((std::vector<std::string>{"Bob", "Bob", "Ray", "", "", ""}),
            (std::vector<std::string>{bob.displayName, bob.firstName, bob.lastName, bob.company,
                                      bob.emailAddress, bob.ifaxAddress}));
  EXPECT_EQ(-1, bob.newContactIdOnEntry);
}

TEST_F(ImportDriverTest, RefusedContactCountsAsFailure) {
  fake().refuseCreateCall = {1};
  EXPECT_EQ(0, import(kHeader + row("A") + row("B") + row("C")));
  expectCounts(2, 1);
  EXPECT_EQ(createdNames(), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(1, std::count(fake().logs.begin(), fake().logs.end(),
                          LogLine{kDebug, "Contact Not Added 3 \n"}));
}

TEST_F(ImportDriverTest, FullDatabaseReadsNothing) {
  fake().countValue = 65000;
  EXPECT_EQ(0, import(kHeader + row("A")));
  expectCounts(0, 0);
  EXPECT_EQ(0, fake().createCalls);
  EXPECT_EQ(fake().logTexts(kError), (std::vector<std::string>{"Not enough records in file"}));
  EXPECT_EQ(0, std::count(fake().logs.begin(), fake().logs.end(),
                          LogLine{kInfo, "ABA_PARSE_END_OF_FIELD_STATE"}));
}

TEST_F(ImportDriverTest, StopsAtTheContactLimit) {
  fake().countValue = 64998;
  EXPECT_EQ(0, import(kHeader + row("A") + row("B") + row("C") + row("D") + row("E")));
  expectCounts(2, 0);
  EXPECT_EQ(2, fake().createCalls);
  EXPECT_EQ(fake().logs.back(), (LogLine{kInfo, "Import Log is closed successfully 0"}));
}

TEST_F(ImportDriverTest, OnlySemicolonSelectsSemicolon) {
  const std::string file = "F;L;D\na;b;A\n";
  EXPECT_EQ(0, import(file, "Semicolon"));
  expectCounts(1, 0);
  ASSERT_EQ(1u, fake().created.size());
  EXPECT_EQ("a", fake().created[0].firstName);
  for (const char* other : {"semicolon", "Comma", ";"}) {
    SCOPED_TRACE(other);
    EXPECT_EQ(0, import(file, other));
    expectCounts(0, 1);  // One field: no display name.
    EXPECT_EQ(1u, fake().created.size());
  }
}

TEST_F(ImportDriverTest, UnopenableFileFailsWithTwoLines) {
  fake().failOpen = true;
  char comma[] = "Comma";
  EXPECT_EQ(0, AddressBookImport(comma, nullptr, nullptr, &result_));
  expectCounts(-1, -1);
  EXPECT_EQ(fake().calls,
            (std::vector<std::string>{
                "DAB_DBI_Connect()", "DAB_DBI_GetContactsCount(0)", "xpaths_get_path(nc_dlms_data)",
                "xpaths_open_file(DATA,http/data/addressbook.txt,r)", "DAB_DBI_Disconnect()"}));
  EXPECT_EQ(fake().logs, (std::vector<LogLine>{
                             {kLibEnter, "AddressBookImport"},
                             {kLibEnter, "importAddressbook"},
                             {kDebug, "Contacts Count: 0"},
                             {kError, "Failed to open Address Book File http/data/addressbook.txt"},
                             {kError, "Failed to open Imported Address Book File"},
                             {kError, "Could not Import Addressbook"},
                         }));
}

TEST_F(ImportDriverTest, LogOfOneSmallImport) {
  writeFile("http/data/addressbook.txt", "F,L,D\nA,B,C\n");
  char comma[] = "Comma";
  EXPECT_EQ(1, AddressBookImport(comma, nullptr, nullptr, &result_));
  expectCounts(1, 0);
  std::vector<LogLine> expected{{kLibEnter, "AddressBookImport"},
                                {kLibEnter, "importAddressbook"},
                                {kDebug, "Contacts Count: 0"}};
  auto field = [&](const std::string& value, const char* end) {
    expected.push_back({kInfo, std::string("Value of *ch \0", 14)});
    expected.push_back({kInfo, "Value of *ch " + value});
    expected.push_back({kInfo, end});
  };
  const char* kField = "ABA_PARSE_END_OF_FIELD_STATE";
  const char* kRecord = "ABA_PARSE_END_OF_RECORD_STATE";
  auto delivered = [&](int position, const std::string& name, const std::string& value) {
    expected.push_back({kInfo, "value of fieldCnt " + std::to_string(position) + " "});
    expected.push_back({kInfo, "Found a matching field for " + name + ": XX" + value + "XX "});
  };
  field("F", kField);
  delivered(0, "firstName", "F");
  field("L", kField);
  delivered(1, "lastName", "L");
  field("D", kRecord);
  expected.push_back({kInfo, "Successfully Parsed record Number 1"});
  delivered(2, "displayName", "D");
  expected.push_back({kInfo, "Field number for first record: 2"});
  field("A", kField);
  delivered(0, "firstName", "A");
  field("B", kField);
  delivered(1, "lastName", "B");
  field("C", kRecord);
  expected.push_back({kInfo, "Successfully Parsed record Number 2"});
  delivered(2, "displayName", "C");
  expected.insert(expected.end(), {
                                      {kDebug, "Contact Added Successfully C"},
                                      {kDebug, "Records Imported: 1, Total Records: 1 \n"},
                                      {kInfo, std::string("Value of *ch \0", 14)},
                                      {kInfo, "Found EOF"},
                                      {kInfo, "ABA_PARSE_END_OF_FILE_STATE"},
                                      {kInfo, "Success Count = 1 \n"},
                                      {kInfo, "Failure Count = 0 \n"},
                                      {kInfo, "Value of record Number 2, Value of Total Mapping 2"},
                                      {kInfo, "Import Address Book is closed successfully 0"},
                                      {kInfo, "ImportLog is closed successfully"},
                                      {kInfo, "Import Log is closed successfully 0"},
                                  });
  EXPECT_EQ(expected, fake().logs);
  EXPECT_EQ(fake().calls,
            (std::vector<std::string>{"DAB_DBI_Connect()", "DAB_DBI_GetContactsCount(0)",
                                      "xpaths_get_path(nc_dlms_data)",
                                      "xpaths_open_file(DATA,http/data/addressbook.txt,r)",
                                      "DAB_DBI_CreateContact()", "DAB_DBI_Disconnect()"}));
}

}  // namespace
}  // namespace dabtest
