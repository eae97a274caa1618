// The DAB and legacy writers over scripted contact lists, checked as whole
// files byte for byte, with the database calls and log lines that carry
// meaning (group memberships, server address handling, skipped contacts).
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "DABExport.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

const std::string kDabHeader =
    "ZltAddressBookId,DisplayName,FirstName,LastName,Company,ZltAllFavoritesOrder,MemberOf,IsDL,"
    "ZltApplicableWorkflows,FaxNumber,ZltIsFaxFavorite,E-mailAddress,ZltIsEmailFavorite,"
    "InternetFaxAddress,ScanNickName,ZltIsScanFavorite,ScanTransferProtocol,ScanServerAddress,"
    "ScanServerPort,ScanDocumentPath,ScanLoginName,ScanLoginPassword,ScanSMBShare,ScanNDSTree,"
    "ScanNDSContext,ScanNDSVolume\r\n";
const std::string kLegacyHeader = "Friendly Name,E-Mail Address,Internet Fax Address\n";

std::string withDelimiter(std::string text, char delimiter) {
  for (char& c : text) {
    if (c == ',') c = delimiter;
  }
  return text;
}

// An individual whose texts are all empty, without scan address, in the
// groups `memberOf` (already in its file form).
std::string plainRow(int id, const std::string& order, const std::string& memberOf) {
  return std::to_string(id) + ",,,,," + order + "," + memberOf + ",0,,,0,,0,,,0,1,,0,,,,,,,\r\n";
}

// A stream into memory, so a writer's bytes can be checked without files.
class MemoryStream {
 public:
  MemoryStream() : file_(open_memstream(&data_, &size_)) {}
  ~MemoryStream() {
    if (file_ != nullptr) fclose(file_);
    free(data_);
  }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;
  FILE* get() const { return file_; }
  std::string bytes() {
    fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  FILE* file_;
};

// The scripted contacts fetched as a driver fetches them; handed back
// restored, so the fake can tell how far the writer moved the cursor.
class FetchedList {
 public:
  FetchedList()
      : list_(static_cast<DAB_DBI_ContactList_t*>(calloc(1, sizeof(DAB_DBI_ContactList_t)))) {
    DAB_DBI_GetContactList(list_, 0, 0);
    first_ = list_->contacts;
  }
  ~FetchedList() {
    list_->contacts = first_;
    DAB_DBI_Free_ContactList(list_);
  }
  FetchedList(const FetchedList&) = delete;
  FetchedList& operator=(const FetchedList&) = delete;
  DAB_DBI_ContactList_t* get() const { return list_; }
  DAB_DBI_Contact_t& entry(size_t i) const { return first_[i]; }
  std::ptrdiff_t moved() const { return list_->contacts - first_; }

