// The import driver: header row, contact creation, counts, status codes, the
// contact limit, the flags that must not outlive their record and the record
// the database receives.
#include <string>
#include <thread>
#include <vector>

#include "DABImport.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

const std::string kHeader = "First,Last,Display,Company,Email,Ifax\n";
const std::string kLong(257, 'm');

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
const char kLongEmail[] = "email field is longer than 256 bytes";
const std::vector<std::string> kEarlyError = {"We have a malformed string", "Reached Default Case",
                                              "Error Parsing field", kNotEnough, "Error Detected"};
const std::vector<std::string> kLateError = {"We have a malformed string", "Reached Default Case",
                                             "Error Parsing field", "Error Detected"};
const std::string kAB = kHeader + row("A") + row("B");

const DriverCase kCases[] = {
    {"ThreeRows", kAB + row("C"), 0, {3, 0}, {"A", "B", "C"}, {}},
    {"HeaderAndOneRow", kHeader + row("A"), 0, {1, 0}, {"A"}, {}},
    {"NoFinalLineEnd", kAB + "x,y,C", 0, {2, 0}, {"A", "B"}, {}},
    {"OnlyHeader", kHeader, 0, {0, 0}, {}, {kNotEnough}},
    {"EmptyFile", "", 0, {0, 0}, {}, {kNotEnough}},
    {"MalformedHeader", "\"F\"x,L,D\n" + row("A"), 6, {-1, -1}, {}, kEarlyError},
    {"MalformedFirstRow", kHeader + "\"a\"b,l,A\n" + row("B"), 6, {-1, -1}, {}, kEarlyError},
    {"MalformedThirdRow", kAB + "a,\"b\"c\n" + row("D"), 3, {-1, -1}, {"A", "B"}, kLateError},
    {"EndOfFileInQuotes",
     kAB + "a,\"b",
     3,
     {-1, -1},
     {"A", "B"},
     {"Error Parsing field", "Error Detected"}},
    {"BlankDisplayName",
     kHeader + "a,b,,c\n" + row("B") + row("C"),
     0,
     {2, 1},
     {"B", "C"},
     {kBlank}},
    {"NoDisplayName",
     kHeader + "a,b\n" + row("B"),
     0,
     {1, 1},
     {"B"},
     {"Record 2 has no displayName field"}},
    {"DisplayNameIsTheLastField", kHeader + "a,b,C\n", 0, {1, 0}, {"C"}, {}},
    {"EmptyLinesAreNoRecords", "\n" + kHeader + "\r\n" + row("A") + "\n\n", 0, {1, 0}, {"A"}, {}},
    // The header's blank display name refuses the first data record only.
    {"BlankHeaderName", "F,L,,C\n" + row("A") + row("B"), 0, {1, 1}, {"B"}, {kBlank}},
    {"BlankHeaderNameThenNoDisplayName",
     "F,L,,C\na,b\n" + row("B"),
     0,
     {1, 1},
     {"B"},
     {kBlank, "Record 2 has no displayName field"}},
    {"LongEmail", kHeader + "a,b,A,c," + kLong + "\n" + row("B"), 0, {1, 1}, {"B"}, {kLongEmail}},
    {"LongHeaderTitle", "F,L,D,C," + kLong + "\n" + row("A"), 0, {1, 0}, {"A"}, {kLongEmail}}};

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

// An individual with person, e-mail and internet-fax records and nothing
// else; a short record carries nothing of the one before it.
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
  EXPECT_EQ(texts(fake().created[1]), (std::vector<std::string>{"Bob", "Bob", "Ray", "", "", ""}));
}

// The lines a person reads after an import: each record's outcome and the
// counts.
TEST_F(ImportDriverTest, RefusedContactCountsAsFailureAndIsLogged) {
  fake().refuseCreateCall = {1};
  EXPECT_EQ(0, import(kAB + row("C")));
  EXPECT_EQ(counts(), (std::vector<int>{2, 1}));
  EXPECT_EQ(createdNames(), (std::vector<std::string>{"A", "C"}));
  std::vector<std::string> outcomes = fake().logTexts(kDebug);
  for (const std::string& line : fake().logTexts(kInfo)) {
    if (line.find("Count = ") != std::string::npos) outcomes.push_back(line);
  }
  EXPECT_EQ(outcomes,
            (std::vector<std::string>{"Contacts Count: 0", "Contact Added Successfully A",
                                      "Records Imported: 1, Total Records: 1 \n",
                                      "Contact Not Added 3 \n", "Contact Added Successfully C",
                                      "Records Imported: 2, Total Records: 2 \n",
                                      "Success Count = 2 \n", "Failure Count = 1 \n"}));
}

// The database holds at most 65000 contacts: the import reads on only while
// fewer are there, counting those it creates.
TEST_F(ImportDriverTest, ContactLimit) {
  const std::string file = kHeader + row("A") + row("B") + row("C");
  const struct {
    int inDatabase;
    std::vector<int> counts;
    std::vector<std::string> errors;
  } cases[] = {
      {64997, {3, 0}, {}}, {64998, {2, 0}, {}}, {64999, {1, 0}, {}}, {65000, {0, 0}, {kNotEnough}}};
  for (const auto& c : cases) {
    fake().reset();
    fake().dataDir = root_;
    fake().countValue = c.inDatabase;
    EXPECT_EQ(0, import(file)) << c.inDatabase;
    EXPECT_EQ(c.counts, counts()) << c.inDatabase;
    EXPECT_EQ(c.errors, fake().logTexts(kError)) << c.inDatabase;
  }
}

TEST_F(ImportDriverTest, OnlyTheExactNameSemicolonSelectsIt) {
  const std::string file = "F;L;D\na;b;A\n";
  EXPECT_EQ(0, import(file, "Semicolon"));
  EXPECT_EQ(counts(), (std::vector<int>{1, 0}));
  for (const char* other :
       {"semicolon", "SEMICOLON", "Semicolon ", "SemicolonX", "Semicolo", "Comma", ";", ""}) {
    EXPECT_EQ(0, import(file, other));
    EXPECT_EQ(counts(), (std::vector<int>{0, 1})) << other;  // One field: no display name.
  }
}

// Without a connection the import opens nothing and reports status 1.
TEST_F(ImportDriverTest, NotConnectedIsStatusOne) {
  fake().connectResult = 1;
  EXPECT_EQ(1, import(kAB));
  EXPECT_EQ(counts(), (std::vector<int>{-1, -1}));
  EXPECT_EQ(fake().calls, (std::vector<std::string>{"DAB_DBI_Connect()", "DAB_DBI_Disconnect()"}));
}

TEST_F(ImportDriverTest, UnopenableFileFailsWithTwoLines) {
  fake().failOpen = true;
  EXPECT_EQ(1, import(kAB));
  EXPECT_EQ(counts(), (std::vector<int>{-1, -1}));
  EXPECT_EQ(fake().calls,
            (std::vector<std::string>{
                "DAB_DBI_Connect()", "DAB_DBI_GetContactsCount(0)", "xpaths_get_path(nc_dlms_data)",
                "xpaths_open_file(DATA,http/data/addressbook.txt,r)", "DAB_DBI_Disconnect()"}));
  EXPECT_EQ(fake().logTexts(kError),
            (std::vector<std::string>{"Failed to open Address Book File http/data/addressbook.txt",
                                      "Failed to open Imported Address Book File"}));
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

// The import holds the upload's stream from its first field to its last:
// while a contact is created between two fields, another thread cannot take
// the stream.
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
