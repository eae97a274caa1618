// The library's import log read by dabtool's reader, its calls handed over as
// the stand-in hands them: the reader's verdict must match what the library
// did to every record, so a changed library text the tool depends on fails here.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "DABImport.h"
#include "import_log.h"
#include "library_lines.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

using dabtool::Finding;
using dabtool::ImportLog;

const std::string kHeader = "First,Last,Display,Company,Email,Ifax\n";
const std::string kTooLong(257, 'm');  // past both the name and the address limits

struct Expected {
  bool created;
  std::vector<Finding> findings;  // the refusal first, then the doubts
};

class ImportLogContractTest : public PlatformTest {
 protected:
  // Imports `file` and returns what the reader made of the log.
  ImportLog importAndRead(const std::string& file) {
    writeFile("http/data/addressbook.txt", file);
    dabtool::ImportLogReader reader;
    if (progress_) reader.onProgress(progress_);
    dabtool::LibraryLineTable table;
    fake().logTap = [&](int, const char* format, va_list args) {
      dabtool::LibraryLine line = table.identify(format);
      if (line != dabtool::LibraryLine::kOther) reader.heard(line, args);
    };
    ResultStatus result{0, 0};
    {
      DABImport importer;
      status_ = importer.importAddressbook(const_cast<char*>("Comma"), nullptr, nullptr, &result);
    }
    fake().logTap = nullptr;
    result_ = result;
    return reader.finish();
  }

  static std::vector<Finding> findingsOf(const ImportLog& log, int record) {
    std::vector<Finding> kinds;
    auto refused = log.refused.find(record);
    if (refused != log.refused.end()) kinds.push_back(refused->second.kind);
    auto doubts = log.doubts.find(record);
    for (size_t i = 0; doubts != log.doubts.end() && i < doubts->second.size(); ++i) {
      kinds.push_back(doubts->second[i].kind);
    }
    return kinds;
  }

  int status_ = -1;
  ResultStatus result_{0, 0};
  std::function<void(int)> progress_;
};

// The findings that dabtool_test's import sentences do not reach (a blank
// display name, a record without one, a doubtful e-mail address, a long first
// name or internet-fax address, records over two lines and empty lines are
// read there, through the whole tool).
TEST_F(ImportLogContractTest, EveryRecordGetsTheLibrarysVerdict) {
  // Record numbers count the header as 1.
  const std::vector<std::pair<std::string, Expected>> rows = {
      {"f,l,Plain,c,p@x.org,p@y.org\n", {true, {}}},
      {"f,l,Accent Fax,c,f@y.org,f\xC3\xA9@y.org\n", {true, {Finding::kIfaxDoubtful}}},
      {"f,l,Long Mail,c," + kTooLong + ",\n", {false, {Finding::kEmailTooLong}}},
      {"f," + kTooLong + ",Long Last,c,,\n", {true, {Finding::kLastNameTooLong}}},
      {"f,l," + kTooLong + ",c,,\n", {true, {Finding::kDisplayNameTooLong}}},
      {"f,l,Long Company," + kTooLong + ",,\n", {true, {Finding::kCompanyTooLong}}},
      {"f,l,Refused By Book,c,r@x.org,\n", {false, {Finding::kRefusedByBook}}},
      {"f,l,\n", {false, {Finding::kDisplayNameBlank}}},  // the blank field ends the record
      {"f,l,Last,c,z@x.org,\n", {true, {}}},
  };
  std::string file = kHeader;
  std::map<int, Expected> expected;
  int record = 1, createCall = 0;
  for (const auto& row : rows) {
    file += row.first;
    expected[++record] = row.second;
    if (row.second.findings == std::vector<Finding>{Finding::kRefusedByBook}) {
      fake().refuseCreateCall.insert(createCall);
    }
    createCall += row.second.created || row.second.findings[0] == Finding::kRefusedByBook;
  }

  ImportLog log = importAndRead(file);
  ASSERT_EQ(0, status_);
  EXPECT_EQ(record, log.parsedRecords);
  int created = 0;
  for (const auto& [number, want] : expected) {
    SCOPED_TRACE("record " + std::to_string(number));
    EXPECT_EQ(want.created, log.wasCreated(number));
    EXPECT_EQ(want.findings, findingsOf(log, number));
    created += want.created;
  }
  EXPECT_EQ(result_.successCount, created);
  EXPECT_EQ(result_.successCount, log.createdCount);
  EXPECT_EQ(static_cast<size_t>(created), fake().created.size());
  EXPECT_FALSE(log.parseError || log.tooFewRecords || log.fileNotOpened || log.notConnected);
  // A limit is read from the line itself (record 4: "Long Mail").
  EXPECT_EQ("the e-mail address (column 5) is longer than 256 bytes",
            dabtool::findingText(log.refused.at(4)));
}

TEST_F(ImportLogContractTest, ProgressCountsDataRecordsNowAndThen) {
  std::string file = kHeader;
  for (int i = 0; i < 1100; ++i) file += "F,L,Name,,,\n";
  std::vector<int> told;
  progress_ = [&told](int done) { told.push_back(done); };
  EXPECT_EQ(1100, importAndRead(file).createdCount);
  EXPECT_EQ((std::vector<int>{511, 1023}), told);
}

// Quote then text in a record's first field; a quote never closed; quote
// then text before the second record. (Quote then text in a later field of
// a later record is dabtool_test's.)
TEST_F(ImportLogContractTest, ImportsThatStopSayWhereAndWhy) {
  const struct {
    std::string file;
    int status;
    bool malformedString, tooFewRecords;
    int stoppedAt;
  } cases[] = {{kHeader + "f,l,A,,,\n\"f\"x,l,B\n", 3, true, false, 3},
               {kHeader + "f,l,A,,,\nf,l,\"B\n", 3, false, false, 3},
               {"\"F\"x,L,D\nf,l,A\n", 6, true, true, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ImportLog log = importAndRead(c.file);
    EXPECT_EQ(c.status, status_);
    EXPECT_TRUE(log.parseError);
    EXPECT_EQ(c.malformedString, log.malformedString);
    EXPECT_EQ(c.tooFewRecords, log.tooFewRecords);
    EXPECT_EQ(c.stoppedAt, log.stoppedAtRecord);
  }
}

TEST_F(ImportLogContractTest, AnUploadThatCannotBeOpenedIsNamed) {
  fake().failOpen = true;
  ImportLog log = importAndRead(kHeader);  // Status 1: import_test's.
  EXPECT_TRUE(log.fileNotOpened);
  EXPECT_FALSE(log.parseError);
}

}  // namespace
}  // namespace dabtest
