// DABImport: the CSV parser field by field, each field's checks and buffer,
// and the driver's header row, counts, status codes, contact limit and the
// record the database receives.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DABImport.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

// --- The record parser ---------------------------------------------------------

struct Field {
  int result;
  std::string value;  // The stored bytes, NULs included.
  bool operator==(const Field& other) const {
    return result == other.result && value == other.value;
  }
};
void PrintTo(const Field& field, std::ostream* os) {
  *os << "{" << field.result << ", \"" << field.value << "\"}";
}

struct ParserCase {
  const char* name;
  std::string input;
  int delimiter;
  std::vector<Field> fields;
  bool malformed = false;  // Ends in the malformed-field error lines.
};

const std::string kX1022(1022, 'x'), kX1023(1023, 'x'), kX1024(1024, 'x');
// Every byte below the double quote but the line ends, and the bytes around
// the quote and both delimiters.
const std::string kLowBytes = std::string("\x01\x09\x0b\x0c\x1f !", 7);
const std::string kAroundMarks = "#+-:<\x7f\x80\xff";

// clang-format off
const ParserCase kParserCases[] = {
    {"LfEndsTheRecord", "a,b\n", ',', {{4, "a"}, {6, "b"}, {7, ""}}},
    {"CrLfIsOneLineEnd", "a,b\r\nc\r\n", ',', {{4, "a"}, {6, "b"}, {6, "c"}, {7, ""}}},
    {"LoneCrEndsTheRecord", "a,b\rc\r", ',', {{4, "a"}, {6, "b"}, {6, "c"}, {7, ""}}},
    {"LfCrIsTwoLineEnds", "a\n\rb\n", ',', {{6, "a"}, {6, ""}, {6, "b"}, {7, ""}}},
    {"EmptyLines", "\n\r\n\r", ',', {{6, ""}, {6, ""}, {6, ""}, {7, ""}}},
    {"EmptyFile", "", ',', {{7, ""}}},
    {"LastLineWithoutLineEndIsDropped", "a,bc", ',', {{4, "a"}, {7, ""}}},
    {"LineEndsInQuotesBecomeBlanks", "\"x\ny\r\nz\rw\",v\n", ',', {{4, "x y z w"}, {6, "v"}, {7, ""}}},
    {"DoubledQuotes", "\"a\"\"b\",\"\"\"\"\n", ',', {{4, "a\"b"}, {6, "\""}, {7, ""}}},
    {"DelimiterIsDataInQuotes", "\"a,b;c\";d,e\n", ';', {{4, "a,b;c"}, {6, "d,e"}, {7, ""}}},
    {"CommaIsDataInQuotesOfACommaFile", "\"a,b\",c\n", ',', {{4, "a,b"}, {6, "c"}, {7, ""}}},
    {"SemicolonIsDataWithComma", "a;b,c\n", ',', {{4, "a;b"}, {6, "c"}, {7, ""}}},
    {"LowBytesAreData", kLowBytes + "," + kLowBytes + "\n", ',', {{4, kLowBytes}, {6, kLowBytes}, {7, ""}}},
    {"LowBytesAreDataInQuotes", "\"" + kLowBytes + "\"\n", ',', {{6, kLowBytes}, {7, ""}}},
    {"BytesAroundTheMarksAreData", kAroundMarks + ";" + kAroundMarks + ",\n", ';',
     {{4, kAroundMarks}, {6, kAroundMarks + ","}, {7, ""}}},
    {"NulIsData", std::string("a\0b,\n", 5), ',', {{4, std::string("a\0b", 3)}, {6, ""}, {7, ""}}},
    {"QuoteInMidField", "a\"b\"\n", ',', {{6, "ab"}, {7, ""}}},
    {"TextAfterQuoteInMidField", "a\"b\"c\n", ',', {{8, "ab"}}, true},
    {"TextAfterClosingQuote", "\"abc\"x,", ',', {{8, "abc"}}, true},
    {"LineEndsAfterClosingQuote", "\"a\"\r\n\"b\"\r\"c\"\n", ',', {{6, "a"}, {6, "b"}, {6, "c"}, {7, ""}}},
    {"EndOfFileInQuotes", "\"abc", ',', {{8, "abc"}}},
    {"EndOfFileAfterClosingQuote", "a,\"bc\"", ',', {{4, "a"}, {7, ""}}},
    {"FieldsAtTheBufferLimit", kX1022 + "," + kX1023 + "," + kX1024 + "\n", ',',
     {{4, kX1022}, {4, kX1023}, {6, kX1023}, {7, ""}}},
    {"QuotedFieldsAtTheBufferLimit", "\"" + kX1023 + "\",\"" + kX1024 + "\"\"\"\n", ',',
     {{4, kX1023}, {6, kX1023}, {7, ""}}},
    {"LongFieldIsCutAndTheNextStartsClean", std::string(1500, 'x') + ",y\n", ',',
     {{4, kX1023}, {6, "y"}, {7, ""}}}};
