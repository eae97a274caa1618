// The two sample templates, as literal files: the column groups each service
// bit selects, the delimiter names, the open sequence and its failure, and
// that they never reach for the database.
#include <cstdio>
#include <string>
#include <vector>

#include "DABDownloadSample.h"
#include "DABUtils.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

// A file of tests/fixtures/expected/lib ("" when missing).
std::string expectedFile(const std::string& name) {
  return testutil::readAll(std::string(DAB_FIXTURES) + "/expected/lib/" + name);
}

const char kDabFile[] = "http/data/AddressBookSample.csv";
const char kLegacyFile[] = "http/data/LegacyAddressBookSample.csv";

const std::string kBaseHeader =
    "*****,ZltAddressBookId,DisplayName,FirstName,LastName,Company,ZltAllFavoritesOrder,MemberOf,"
    "IsDL,ZltApplicableWorkflows";
const std::string kFaxHeader = ",FaxNumber,ZltIsFaxFavorite";
const std::string kMailHeader = ",E-mailAddress,ZltIsEmailFavorite";
const std::string kIfaxHeader = ",InternetFaxAddress";
const std::string kScanHeader =
    ",ScanNickName,ZltIsScanFavorite,ScanTransferProtocol,ScanServerAddress,ScanServerPort,"
    "ScanDocumentPath,ScanLoginName,ScanLoginPassword,ScanSMBShare,ScanNDSTree,ScanNDSContext,"
    "ScanNDSVolume";

// The whole templates, with none and with all of the service groups.
const std::string kNoGroups = expectedFile("AddressBookSample-none.csv");
const std::string kAllGroups = expectedFile("AddressBookSample-all.csv");

const std::string kLegacy =
    "Friendly Name,E-Mail Address,InternetFax Address\n"
    "\"Doe, John\",john.doe@example.com,john.doe.ifax@example.com";

// The commas between cells as `delimiter`, leaving those inside quoted cells.
std::string joinedBy(const std::string& text, char delimiter) {
  std::string out = text;
  bool quoted = false;
  for (char& c : out) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) c = delimiter;
  }
  return out;
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

class DownloadSampleTest : public PlatformTest {
 protected:
  // NULL names no delimiter, one more name that is not "Semicolon".
  static int dab(const char* delimiterName, unsigned flags) {
    std::string name = delimiterName ? delimiterName : "";
    return DABDownloadSample().GenerateSampleDAB(delimiterName ? name.data() : nullptr, nullptr,
                                                 nullptr, flags);
  }
  static int legacy(const char* delimiterName) {
    std::string name = delimiterName ? delimiterName : "";
    return DABDownloadSample().GenerateSampleLegacy(delimiterName ? name.data() : nullptr);
  }
};

// Each call rewrites the file: a longer one before is cut.
TEST_F(DownloadSampleTest, WholeTemplatesWithNoneAndAllGroups) {
  writeFile(kLegacyFile, std::string(4096, 'x'));
  const std::pair<unsigned, const std::string*> cases[] = {
      {15, &kAllGroups}, {0, &kNoGroups}, {0xFFFFFFFFu, &kAllGroups}, {16, &kNoGroups}};
  for (const auto& [flags, expected] : cases) {
    fake().logs.clear();
    ASSERT_EQ(0, dab("Comma", flags));
    EXPECT_EQ(*expected, readFile(kDabFile)) << flags;
    EXPECT_EQ(fake().logs,
              (std::vector<LogLine>{{kLibEnter, "GenerateSampleDAB"},
                                    {kForceInfo, "Service Flag in lib = " +
                                                     std::to_string(static_cast<int>(flags))}}));
  }
  ASSERT_EQ(0, legacy("Comma"));
  EXPECT_EQ(kLegacy, readFile(kLegacyFile));
}

// Each bit adds its own group and no other, in the file's fixed group order.
TEST_F(DownloadSampleTest, EachServiceBitSelectsItsGroup) {
  // clang-format off
  const std::pair<unsigned, std::string> cases[] = {
      {1, kMailHeader}, {2, kIfaxHeader}, {4, kFaxHeader}, {8, kScanHeader},
      {6, kFaxHeader + kIfaxHeader}, {9, kMailHeader + kScanHeader}};
  // clang-format on
  for (const auto& [flags, groups] : cases) {
    ASSERT_EQ(0, dab("Comma", flags));
    EXPECT_EQ(kBaseHeader + groups, firstLine(readFile(kDabFile))) << flags;
  }
}

// Only the exact name "Semicolon" gives ';', near misses and NULL included;
// the quoted sample values keep their commas.
TEST_F(DownloadSampleTest, OnlyTheExactNameSemicolonSelectsIt) {
  // clang-format off
  const std::pair<const char*, char> cases[] = {
      {"Semicolon", ';'}, {"Comma", ','}, {"semicolon", ','}, {"SEMICOLON", ','}, {"Semicolon ", ','},
      {"SemicolonX", ','}, {"Semicolo", ','}, {"", ','}, {nullptr, ','}};
  // clang-format on
  for (const auto& [name, delimiter] : cases) {
    ASSERT_EQ(0, dab(name, 15));
    EXPECT_EQ(joinedBy(kAllGroups, delimiter), readFile(kDabFile)) << (name ? name : "NULL");
    ASSERT_EQ(0, legacy(name));
    EXPECT_EQ(joinedBy(kLegacy, delimiter), readFile(kLegacyFile)) << (name ? name : "NULL");
  }
  EXPECT_TRUE(fake().logTexts(kError).empty());
}

// Through the C names: the file is opened after a chmod, without the (here
// unreachable) database, with every argument passed on; a failed open gives 0
// and two error lines.
TEST_F(DownloadSampleTest, EntryPointsOpenTheirFileWithoutTheDatabase) {
  const struct {
    const char *file, *openFailure, *entryFailure;
    int (*call)(char*);
    const std::string& written;
  } cases[] = {
      {kDabFile, "Failed to open HTTP_ADDRESS_BOOK_SAMPLE_TEMP_FILE",
       "Could not Generate sample DAB",
       [](char* name) { return GenerateSampleDAB(name, nullptr, nullptr, 15); }, kAllGroups},
      {kLegacyFile, "Failed to open HTTP_LEGACY_ADDRESS_BOOK_SAMPLE_TEMP_FILE",
       "Could not Generate sample Legacy", [](char* name) { return GenerateSampleLegacy(name); },
       kLegacy}};
  for (const auto& c : cases) {
    for (bool failOpen : {false, true}) {
      SCOPED_TRACE(std::string(c.file) + (failOpen ? " failing to open" : ""));
      fake().reset();
      fake().dataDir = root_;
      fake().connectResult = 1;
      fake().failOpen = failOpen;
      std::remove((root_ + "/" + c.file).c_str());
      std::string comma = "Comma";
      EXPECT_EQ(failOpen ? 0 : 1, c.call(comma.data()));
      EXPECT_EQ(failOpen ? "" : c.written, readFile(c.file));
      EXPECT_EQ(fake().calls,
                (std::vector<std::string>{"chmod(" + std::string(c.file) + ",0666)",
                                          "xpaths_get_path(nc_dlms_data)",
                                          "xpaths_open_file(DATA," + std::string(c.file) + ",w)"}));
      std::vector<std::string> errors;
      if (failOpen) errors = {c.openFailure, c.entryFailure};
      EXPECT_EQ(errors, fake().logTexts(kError));
    }
  }
}

}  // namespace
}  // namespace dabtest
