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

const std::vector<std::string> kFlags0 = {
    "*****|ZltAddressBookId|DisplayName|FirstName|LastName|Company|ZltAllFavoritesOrder|MemberOf|"
    "IsDL|ZltApplicableWorkflows",
    "ZltDataValueOptions||Any Value Required Data|Any Value|Any Value|Any Value|" + kTextA +
        "|Any Address Book ID|0 = Individual 1  = DL or Group|" + kTextB,
    "***Sample Data Individual***|1|\"Doe, John\"|John|Doe|Zelto|1|2|0| ",
    "***Sample Data Group***|2|Team DL| | | |2| |1|\"Fax\"",
};

const std::vector<std::string> kFlags15 = {
    "*****|ZltAddressBookId|DisplayName|FirstName|LastName|Company|ZltAllFavoritesOrder|MemberOf|"
    "IsDL|ZltApplicableWorkflows|FaxNumber|ZltIsFaxFavorite|E-mailAddress|ZltIsEmailFavorite|"
    "InternetFaxAddress|ScanNickName|ZltIsScanFavorite|ScanTransferProtocol|ScanServerAddress|"
    "ScanServerPort|ScanDocumentPath|ScanLoginName|ScanLoginPassword|ScanSMBShare|ScanNDSTree|"
    "ScanNDSContext|ScanNDSVolume",
    "ZltDataValueOptions||Any Value Required Data|Any Value|Any Value|Any Value|" + kTextA +
        "|Any Address Book ID|0 = Individual 1  = DL or Group|" + kTextB +
        "|Any Value|0 = No 1 = Yes|Any Value????|0 = No 1 = Yes|Any Value????|Any Value|"
        "0 = No 1 = Yes|1 = FTP 2 = SFTP 3 = SMB 4 = NDS|Any Value|Any Value|Any Value|Any Value|"
        "Any Value|Any Value|Any Value|Any Value|Any Value",
    "***Sample Data Individual***|1|\"Doe, John\"|John|Doe|Zelto|1|2|0| |"
    "\"1 (800) 555-1234,,12345\"|1|john.doe@example.com|0|john.doe.ifax@example.com|My Scans|0| |"
    "127.0.0.1|21|/path|jdoe|samplepw|My SMB Share|My NDS Tree|My NDS Context|My NDS Volume",
    "***Sample Data Group***|2|Team DL| | | |2| |1|\"Fax\"| |0| |0| | |0| | || | | | | | | ",
};

const std::vector<std::string> kFlags5 = {
    "*****|ZltAddressBookId|DisplayName|FirstName|LastName|Company|ZltAllFavoritesOrder|MemberOf|"
    "IsDL|ZltApplicableWorkflows|FaxNumber|ZltIsFaxFavorite|E-mailAddress|ZltIsEmailFavorite",
    "ZltDataValueOptions||Any Value Required Data|Any Value|Any Value|Any Value|" + kTextA +
        "|Any Address Book ID|0 = Individual 1  = DL or Group|" + kTextB +
        "|Any Value|0 = No 1 = Yes|Any Value????|0 = No 1 = Yes",
    "***Sample Data Individual***|1|\"Doe, John\"|John|Doe|Zelto|1|2|0| |"
    "\"1 (800) 555-1234,,12345\"|1|john.doe@example.com|0",
    "***Sample Data Group***|2|Team DL| | | |2| |1|\"Fax\"| |0| |0",
};

const std::vector<std::string> kFlags6 = {
    "*****|ZltAddressBookId|DisplayName|FirstName|LastName|Company|ZltAllFavoritesOrder|MemberOf|"
    "IsDL|ZltApplicableWorkflows|FaxNumber|ZltIsFaxFavorite|InternetFaxAddress",
    "ZltDataValueOptions||Any Value Required Data|Any Value|Any Value|Any Value|" + kTextA +
        "|Any Address Book ID|0 = Individual 1  = DL or Group|" + kTextB +
        "|Any Value|0 = No 1 = Yes|Any Value????",
    "***Sample Data Individual***|1|\"Doe, John\"|John|Doe|Zelto|1|2|0| |"
    "\"1 (800) 555-1234,,12345\"|1|john.doe.ifax@example.com",
    "***Sample Data Group***|2|Team DL| | | |2| |1|\"Fax\"| |0| ",
};

