// The import driver: header row, contact creation, counts, status codes, the
// contact limit and the record the database receives.
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "DABImport.h"
#include "DABUtils.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

const std::string kHeader = "First,Last,Display,Company,Email,Ifax\n";
const std::string kLong(257, 'm');
const char kLongEmail[] = "email field is longer than 256 bytes";

// A full data row whose display name is `name`.
std::string row(const std::string& name) {
  return "f,l," + name + ",c," + name + "@x.org," + name + "@y.org\n";
}

struct DriverCase {
  const char* name;
  std::string file;
  int result;
  ResultStatus counts;  // {-1, -1}: not written.
  std::vector<std::string> created;
  std::vector<std::string> errors;  // Error lines, in order.
};

const char kNotEnough[] = "Not enough records in file";
const char kBlank[] = "nameField is BLANK";
const char kNoName[] = "Record 2 has no displayName field";
const std::vector<std::string> kEarlyError = {"We have a malformed string", "Reached Default Case",
                                              "Error Parsing field", kNotEnough, "Error Detected"};
const std::vector<std::string> kLateError = {"We have a malformed string", "Reached Default Case",
                                             "Error Parsing field", "Error Detected"};
const std::string kAB = kHeader + row("A") + row("B");

const DriverCase kCases[] = {
    {"ThreeRows", kAB + row("C"), 0, {3, 0}, {"A", "B", "C"}, {}},
    {"NoFinalLineEnd", kAB + "x,y,C", 0, {2, 0}, {"A", "B"}, {}},
    {"OnlyHeader", kHeader, 0, {0, 0}, {}, {kNotEnough}},
    {"EmptyFile", "", 0, {0, 0}, {}, {kNotEnough}},
    {"MalformedHeader", "\"F\"x,L,D\n" + row("A"), 6, {-1, -1}, {}, kEarlyError},
    {"MalformedFirstRow", kHeader + "\"a\"b,l,A\n" + row("B"), 6, {-1, -1}, {}, kEarlyError},
    {"MalformedThirdRow", kAB + "a,\"b\"c\n" + row("D"), 3, {-1, -1}, {"A", "B"}, kLateError},
    {"BlankDisplayName", kHeader + "a,b,,c\n" + row("B"), 0, {1, 1}, {"B"}, {kBlank}},
    {"NoDisplayName", kHeader + "a,b\n" + row("B"), 0, {1, 1}, {"B"}, {kNoName}},
    {"EmptyLinesAreNoRecords", "\n" + kHeader + "\r\n" + row("A") + "\n\n", 0, {1, 0}, {"A"}, {}},
    {"BlankHeaderName", "F,L,,C\n" + row("A") + row("B"), 0, {1, 1}, {"B"}, {kBlank}},
    {"LongEmail", kHeader + "a,b,A,c," + kLong + "\n" + row("B"), 0, {1, 1}, {"B"}, {kLongEmail}},
    {"LongHeaderTitle", "F,L,D,C," + kLong + "\n" + row("A"), 0, {1, 0}, {"A"}, {kLongEmail}},
};

class ImportDriverTest : public PlatformTest {
 protected:
  // Runs the method on a fresh object over `file`; *result_ starts at -1, -1.
  int import(const std::string& file, std::string delimiterName = "Comma") {
    writeFile("http/data/addressbook.txt", file);
    result_ = ResultStatus{-1, -1};
    DABImport importer;
    return importer.importAddressbook(delimiterName.data(), nullptr, nullptr, &result_);
  }

  std::vector<int> counts() const { return {result_.successCount, result_.failureCount}; }

  static std::vector<std::string> createdNames() {
    std::vector<std::string> names;
    for (const CreatedContact& c : fake().created) names.push_back(c.displayName);
    return names;
  }

  ResultStatus result_{-1, -1};
};

TEST_F(ImportDriverTest, ResultsCountsCreatedContactsAndErrorLines) {
  for (const DriverCase& c : kCases) {
    SCOPED_TRACE(c.name);
    fake().reset();
    fake().dataDir = root_;
    EXPECT_EQ(c.result, import(c.file));
    EXPECT_EQ(counts(), (std::vector<int>{c.counts.successCount, c.counts.failureCount}));
    EXPECT_EQ(c.created, createdNames());
    EXPECT_EQ(c.errors, fake().logTexts(kError));
  }
}