 private:
  DAB_DBI_ContactList_t* list_;
  DAB_DBI_Contact_t* first_;
};

bool fromQuoting(const std::string& line) {
  for (const char* prefix : {"enter function makeCsvSafe", "exit function makeCsvSafe",
                             "neither double quotes", "both double quotes", "passing in string"}) {
    if (line.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

ScriptedContact withId(int32_t id) {
  ScriptedContact c;
  c.id = id;
  return c;
}

// A contact with every scan text but the server address set.
ScriptedContact withScan(int32_t id) {
  ScriptedContact c = withId(id);
  c.scanDocumentPath = "/p", c.scanLoginName = "u", c.scanNdsTree = "t", c.scanNdsContext = "c";
  c.scanShareOrVolume = "vol";
  return c;
}

class ExportWritersTest : public PlatformTest {
 protected:
  std::string dab(char delimiter, std::optional<int> count = std::nullopt) {
    FetchedList list;
    MemoryStream out;
    exporter_.writeToExportFile(out.get(), delimiter, count.value_or(scriptedCount()), list.get());
    moved_ = list.moved();
    return out.bytes();
  }
  std::string legacy(char delimiter, std::optional<int> count = std::nullopt) {
    FetchedList list;
    MemoryStream out;
    exporter_.writeToLegacyExportFile(out.get(), delimiter, count.value_or(scriptedCount()),
                                      list.get());
    moved_ = list.moved();
    return out.bytes();
  }
  // Info lines other than the quoting function's own.
  std::vector<std::string> infoLines() const {
    std::vector<std::string> lines;
    for (const std::string& line : fake().logTexts(kInfo)) {
      if (!fromQuoting(line)) lines.push_back(line);
    }
    return lines;
  }
  static int scriptedCount() { return static_cast<int>(fake().contacts.size()); }

  DABExport exporter_;
  std::ptrdiff_t moved_ = -1;
};

ScriptedContact fullIndividual() {
  ScriptedContact c;
  c.id = 7;
  c.displayName = "Ann Lee";
  c.firstName = "Ann";
  c.lastName = "Lee";
  c.company = "ACME; Inc";
  c.allFavoritesOrder = 3;
  c.faxNumber = "089/123/456";
  c.faxFavorite = 1;
  c.email = "ann@example.com";
  c.internetFax = "ifax@example.com";
  c.scanNickName = "Ann scan";
  c.scanFavorite = 1;
  c.scanServerAddress = "10.0.0.5:2121";
  c.scanDocumentPath = "/in";
  c.scanLoginName = "ann";
  c.scanTransferProtocol = 2;
  c.scanShareOrVolume = "docs";
  c.scanNdsTree = "T";
  c.scanNdsContext = "C";
  return c;
}

TEST_F(ExportWritersTest, DabWritesHeaderAndIndividualWithEitherDelimiter) {
  fake().contacts = {fullIndividual()};
  fake().groupIds[7] = {12, 40};
  // '|' stands for the delimiter; the ids inside MemberOf stay comma-separated.
  const std::string row =
      "7|Ann Lee|Ann|Lee|ACME; Inc|3|\"\"\"12,40\"\"\"|0||089//456|1|ann@example.com|0|"
      "ifax@example.com|Ann scan|1|3|10.0.0.5|2121|/in|ann||docs|T|C|\r\n";
  for (char delimiter : {',', ';'}) {
    std::string expected = withDelimiter(kDabHeader, delimiter) + row;
    std::replace(expected.begin(), expected.end(), '|', delimiter);
    EXPECT_EQ(expected, dab(delimiter));
  }
  EXPECT_EQ(1, moved_);
  EXPECT_EQ(2, fake().callCount("DAB_DBI_GetAllGroupIds(7,1)"));
}

TEST_F(ExportWritersTest, DabGroupLinesCarryKindWorkflowAndFavouritesOnly) {
  ScriptedContact fax, mail, other;
  fax.id = 20, fax.dlType = 1, fax.displayName = "Sales, EU", fax.faxFavorite = 1;
  fax.scanFavorite = 1;
  mail.id = 21, mail.dlType = 2, mail.displayName = "Mail", mail.emailFavorite = 1;
  other.id = 22, other.dlType = 5, other.displayName = "Other";
  for (ScriptedContact* g : {&fax, &mail, &other}) {
    g->firstName = g->company = g->email = g->internetFax = g->faxNumber = "must not show";
    g->scanNickName = g->scanDocumentPath = g->scanShareOrVolume = "must not show";
    g->scanServerAddress = "1.2.3.4:21";
  }
  fake().contacts = {fax, mail, other};
  fake().groupIds[20] = {30};
  FetchedList list;
  for (size_t i = 0; i < 3; ++i) {  // A group's line must not follow these.
    list.entry(i).person = nullptr;
    list.entry(i).internetFax = nullptr;
    list.entry(i).favorites = nullptr;
  }
  MemoryStream out;
  exporter_.writeToExportFile(out.get(), ',', 3, list.get());
  EXPECT_EQ(kDabHeader + "20,\"Sales, EU\",,,,,\"\"\"30\"\"\",1,Fax,,1,,0,,,1,,,,,,,,,,\r\n" +
                "21,Mail,,,,,,2,Email,,0,,1,,,0,,,,,,,,,,\r\n" +
                "22,Other,,,,,,0,Unknown,,0,,0,,,0,,,,,,,,,,\r\n",
            out.bytes());
  EXPECT_EQ(3, list.moved());
}

TEST_F(ExportWritersTest, DabMemberOfHoldsWhatTheDatabaseReturns) {
  for (int id = 1; id <= 4; ++id) fake().contacts.push_back(withId(id));
  fake().groupIds = {{1, {}}, {2, {12}}, {3, {12, 40, 7}}};
  fake().groupIdsFailFor = {4};
  EXPECT_EQ(kDabHeader + plainRow(1, "", "") + plainRow(2, "", "\"\"\"12\"\"\"") +
                plainRow(3, "", "\"\"\"12,40,7\"\"\"") + plainRow(4, "", ""),
            dab(','));
  std::vector<std::string> memberLines;
  for (const std::string& line : infoLines()) {
    if (line.rfind("Inside", 0) == 0 || line.rfind("RESPONSE", 0) == 0) memberLines.push_back(line);
  }
  EXPECT_EQ(memberLines,
            (std::vector<std::string>{"Inside Member Count ", "Inside Member Count ",
                                      "RESPONSE FOR GROUP IS :12 ", "Inside Member Count ",
                                      "RESPONSE FOR GROUP IS :12 ", "RESPONSE FOR GROUP IS :40 ",
                                      "RESPONSE FOR GROUP IS :7 "}));
}

TEST_F(ExportWritersTest, DabAsksNoMembershipsAfterAFailedCount) {
  fake().contacts = {withId(1), withId(2)};
  fake().groupIds = {{1, {5}}, {2, {6}}};
  exporter_.dbStatus = 3;
  EXPECT_EQ(kDabHeader + plainRow(1, "", "") + plainRow(2, "", ""), dab(','));
  EXPECT_EQ(0, fake().callCount("DAB_DBI_GetAllGroupIds"));
}

TEST_F(ExportWritersTest, DabFavouritesOrderIsEmptyOnlyForMinusOne) {
  for (int order : {-1, 0, 5}) {
    ScriptedContact c = withId(1);
    c.allFavoritesOrder = order;
    fake().contacts.push_back(c);
  }
  EXPECT_EQ(kDabHeader + plainRow(1, "", "") + plainRow(1, "0", "") + plainRow(1, "5", ""),
            dab(','));
}

// Number cells at the ends of their range, in individual and group lines,
// as printf's "%d" writes them.
TEST_F(ExportWritersTest, DabNumberCellsAtTheEndsOfTheirRange) {
  const int32_t kMin = std::numeric_limits<int32_t>::min();
  const int32_t kMax = std::numeric_limits<int32_t>::max();
  ScriptedContact person = withId(kMin);
  person.allFavoritesOrder = kMax;
  person.faxFavorite = -7, person.emailFavorite = 1000000000, person.scanFavorite = -10;
  person.scanServerAddress = "h:-2147483648";
  ScriptedContact group = withId(kMax);
  group.dlType = 1, group.faxFavorite = kMin, group.emailFavorite = 10, group.scanFavorite = 9;
  fake().contacts = {person, group};
  fake().groupIds = {{kMin, {kMax, 0, -1}}, {kMax, {kMin}}};
  EXPECT_EQ(kDabHeader +
                "-2147483648,,,,,2147483647,\"\"\"2147483647,0,-1\"\"\",0,,,-7,,"
                "1000000000,,,-10,1,h,-2147483648,,,,,,,\r\n" +
                "2147483647,,,,,,\"\"\"-2147483648\"\"\",1,Fax,,-2147483648,,10,,,9,,,,,,,,,,\r\n",
            dab(','));
}

TEST_F(ExportWritersTest, DabQuotesTextCellsAndPassesUtf8Through) {
  ScriptedContact c = fullIndividual();
  c.displayName = "Doe, John";
  c.firstName = "Jürgen";
  c.lastName = "O\"Neil";
  c.company = "\"Big\", Ltd";
  c.faxNumber = "1,2/secret/3";
  c.internetFax = "日本@example.com";
  c.scanServerAddress = "a,b:99";
  c.scanDocumentPath = "/x,y";
  c.scanTransferProtocol = 0;
  c.scanShareOrVolume = "vol,1";
  fake().contacts = {c};
  EXPECT_EQ(kDabHeader +
                "7,\"Doe, John\",Jürgen,\"O\"\"Neil\",\"\"\"Big\"\", Ltd\",3,,0,,\"1,2//3\",1,"
                "ann@example.com,0,日本@example.com,Ann scan,1,4,\"a,b\",99,\"/x,y\",ann,,,T,C,"
                "\"vol,1\"\r\n",
            dab(','));
}

TEST_F(ExportWritersTest, BothWriteTheHeaderAloneForNoEntries) {
  fake().contacts = {fullIndividual()};
  for (int count : {0, -4}) {
    EXPECT_EQ(kDabHeader, dab(',', count));
    EXPECT_EQ(0, moved_);
    EXPECT_EQ(kLegacyHeader, legacy(',', count));
    EXPECT_EQ("Friendly Name;E-Mail Address;Internet Fax Address\n", legacy(';', count));
    EXPECT_EQ(0, moved_);
  }
  EXPECT_EQ(0, fake().callCount("DAB_DBI_GetAllGroupIds"));
}

// --- Scan cells 17 to 26 ---------------------------------------------------

// Log lines of one address, joined by '|'.
struct ScanCase {
  int32_t type;
  std::optional<std::string> address;
  std::string cells18And19;
  std::string logs;
};

const std::string kV4 = "SERVERTYPE = IPV4|";
const std::string kV4End = "|ServerAddress is written ... IPV4 ";
const std::string kV6 = "SERVERTYPE = IPV6|";
const std::string kInvalid = "|INVALID SERVER TYPE... WRITTNG DEFAULT VALUES";
const ScanCase kScanCases[] = {
    {0, "192.168.1.10:21", "192.168.1.10,21",
     "ServerAddress = 192.168.1.10:21|" + kV4 + "ADDR =192.168.1.10|PORT =21" + kV4End},
    {1, "host.example", "host.example,0",
     "ServerAddress = host.example|" + kV4 + "ADDR =host.example|PORT =" + kV4End},
    {0, std::nullopt, ",0", "ServerAddress = |SERVERTYPE = IPV4" + kV4End},
    {0, "", ",0", "ServerAddress = |" + kV4 + "ADDR =|PORT =" + kV4End},
    {1, ":::", ",0", "ServerAddress = :::|" + kV4 + "ADDR =|PORT =" + kV4End},
    {0, "::h:: 42x:9", "h,42",
     "ServerAddress = ::h:: 42x:9|" + kV4 + "ADDR =h|PORT = 42x" + kV4End},
    {0, "h:99999999999", "h,2147483647",
     "ServerAddress = h:99999999999|" + kV4 + "ADDR =h|PORT =99999999999" + kV4End},
    {2, "[fd00::5]:21", "[fd00::5],21",
     "ServerAddress = [fd00::5]:21|" + kV6 + "ServerAddress tokenizer [fd00::5|Strtok for p 21"},
    {2, "[fd00::5]", "[fd00::5],0",
     "ServerAddress = [fd00::5]|" + kV6 + "ServerAddress tokenizer [fd00::5|Strtok for p "},
    {2, std::nullopt, ",0",
     "ServerAddress = |ServerAddress is NULL.... writing empty string in address"},
    {2, "]]]", ",0", "ServerAddress = ]]]|" + kV6 + "ServerAddress tokenizer |Strtok for p "},
    {2, "", ",0", "ServerAddress = |" + kV6 + "ServerAddress tokenizer |Strtok for p "},
    {3, "1.2.3.4:21", ",0", "ServerAddress = 1.2.3.4:21" + kInvalid},
    {-1, "1.2.3.4:21", ",0", "ServerAddress = 1.2.3.4:21" + kInvalid},
};

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& line : lines) s += (s.empty() ? "" : "|") + line;
  return s;
}

TEST_F(ExportWritersTest, ScanServerAddressFormsGiveHostPortAndTheirLogLines) {
  for (const ScanCase& c : kScanCases) {
    ScriptedContact contact = withScan(1);
    contact.scanServerAddress = c.address;
    contact.scanServerAddressType = c.type;
    fake().contacts = {contact};
    FetchedList list;
    DAB_DBI_Scan_t* scan = list.entry(0).scan;
    fake().logs.clear();
    MemoryStream out;
    exporter_.writeScanCells(out.get(), ',', scan);
    EXPECT_EQ("1," + c.cells18And19 + ",/p,u,,,t,c,\r\n", out.bytes()) << c.logs;
    EXPECT_EQ(c.logs, joined(infoLines()));
    const std::string address = c.address.value_or("");
    EXPECT_EQ(address, copyText(scan->serverAddress)) << "the database's text must stay whole";
  }
}

TEST_F(ExportWritersTest, ScanProtocolDecidesNumberShareAndVolume) {
  // code -> cells 17 and 23..26 around a fixed middle.
  const std::pair<int32_t, std::string> cases[] = {
      {0, "4,h,0,/p,u,,,t,c,vol\r\n"}, {1, "1,h,0,/p,u,,,t,c,\r\n"},
      {2, "3,h,0,/p,u,,vol,t,c,\r\n"}, {3, "5,h,0,/p,u,,,t,c,\r\n"},
      {4, "6,h,0,/p,u,,,t,c,\r\n"},    {5, "7,h,0,/p,u,,,t,c,\r\n"},
      {6, "2,h,0,/p,u,,,t,c,\r\n"},    {7, "4,h,0,/p,u,,,t,c,\r\n"},
      {-1, "4,h,0,/p,u,,,t,c,\r\n"},
  };
  for (const auto& [code, cells] : cases) {
    ScriptedContact c = withScan(9);
    c.scanServerAddress = "h";
    c.scanTransferProtocol = code;
    fake().contacts = {c};
    EXPECT_EQ(kDabHeader + "9,,,,,,,0,,,0,,0,,,0," + cells, dab(',')) << code;
  }
}

// --- Legacy writer ------------------------------------------------------------------

TEST_F(ExportWritersTest, LegacyWritesIndividualsWithEmailAndReportsTheOthers) {
  ScriptedContact quoted = withId(1), plain = withId(2), noEmail = withId(3), group = withId(4),
                  groupNoEmail = withId(5);
  quoted.displayName = "Doe, John", quoted.email = "j@x.org", quoted.internetFax = "f,x@y.org";
  plain.displayName = "Zoë", plain.email = "z@x.org";
  noEmail.displayName = "Nobody", noEmail.internetFax = "n@y.org";
  group.dlType = 2, group.displayName = "Team", group.email = "team@x.org";
  groupNoEmail.dlType = 1, groupNoEmail.displayName = "Faxers";
  fake().contacts = {quoted, plain, noEmail, group, groupNoEmail};
  const std::string rows = "\"Doe, John\",j@x.org,\"f,x@y.org\"\r\nZoë,z@x.org,\r\n";
  EXPECT_EQ(kLegacyHeader + rows, legacy(','));
  EXPECT_EQ(5, moved_);
  EXPECT_EQ(fake().logTexts(kError),
            (std::vector<std::string>{
                "Not exporting contact, null email contact (Legacy Mode):  Nobody",
                "Not exporting contact, null email contact (Legacy Mode):  Faxers"}));
  EXPECT_EQ(
      withDelimiter(kLegacyHeader, ';') + "\"Doe, John\";j@x.org;\"f,x@y.org\"\r\nZoë;z@x.org;\r\n",
      legacy(';'));
}

TEST_F(ExportWritersTest, LegacyMovesTheCursorByCountWhenEveryEntryIsLeftOut) {
  ScriptedContact noEmail = withId(1), group = withId(2);
  group.dlType = 1, group.email = "g@x.org";
  fake().contacts = {noEmail, group, noEmail, group};
  EXPECT_EQ(kLegacyHeader, legacy(',', 3));
  EXPECT_EQ(3, moved_);
}

}  // namespace
}  // namespace dabtest