// clang-format on

class ImportParserTest : public PlatformTest {
 protected:
  // Fields up to the first 7 or 8. Every byte after the value must be zero.
  std::vector<Field> parseAll(const std::string& input, int delimiter) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(tmpfile(), fclose);
    fwrite(input.data(), 1, input.size(), file.get());
    rewind(file.get());
    std::vector<Field> fields;
    while (fields.size() < 10) {
      int result = import_.import_address_book_parser(file.get(), delimiter, &params_);
      char* end = params_.fieldBuffer + sizeof params_.fieldBuffer;
      EXPECT_TRUE(std::all_of(params_.fieldBuffer + params_.counter, end,
                              [](char c) { return c == '\0'; }));
      fields.push_back({result, std::string(params_.fieldBuffer, params_.counter)});
      if (result == 7 || result == 8) break;
    }
    return fields;
  }

  DABImport import_;
  AbaPublicAddressParameters params_{};
};

TEST_F(ImportParserTest, ResultsValuesAndErrorLines) {
  const std::vector<std::string> kMalformed = {"We have a malformed string",
                                               "Reached Default Case"};
  for (const ParserCase& c : kParserCases) {
    SCOPED_TRACE(c.name);
    fake().logs.clear();
    EXPECT_EQ(c.fields, parseAll(c.input, c.delimiter));
    EXPECT_EQ(c.malformed ? kMalformed : std::vector<std::string>{}, fake().logTexts(kError));
  }
}

TEST_F(ImportParserTest, NullFileIsAnError) {
  memset(&params_, 'j', sizeof params_);
  EXPECT_EQ(ABA_PARSE_ERROR_STATE, import_.import_address_book_parser(nullptr, ',', &params_));
  EXPECT_EQ(0, params_.counter);
  EXPECT_EQ(std::string(1024, '\0'), std::string(params_.fieldBuffer, 1024));
  EXPECT_EQ(fake().logs, (std::vector<LogLine>{{kError, "Address book is not Opened"}}));
}

// --- Field handling ----------------------------------------------------------------

std::string tooLong(const std::string& field) {
  return field + "Field is too long, which is more than the MAX_NUMBER_OF_CHARS, 255";
}
std::string illegal(const std::string& field) {
  return field + " field contains illegal character";
}
std::string longAddress(const std::string& field) {
  return field + " field is longer than 256 bytes";
}

struct FieldCase {
  int position;
  std::string value;
  std::string stored;  // The position's buffer afterwards.
  int status;
  int skip;
  std::vector<std::string> errors;
};

const std::string kE254 = repeat("\xc3\xa9", 254), kE255 = repeat("\xc3\xa9", 255);
const std::string kE256 = repeat("\xc3\xa9", 256);
const std::string kA255(255, 'a'), kA256(256, 'a'), kA257(257, 'a');
const std::string kClef255 = repeat("\xf0\x9d\x84\x9e", 255);  // 1020 bytes.
const std::string kA1023(1023, 'a');