TEST_F(ImportDriverTest, DatabaseReceivesAnIndividualPointingAtTheValues) {
  ASSERT_EQ(0, import(kHeader + "Ann,Lee,Ann Lee,ACME,ann@x.org,fax@x.org\nBob,Ray,Bob\n"));
  ASSERT_EQ(2u, fake().created.size());
  for (const CreatedContact& c : fake().created) {
    const DAB_DBI_Contact_t& r = c.record;
    EXPECT_EQ((std::vector<int>{r.id, r.dlType, r.reserved12, r.reserved16, c.person.reserved12,
                                c.email.reserved4, c.email.isFavorite, c.ifax.reserved4}),
              std::vector<int>(8, 0));
    EXPECT_TRUE(r.person && r.email && r.internetFax);
    EXPECT_TRUE(!r.scan && !r.fax && !r.favorites);
    EXPECT_EQ(-1, c.newContactIdOnEntry);
  }
  auto texts = [](const CreatedContact& c) {
    return std::vector<std::string>{c.displayName, c.firstName,    c.lastName,
                                    c.company,     c.emailAddress, c.ifaxAddress};
  };
  EXPECT_EQ(texts(fake().created[0]),
            (std::vector<std::string>{"Ann Lee", "Ann", "Lee", "ACME", "ann@x.org", "fax@x.org"}));
  // The short record carries nothing of the one before it.
  EXPECT_EQ(texts(fake().created[1]), (std::vector<std::string>{"Bob", "Bob", "Ray", "", "", ""}));
}

