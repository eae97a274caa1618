// The two sample templates: their exact bytes for every column selection and
// delimiter name, the header shared with the DAB export, the open sequence and
// its failure, and that they never reach for the database.
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "DABDownloadSample.h"
#include "DABExport.h"
#include "DABUtils.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

const char kDabFile[] = "http/data/AddressBookSample.csv";
const char kLegacyFile[] = "http/data/LegacyAddressBookSample.csv";

// The two long value descriptions, built from their parts so the runs of
// blanks are counted by the compiler rather than by eye.
const std::string kTextA = "Any number 1 through to the Address Book Limit." +
                           std::string(50, ' ') +
                           "This number is only valid if the contact is designated as a favorite";
const std::string kTextB = "Any of an exact list of Zelto Device Workflows" + std::string(67, ' ') +
                           "or empty for 'All Contacts'Fax";

// Expected files are written with '|' for the delimiter (no cell holds one)
// and rows joined by a line feed, which the last row lacks.
std::string file(const std::vector<std::string>& rows, char delimiter) {
  std::string bytes;
  for (const std::string& row : rows) bytes += (bytes.empty() ? "" : "\n") + row;
  for (char& c : bytes) c = c == '|' ? delimiter : c;
  return bytes;
}

// Every column of the full template, with the service bit that keeps it
// (0: always kept) and its four cells, top to bottom.
struct Column {
  unsigned bit;
  std::string header, options, individual, group;
};
const std::vector<Column> kColumns = {
    {0, "*****", "ZltDataValueOptions", "***Sample Data Individual***", "***Sample Data Group***"},
    {0, "ZltAddressBookId", "", "1", "2"},
    {0, "DisplayName", "Any Value Required Data", "\"Doe, John\"", "Team DL"},
    {0, "FirstName", "Any Value", "John", " "},
    {0, "LastName", "Any Value", "Doe", " "},
    {0, "Company", "Any Value", "Zelto", " "},
    {0, "ZltAllFavoritesOrder", kTextA, "1", "2"},
    {0, "MemberOf", "Any Address Book ID", "2", " "},
    {0, "IsDL", "0 = Individual 1  = DL or Group", "0", "1"},
    {0, "ZltApplicableWorkflows", kTextB, " ", "\"Fax\""},
    {4, "FaxNumber", "Any Value", "\"1 (800) 555-1234,,12345\"", " "},
    {4, "ZltIsFaxFavorite", "0 = No 1 = Yes", "1", "0"},
    {1, "E-mailAddress", "Any Value????", "john.doe@example.com", " "},
    {1, "ZltIsEmailFavorite", "0 = No 1 = Yes", "0", "0"},
    {2, "InternetFaxAddress", "Any Value????", "john.doe.ifax@example.com", " "},
    {8, "ScanNickName", "Any Value", "My Scans", " "},
    {8, "ZltIsScanFavorite", "0 = No 1 = Yes", "0", "0"},
    {8, "ScanTransferProtocol", "1 = FTP 2 = SFTP 3 = SMB 4 = NDS", " ", " "},
    {8, "ScanServerAddress", "Any Value", "127.0.0.1", " "},
    {8, "ScanServerPort", "Any Value", "21", ""},
    {8, "ScanDocumentPath", "Any Value", "/path", " "},
    {8, "ScanLoginName", "Any Value", "jdoe", " "},
    {8, "ScanLoginPassword", "Any Value", "samplepw", " "},
    {8, "ScanSMBShare", "Any Value", "My SMB Share", " "},
    {8, "ScanNDSTree", "Any Value", "My NDS Tree", " "},
    {8, "ScanNDSContext", "Any Value", "My NDS Context", " "},
    {8, "ScanNDSVolume", "Any Value", "My NDS Volume", " "},
};

// The four rows holding the columns that `flags` keeps.
std::vector<std::string> rowsFor(unsigned flags) {
  std::vector<std::string> rows(4);
  for (const Column& c : kColumns) {
    if (c.bit != 0 && (flags & c.bit) == 0) continue;
    const std::string* cells[] = {&c.header, &c.options, &c.individual, &c.group};
    for (int i = 0; i < 4; ++i) rows[i] += (&c == &kColumns[0] ? "" : "|") + *cells[i];
  }
  return rows;
}