// clang-format off
const FieldCase kFieldCases[] = {
    // Names: 255 characters pass, whatever their bytes; longer ones are kept with status 10.
    {0, kE254, kE254, 0, 0, {}}, {0, kE255, kE255, 0, 0, {}}, {1, kA255, kA255, 0, 0, {}},
    {0, kE256, kE256, 10, 0, {tooLong("firstName")}}, {1, kA256, kA256, 10, 0, {tooLong("lastName")}},
    {1, kClef255, kClef255, 0, 0, {}}, {2, kA1023, kA1023, 10, 0, {tooLong("displayName")}},
    {3, "ACME", "ACME", 0, 0, {}}, {3, kA256, kA256, 10, 0, {tooLong("company")}},
    // Only the display name must not be blank, nor begin with a NUL byte.
    {0, "", "", 0, 0, {}}, {2, "", "", 8, 1, {"nameField is BLANK"}}, {2, " ", " ", 0, 0, {}},
    {3, "", "", 0, 0, {}}, {2, std::string("\0Bob", 4), "", 8, 1, {"nameField is BLANK"}},
    // Addresses: a blank or a byte from 0x80 up is illegal; 256 bytes fit,
    // 257 leave the buffer empty and refuse the record.
    {4, "a b@x.org", "a b@x.org", 9, 0, {illegal("email")}},
    {4, "\x80@x.org", "\x80@x.org", 9, 0, {illegal("email")}},
    {4, "\xff@x.org", "\xff@x.org", 9, 0, {illegal("email")}},
    {4, "a\t\x1f\x7f!~@x.org", "a\t\x1f\x7f!~@x.org", 0, 0, {}}, {4, "", "", 0, 0, {}},
    {4, kA255, kA255, 0, 0, {}}, {4, kA256, kA256, 0, 0, {}},
    {4, kA257, "", 10, 1, {longAddress("email")}}, {5, "f x@y.org", "f x@y.org", 9, 0, {illegal("ifax")}},
    {5, kA256, kA256, 0, 0, {}}, {5, " " + kA256, "", 10, 1, {illegal("ifax"), longAddress("ifax")}},
    // Positions from 6 on are read and ignored.
    {6, "extra", "", 0, 0, {}}, {7, kA257, "", 0, 0, {}}};
// clang-format on

class ImportFieldsTest : public PlatformTest {
 protected:
  static std::vector<std::string> buffers(DABImport& import) {
    std::vector<std::string> values;
    for (int position = 0; position < 6; ++position) values.push_back(import.valueBuffer(position));
    return values;
  }

  // Hands `value` to the field step at `position`, every buffer holding "old".
  static void deliver(DABImport& import, int position, const std::string& value) {
    for (int p = 0; p < 6; ++p) strcpy(import.valueBuffer(p), "old");
    memset(&import.parserParams, 0, sizeof import.parserParams);
    memcpy(import.parserParams.fieldBuffer, value.data(), value.size());
    import.parserParams.counter = static_cast<int32_t>(value.size());
    import.fieldCnt = position;
    fake().logs.clear();
    import.importContactToDB();
  }
};

TEST_F(ImportFieldsTest, EachPositionChecksAndCopiesItsValue) {
  for (const FieldCase& c : kFieldCases) {
    SCOPED_TRACE("position " + std::to_string(c.position) + ", " + std::to_string(c.value.size()) +
                 " bytes");
    DABImport import;
    import.firstRecord = 0;
    deliver(import, c.position, c.value);
    std::vector<std::string> expected(6, "old");
    if (c.position < 6) expected[c.position] = c.stored;
    EXPECT_EQ(expected, buffers(import));
    EXPECT_EQ(c.status, import.statusCode);
    EXPECT_EQ(c.skip, import.skipRecord);
    EXPECT_EQ(c.errors, fake().logTexts(kError));
    EXPECT_EQ(c.position, import.fieldCnt);
  }
}

// --- The driver --------------------------------------------------------------------

const std::string kHeader = "First,Last,Display,Company,Email,Ifax\n";
const std::string kLong(257, 'm');

// A full data row whose display name is `name`.
std::string row(const std::string& name) {
  return "f,l," + name + ",c," + name + "@x.org," + name + "@y.org\n";
}

// A file, the driver's result, the counts ({-1, -1}: not written), the
// contacts created and the error lines in order.
struct DriverCase {
  std::string file;
  int result;
  ResultStatus counts;
  std::vector<std::string> created, errors;
};

const char kNotEnough[] = "Not enough records in file";
const char kBlank[] = "nameField is BLANK";
const char kNoName[] = "Record 2 has no displayName field";
const char kLongEmail[] = "email field is longer than 256 bytes";
const std::vector<std::string> kEarlyError = {"We have a malformed string", "Reached Default Case",
                                              "Error Parsing field", kNotEnough, "Error Detected"};
