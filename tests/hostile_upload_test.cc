// Uploads anyone with access to the web page can send. Each must end in a
// status, counts and log lines, never in a crash, an overrun, a leak or a
// file left open. The big inputs are generated here, not committed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "DABImport.h"
#include "DABUtils.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

const char kUpload[] = "http/data/addressbook.txt";
const std::string kHeader = "First,Last,Display,Company,Email,Ifax\n";
const std::string kFailed = "Could not Import Addressbook";

class HostileUploadTest : public PlatformTest {
 protected:
  HostileUploadTest() { fake().keepInfoLogs = false; }

  // Imports whatever lies at the upload path; checks that the import
  // connected and disconnected once and left no file open.
  int import(const char* delimiterName = "Comma") {
    std::string name = delimiterName;
    result_ = ResultStatus{-1, -1};
    int fdBefore = lowestFreeFd();
    int ok = AddressBookImport(name.data(), nullptr, nullptr, &result_);
    EXPECT_EQ(fdBefore, lowestFreeFd()) << "the upload was left open";
    EXPECT_EQ(1, fake().callCount("DAB_DBI_Connect"));
    EXPECT_EQ(1, fake().callCount("DAB_DBI_Disconnect"));
    return ok;
  }

  std::vector<int> counts() const { return {result_.successCount, result_.failureCount}; }

  // What every created contact must satisfy, whatever the upload held.
  static void expectSaneContacts() {
    for (const CreatedContact& c : fake().created) {
      EXPECT_FALSE(c.displayName.empty());
      for (const std::string* name : {&c.displayName, &c.firstName, &c.lastName, &c.company}) {
        EXPECT_LE(name->size(), 1023u);
      }
      EXPECT_LE(std::max(c.emailAddress.size(), c.ifaxAddress.size()), 256u);
    }
  }

  // A successful import's counts must agree with the database; a failed one
  // must leave them alone and say why.
  void expectConsistentOutcome(int ok) {
    if (ok == 1) {
      EXPECT_EQ(result_.successCount, static_cast<int>(fake().created.size()));
      EXPECT_GE(result_.failureCount, 0);
    } else {
      EXPECT_EQ(counts(), (std::vector<int>{-1, -1}));
      std::vector<std::string> errors = fake().logTexts(kError);
      ASSERT_FALSE(errors.empty());
      EXPECT_EQ(kFailed, errors.back());
    }
    expectSaneContacts();
  }

  std::string uploadPath() const { return root_ + "/" + kUpload; }

  ResultStatus result_{-1, -1};
};

// A created contact's texts in the upload's column order.
std::vector<std::string> texts(const CreatedContact& c) {
  return {c.firstName, c.lastName, c.displayName, c.company, c.emailAddress, c.ifaxAddress};
}

std::string randomBytes(unsigned seed, size_t size, bool withQuotes) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    do {
      c = static_cast<char>(byte(generator));
    } while (!withQuotes && c == '"');
  }
  return bytes;
}

TEST_F(HostileUploadTest, BinaryGarbage) {
  // With quotes, garbage soon holds a malformed field; without, it parses to
  // the end and every byte goes through the record rules.
  for (bool withQuotes : {true, false}) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
      for (const char* delimiter : {"Comma", "Semicolon"}) {
        SCOPED_TRACE("seed " + std::to_string(seed) + (withQuotes ? " with quotes " : " ") +
                     delimiter);
        fake().reset();
        fake().dataDir = root_;
        fake().keepInfoLogs = false;
        writeFile(kUpload, randomBytes(seed, 64 * 1024, withQuotes));
        int ok = import(delimiter);
        expectConsistentOutcome(ok);
        EXPECT_TRUE(withQuotes || ok == 1) << ok;
      }
    }
  }
}

TEST_F(HostileUploadTest, FiftyMegabytesOfOneUnterminatedQuotedField) {
  {
    std::ofstream out(uploadPath(), std::ios::binary);
    out << '"';
    std::string chunk(1 << 20, 'x');
    for (int i = 0; i < 50; ++i) out << chunk;
  }
  ASSERT_EQ(50u * (1 << 20) + 1, std::filesystem::file_size(uploadPath()));
  EXPECT_EQ(0, import());
  expectConsistentOutcome(0);
  EXPECT_TRUE(fake().created.empty());
  EXPECT_EQ(fake().logTexts(kError),
            (std::vector<std::string>{"Error Parsing field", "Not enough records in file",
                                      "Error Detected", kFailed}));
}

TEST_F(HostileUploadTest, HundredThousandColumnsOnOneLine) {
  std::string wide;
  for (int i = 0; i < 100000; ++i) wide += (i ? "," : "") + std::to_string(i);
  writeFile(kUpload,
            wide + "\n" + "f,l,Wide Row,c,e@x.org,i@x.org" + wide.substr(wide.find(",6,")) + "\n");
  EXPECT_EQ(1, import());
  EXPECT_EQ(counts(), (std::vector<int>{1, 0}));
  ASSERT_EQ(1u, fake().created.size());
  EXPECT_EQ(texts(fake().created[0]),
            (std::vector<std::string>{"f", "l", "Wide Row", "c", "e@x.org", "i@x.org"}));
}

// Stands for an upload of more than 2^31 fields in one record and more than
// 2^31 records, which no test can write: an import continues the counters of
// its object, so these start just below the limit. The sanitizer build
// reports a counter that overflows.
TEST_F(HostileUploadTest, FieldAndRecordCountersStopAtTheirLimit) {
  writeFile(kUpload, kHeader + "a,b,C,d,,\n" + "a,b,D,d,,\n");
  DABImport importer;
  importer.fieldCnt = INT32_MAX - 2;
  importer.recordNumber = INT32_MAX - 1;
  std::string name = "Comma";
  EXPECT_EQ(0, importer.importAddressbook(name.data(), nullptr, nullptr, &result_));
  EXPECT_EQ(INT32_MAX, importer.recordNumber);
  ASSERT_EQ(2u, fake().created.size());
  EXPECT_EQ("C", fake().created[0].displayName);
  EXPECT_EQ(2, result_.successCount);
}

TEST_F(HostileUploadTest, UploadThatIsADirectoryReadsAsEmpty) {
  std::filesystem::create_directory(uploadPath());
  // The directory opens, and every read of it fails like the end of a file.
  EXPECT_EQ(1, import());
  EXPECT_EQ(counts(), (std::vector<int>{0, 0}));
  EXPECT_TRUE(fake().created.empty());
  EXPECT_EQ(fake().logTexts(kError), (std::vector<std::string>{"Not enough records in file"}));
}

}  // namespace
}  // namespace dabtest