struct DelimiterCase {
  const char* name;
  char delimiter;
};
// Only the exact name "Semicolon" selects ';' in the templates.
const DelimiterCase kDelimiterCases[] = {
    {"Comma", ','}, {"Semicolon", ';'}, {"semicolon", ','}, {"Semicolon ", ','}, {"", ','},
};

struct FlagsCase {
  unsigned flags;
  const char* flagLog;
};
const FlagsCase kFlagsCases[] = {
    {0, "Service Flag in lib = 0"},   {16, "Service Flag in lib = 16"},  // No known bit.
    {15, "Service Flag in lib = 15"}, {0xFFFFFFFFu, "Service Flag in lib = -1"},
    {5, "Service Flag in lib = 5"},   {6, "Service Flag in lib = 6"},
    {8, "Service Flag in lib = 8"},
};

class DownloadSampleTest : public PlatformTest {
 protected:
  int generateDab(const char* delimiterName, unsigned flags) {
    std::string name = delimiterName;
    return DABDownloadSample().GenerateSampleDAB(name.data(), nullptr, nullptr, flags);
  }
  int generateLegacy(const char* delimiterName) {
    std::string name = delimiterName;
    return DABDownloadSample().GenerateSampleLegacy(name.data());
  }
  std::vector<std::string> lines(const std::string& bytes, char separator) const {
    std::vector<std::string> parts;
    std::istringstream in(bytes);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
  }
};

TEST_F(DownloadSampleTest, DabFileForEveryFlagsAndDelimiterName) {
  for (const FlagsCase& c : kFlagsCases) {
    for (const DelimiterCase& d : kDelimiterCases) {
      SCOPED_TRACE(std::to_string(c.flags) + " with \"" + d.name + "\"");
      fake().logs.clear();
      ASSERT_EQ(0, generateDab(d.name, c.flags));
      EXPECT_EQ(file(rowsFor(c.flags), d.delimiter), readFile(kDabFile));
      EXPECT_EQ(fake().logs,
                (std::vector<LogLine>{{kLibEnter, "GenerateSampleDAB"}, {kForceInfo, c.flagLog}}));
    }
  }
}

// Fails until the export writer lands: the template's header must be the
// export's, so that a filled-in template imports like an exported file.
TEST_F(DownloadSampleTest, FullHeaderIsTheExportHeader) {
  ASSERT_EQ(0, generateDab("Comma", 15));
  std::string sampleHeader = lines(readFile(kDabFile), '\n').at(0);

  FILE* exported = std::tmpfile();
  ASSERT_NE(nullptr, exported);
  {
    DABExport exporter;
    DAB_DBI_ContactList_t list{0, nullptr};
    exporter.writeToExportFile(exported, ',', 0, &list);
  }
  std::rewind(exported);
  std::string exportHeader;
  for (int c; (c = std::fgetc(exported)) != EOF;) exportHeader += static_cast<char>(c);
  std::fclose(exported);

  ASSERT_GE(exportHeader.size(), 2u);
  EXPECT_EQ("\r\n", exportHeader.substr(exportHeader.size() - 2));
  exportHeader.resize(exportHeader.size() - 2);
  EXPECT_EQ(lines(sampleHeader, ','),
            lines("*****," + exportHeader, ','));  // Cell by cell, for a readable diff.
}

TEST_F(DownloadSampleTest, LegacyFileForEveryDelimiterName) {
  for (const DelimiterCase& d : kDelimiterCases) {
    SCOPED_TRACE(std::string("\"") + d.name + "\"");
    fake().logs.clear();
    ASSERT_EQ(0, generateLegacy(d.name));
    EXPECT_EQ(file({"Friendly Name|E-Mail Address|InternetFax Address",
                    "\"Doe, John\"|john.doe@example.com|john.doe.ifax@example.com"},
                   d.delimiter),
              readFile(kLegacyFile));
    EXPECT_EQ(fake().logs, (std::vector<LogLine>{{kLibEnter, "GenerateSampleLegacy"}}));
  }
}