const std::vector<std::string> kLateError = {"We have a malformed string", "Reached Default Case",
                                             "Error Parsing field", "Error Detected"};
const std::vector<std::string> kEofError = {"Error Parsing field", "Error Detected"};
const std::string kAB = kHeader + row("A") + row("B");

// clang-format off
const DriverCase kDriverCases[] = {
    {kAB + row("C"), 0, {3, 0}, {"A", "B", "C"}, {}},
    {kHeader + row("A"), 0, {1, 0}, {"A"}, {}},
    {kAB + "x,y,C", 0, {2, 0}, {"A", "B"}, {}},  // No final line end.
    {kHeader, 0, {0, 0}, {}, {kNotEnough}},
    {"", 0, {0, 0}, {}, {kNotEnough}},
    {"\"F\"x,L,D\n" + row("A"), 6, {-1, -1}, {}, kEarlyError},
    {kHeader + "\"a\"b,l,A\n" + row("B"), 6, {-1, -1}, {}, kEarlyError},
    {kAB + "a,\"b\"c\n" + row("D"), 3, {-1, -1}, {"A", "B"}, kLateError},
    {kAB + "a,\"b", 3, {-1, -1}, {"A", "B"}, kEofError},
    {kHeader + "a,b,,c\n" + row("B") + row("C"), 0, {2, 1}, {"B", "C"}, {kBlank}},
    {kHeader + "a,b\n" + row("B"), 0, {1, 1}, {"B"}, {kNoName}},
    {kHeader + "a,b,C\n", 0, {1, 0}, {"C"}, {}},
    {"\n" + kHeader + "\r\n" + row("A") + "\n\n", 0, {1, 0}, {"A"}, {}},  // Empty lines.
    // The header's blank display name refuses the first data record only.
    {"F,L,,C\n" + row("A") + row("B"), 0, {1, 1}, {"B"}, {kBlank}},
    {"F,L,,C\na,b\n" + row("B"), 0, {1, 1}, {"B"}, {kBlank, kNoName}},
    {kHeader + "a,b,A,c," + kLong + "\n" + row("B"), 0, {1, 1}, {"B"}, {kLongEmail}},
    // The header's over-long address is reported but refuses no data record.
    {"F,L,D,C," + kLong + "\n" + row("A"), 0, {1, 0}, {"A"}, {kLongEmail}}};
// clang-format on

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
  for (const DriverCase& c : kDriverCases) {
    SCOPED_TRACE(c.file);
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
  for (int created = 3; created >= 0; --created) {
    fake().reset();
    fake().dataDir = root_, fake().countValue = 65000 - created;
    EXPECT_EQ(0, import(file)) << created;
    EXPECT_EQ(counts(), (std::vector<int>{created, 0}));
    EXPECT_EQ(created ? std::vector<std::string>{} : std::vector<std::string>{kNotEnough},
              fake().logTexts(kError));
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

// Without a connection the import opens nothing; an upload it cannot open
// ends the import with two error lines. Both report status 1.
TEST_F(ImportDriverTest, NotConnectedOrUnopenableIsStatusOne) {
  const std::vector<std::string> opened = {"DAB_DBI_Connect()", "DAB_DBI_GetContactsCount(0)",
                                           "xpaths_get_path(nc_dlms_data)",
                                           "xpaths_open_file(DATA,http/data/addressbook.txt,r)"};
  fake().connectResult = 1;
  EXPECT_EQ(1, import(kAB));
  EXPECT_EQ(counts(), (std::vector<int>{-1, -1}));
  EXPECT_EQ(fake().calls, (std::vector<std::string>{opened[0], "DAB_DBI_Disconnect()"}));
  EXPECT_EQ(fake().logTexts(kDebug), std::vector<std::string>{"Connection not estabilished"});
  fake().reset();
  fake().dataDir = root_, fake().failOpen = true;
  EXPECT_EQ(1, import(kAB));
  EXPECT_EQ(counts(), (std::vector<int>{-1, -1}));
  std::vector<std::string> calls = opened;
  calls.push_back("DAB_DBI_Disconnect()");
  EXPECT_EQ(fake().calls, calls);
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