const std::vector<std::string> kFlags8 = {
    "*****|ZltAddressBookId|DisplayName|FirstName|LastName|Company|ZltAllFavoritesOrder|MemberOf|"
    "IsDL|ZltApplicableWorkflows|ScanNickName|ZltIsScanFavorite|ScanTransferProtocol|"
    "ScanServerAddress|ScanServerPort|ScanDocumentPath|ScanLoginName|ScanLoginPassword|"
    "ScanSMBShare|ScanNDSTree|ScanNDSContext|ScanNDSVolume",
    "ZltDataValueOptions||Any Value Required Data|Any Value|Any Value|Any Value|" + kTextA +
        "|Any Address Book ID|0 = Individual 1  = DL or Group|" + kTextB +
        "|Any Value|0 = No 1 = Yes|1 = FTP 2 = SFTP 3 = SMB 4 = NDS|Any Value|Any Value|Any Value|"
        "Any Value|Any Value|Any Value|Any Value|Any Value|Any Value",
    "***Sample Data Individual***|1|\"Doe, John\"|John|Doe|Zelto|1|2|0| |My Scans|0| |127.0.0.1|21|"
    "/path|jdoe|samplepw|My SMB Share|My NDS Tree|My NDS Context|My NDS Volume",
    "***Sample Data Group***|2|Team DL| | | |2| |1|\"Fax\"| |0| | || | | | | | | ",
};

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
  const std::vector<std::string>* rows;
  const char* flagLog;
};
const FlagsCase kFlagsCases[] = {
    {0, &kFlags0, "Service Flag in lib = 0"},
    {16, &kFlags0, "Service Flag in lib = 16"},  // No known bit.
    {15, &kFlags15, "Service Flag in lib = 15"},
    {0xFFFFFFFFu, &kFlags15, "Service Flag in lib = -1"},
    {5, &kFlags5, "Service Flag in lib = 5"},
    {6, &kFlags6, "Service Flag in lib = 6"},
    {8, &kFlags8, "Service Flag in lib = 8"},
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
      EXPECT_EQ(file(*c.rows, d.delimiter), readFile(kDabFile));
      EXPECT_EQ(fake().logs,
                (std::vector<LogLine>{{kLibEnter, "GenerateSampleDAB"}, {kForceInfo, c.flagLog}}));
    }
  }
}

TEST_F(DownloadSampleTest, LongDescriptionsKeepTheirRunsOfBlanks) {
  ASSERT_EQ(0, generateDab("Comma", 0));
  std::vector<std::string> cells = lines(lines(readFile(kDabFile), '\n').at(1), ',');
  ASSERT_EQ(10u, cells.size());
  struct Expected {
    size_t column, length, blanks;
  };
  for (Expected e : {Expected{6, 165, 50}, Expected{9, 143, 67}}) {
    const std::string& text = cells[e.column];
    EXPECT_EQ(e.length, text.size()) << text;
    size_t start = text.find("  ");
    ASSERT_NE(std::string::npos, start);
    EXPECT_EQ(e.blanks, text.find_first_not_of(' ', start) - start) << text;
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
  EXPECT_EQ(file(kFlags0, ','), readFile(kDabFile));
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

TEST_F(DownloadSampleTest, EntryPointsOpenTheirFileWithoutTheDatabase) {
  for (const EntryCase& c : kEntryCases) {
    SCOPED_TRACE(c.name);
    fake().reset();
    fake().dataDir = root_;
    fake().connectResult = 1;  // Unreachable database.
    char comma[] = "Comma";
    EXPECT_EQ(1, c.call(comma));
    EXPECT_EQ(openSequence(c.file), fake().calls);
    EXPECT_EQ(c.name, fake().logs.at(0).text);
    EXPECT_EQ(0u, fake().logTexts(kError).size());
    EXPECT_TRUE(fileExists(c.file));
  }
}

TEST_F(DownloadSampleTest, OpenFailureIsReportedAndWritesNothing) {
  for (const EntryCase& c : kEntryCases) {
    SCOPED_TRACE(c.name);
    fake().reset();
    fake().dataDir = root_;
    fake().failOpen = true;
    char comma[] = "Comma";
    EXPECT_EQ(0, c.call(comma));
    EXPECT_EQ(openSequence(c.file), fake().calls);
    EXPECT_EQ(fake().logs, (std::vector<LogLine>{{kLibEnter, c.name},
                                                 {kLibEnter, c.name},
                                                 {kError, c.openFailure},
                                                 {kError, c.entryFailure}}));
    EXPECT_FALSE(fileExists(c.file));
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