TEST_F(ImportDriverTest, RefusedContactCountsAsFailure) {
  fake().refuseCreateCall = {1};
  EXPECT_EQ(0, import(kAB + row("C")));
  EXPECT_EQ(counts(), (std::vector<int>{2, 1}));
  EXPECT_EQ(createdNames(), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(1, std::count(fake().logs.begin(), fake().logs.end(),
                          LogLine{kDebug, "Contact Not Added 3 \n"}));
}

TEST_F(ImportDriverTest, ContactLimit) {
  fake().countValue = 65000;
  EXPECT_EQ(0, import(kHeader + row("A")));
  EXPECT_EQ(counts(), (std::vector<int>{0, 0}));
  EXPECT_EQ(fake().logTexts(kError), std::vector<std::string>{kNotEnough});
  EXPECT_EQ(0, std::count(fake().logs.begin(), fake().logs.end(), LogLine{kInfo, "Found EOF"}));
  fake().countValue = 64998;
  EXPECT_EQ(0, import(kHeader + row("A") + row("B") + row("C") + row("D")));
  EXPECT_EQ(counts(), (std::vector<int>{2, 0}));
  EXPECT_EQ(2, fake().createCalls);
}

TEST_F(ImportDriverTest, OnlySemicolonSelectsSemicolon) {
  const std::string file = "F;L;D\na;b;A\n";
  EXPECT_EQ(0, import(file, "Semicolon"));
  EXPECT_EQ(counts(), (std::vector<int>{1, 0}));
  for (const char* other : {"semicolon", "Comma", ";"}) {
    EXPECT_EQ(0, import(file, other));
    EXPECT_EQ(counts(), (std::vector<int>{0, 1})) << other;  // One field: no display name.
  }
}

TEST_F(ImportDriverTest, UnopenableFileFailsWithTwoLines) {
  fake().failOpen = true;
  EXPECT_EQ(1, import(kAB));
  EXPECT_EQ(counts(), (std::vector<int>{-1, -1}));
  EXPECT_EQ(fake().calls,
            (std::vector<std::string>{
                "DAB_DBI_Connect()", "DAB_DBI_GetContactsCount(0)", "xpaths_get_path(nc_dlms_data)",
                "xpaths_open_file(DATA,http/data/addressbook.txt,r)", "DAB_DBI_Disconnect()"}));
  EXPECT_EQ(fake().logs, (std::vector<LogLine>{
                             {kLibEnter, "importAddressbook"},
                             {kDebug, "Contacts Count: 0"},
                             {kError, "Failed to open Address Book File http/data/addressbook.txt"},
                             {kError, "Failed to open Imported Address Book File"}}));
}

// Every log line of a complete import, the quoting states' included.
TEST_F(ImportDriverTest, LogOfOneSmallImport) {
  writeFile("http/data/addressbook.txt", "H\n\"x\"\"y\",\"p\nq\",C\n");
  char comma[] = "Comma";
  EXPECT_EQ(1, AddressBookImport(comma, nullptr, nullptr, &result_));
  EXPECT_EQ(counts(), (std::vector<int>{1, 0}));
  auto info = [](const std::string& text) { return LogLine{kInfo, text}; };
  auto state = [&](int counter, const std::string& ch, const std::string& value) {
    return info("STATE = ABA_PARSE_EMBEDDED_QUOTE_STATE, Value of Counter " +
                std::to_string(counter) + ",Value of CH IN EMBEDDED QUOTE STATE " + ch +
                " value of string " + value + " ");
  };
  const LogLine none = info(std::string("Value of *ch \0", 14));
  const LogLine field = info("ABA_PARSE_END_OF_FIELD_STATE");
  const LogLine record = info("ABA_PARSE_END_OF_RECORD_STATE");
  EXPECT_EQ(fake().logs,
            (std::vector<LogLine>{{kLibEnter, "AddressBookImport"},
                                  {kLibEnter, "importAddressbook"},
                                  {kDebug, "Contacts Count: 0"},
                                  none,
                                  info("Value of *ch H"),
                                  record,
                                  info("Successfully Parsed record Number 1"),
                                  info("value of fieldCnt 0 "),
                                  info("Found a matching field for firstName: XXHXX "),
                                  info("Field number for first record: 0"),
                                  none,
                                  info("Escaping the field for java script x "),
                                  state(1, "\"", "x"),
                                  info("Found Quote - Add field and go back to Quoted Field State"),
                                  info("Escaping the field for java script x\"y "),
                                  state(3, ",", "x\"y"),
                                  info("Found Comma - End of field"),
                                  field,
                                  info("value of fieldCnt 0 "),
                                  info("Found a matching field for firstName: XXx\"yXX "),
                                  none,
                                  info("We HIT a new line character in QUOTE 32"),
                                  info("Escaping the field for java script p q "),
                                  state(3, ",", "p q"),
                                  info("Found Comma - End of field"),
                                  field,
                                  info("value of fieldCnt 1 "),
                                  info("Found a matching field for lastName: XXp qXX "),
                                  none,
                                  info("Value of *ch C"),
                                  record,
                                  info("Successfully Parsed record Number 2"),
                                  info("value of fieldCnt 2 "),
                                  info("Found a matching field for displayName: XXCXX "),
                                  {kDebug, "Contact Added Successfully C"},
                                  {kDebug, "Records Imported: 1, Total Records: 1 \n"},
                                  none,
                                  info("Found EOF"),
                                  info("ABA_PARSE_END_OF_FILE_STATE"),
                                  info("Success Count = 1 \n"),
                                  info("Failure Count = 0 \n"),
                                  info("Value of record Number 2, Value of Total Mapping 2"),
                                  info("Import Address Book is closed successfully 0"),
                                  info("ImportLog is closed successfully"),
                                  info("Import Log is closed successfully 0")}));
}

// The upload is read in blocks of 64 KiB, not of the C library's default.
TEST_F(ImportDriverTest, TheUploadIsReadInLargeBlocks) {
  std::string file = kHeader;
  for (int i = 0; i < 4000; ++i) file += row("Contact" + std::to_string(i));
  ASSERT_GT(file.size(), 2 * 65536u);
  fake().recordTransfers = true;
  EXPECT_EQ(0, import(file));
  EXPECT_EQ(4000, result_.successCount);
  ASSERT_FALSE(fake().transfers.empty());
  for (size_t size : fake().transfers) EXPECT_EQ(65536u, size);
}

// The import holds the upload's stream from its first field to its last, so
// the parser's lock per field costs no atomic operation: while a contact is
// created between two fields, another thread cannot take the stream.
TEST_F(ImportDriverTest, TheUploadStaysLockedBetweenFields) {
  std::vector<int> lockedForOthers;
  fake().duringCreate = [&] {
    std::thread([&] {
      bool taken = ftrylockfile(fake().lastOpened) == 0;
      if (taken) funlockfile(fake().lastOpened);
      lockedForOthers.push_back(!taken);
    }).join();
  };
  EXPECT_EQ(0, import(kAB));
  EXPECT_EQ((std::vector<int>{1, 1}), lockedForOthers);
}

}  // namespace
}  // namespace dabtest