TEST_F(DownloadSampleTest, SecondCallTruncatesTheFile) {
  writeFile(kDabFile, std::string(4096, 'x'));
  writeFile(kLegacyFile, std::string(4096, 'x'));
  ASSERT_EQ(0, generateDab("Comma", 15));
  ASSERT_EQ(0, generateDab("Comma", 0));
  ASSERT_EQ(0, generateLegacy("Comma"));
  EXPECT_EQ(file(rowsFor(0), ','), readFile(kDabFile));
  EXPECT_EQ(
      "Friendly Name,E-Mail Address,InternetFax Address\n"
      "\"Doe, John\",john.doe@example.com,john.doe.ifax@example.com",
      readFile(kLegacyFile));
}

// What each entry point does around its file, driven through the C names.
struct EntryCase {
  const char* name;
  const char* file;
  const char* openFailure;
  const char* entryFailure;
  int (*call)(char* delimiterName);
};
const EntryCase kEntryCases[] = {
    {"GenerateSampleDAB", kDabFile, "Failed to open HTTP_ADDRESS_BOOK_SAMPLE_TEMP_FILE",
     "Could not Generate sample DAB",
     [](char* delimiterName) { return GenerateSampleDAB(delimiterName, nullptr, nullptr, 5); }},
    {"GenerateSampleLegacy", kLegacyFile,
     "Failed to open HTTP_LEGACY_ADDRESS_BOOK_SAMPLE_TEMP_FILE", "Could not Generate sample Legacy",
     [](char* delimiterName) { return GenerateSampleLegacy(delimiterName); }},
};

std::vector<std::string> openSequence(const std::string& name) {
  return {"chmod(" + name + ",0666)", "xpaths_get_path(nc_dlms_data)",
          "xpaths_open_file(DATA," + name + ",w)"};
}

// Neither entry point touches the (here unreachable) database; a failed open
// is reported and leaves no file.
TEST_F(DownloadSampleTest, EntryPointsOpenTheirFileWithoutTheDatabase) {
  for (const EntryCase& c : kEntryCases) {
    for (bool failOpen : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (failOpen ? " failing to open" : ""));
      fake().reset();
      fake().dataDir = root_;
      fake().connectResult = 1;
      fake().failOpen = failOpen;
      std::remove((root_ + "/" + c.file).c_str());
      char comma[] = "Comma";
      EXPECT_EQ(failOpen ? 0 : 1, c.call(comma));
      EXPECT_EQ(openSequence(c.file), fake().calls);
      if (failOpen) {
        EXPECT_EQ(fake().logs, (std::vector<LogLine>{{kLibEnter, c.name},
                                                     {kLibEnter, c.name},
                                                     {kError, c.openFailure},
                                                     {kError, c.entryFailure}}));
      } else {
        EXPECT_EQ(c.name, fake().logs.at(0).text);
        EXPECT_TRUE(fake().logTexts(kError).empty());
      }
      EXPECT_EQ(!failOpen, fileExists(c.file));
    }
  }
  fake().logs.clear();
  EXPECT_EQ(1, generateDab("Comma", 15));
  EXPECT_EQ(1, generateLegacy("Comma"));
  EXPECT_EQ(fake().logTexts(kError),
            (std::vector<std::string>{kEntryCases[0].openFailure, kEntryCases[1].openFailure}));
}

TEST_F(DownloadSampleTest, NullDelimiterNameWritesCommaSeparatedFiles) {
  DABDownloadSample sample;
  EXPECT_EQ(0, sample.GenerateSampleDAB(nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(0, sample.GenerateSampleLegacy(nullptr));
  EXPECT_EQ(readFile(HTTP_ADDRESS_BOOK_SAMPLE_TEMP_FILE).substr(0, 23), "*****,ZltAddressBookId,");
  EXPECT_EQ(readFile(HTTP_LEGACY_ADDRESS_BOOK_SAMPLE_TEMP_FILE).substr(0, 29),
            "Friendly Name,E-Mail Address,");
  EXPECT_TRUE(fake().logTexts(kError).empty());
}

}  // namespace
}  // namespace dabtest
