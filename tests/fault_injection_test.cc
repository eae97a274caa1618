// Faults the library must survive without crashing, leaking or leaving a
// connection or a file open: a file system filling up under an export, the
// connection, the count or the disconnect failing under each entry point, and
// a failed allocation at every allocation site of each entry point (plain
// build only: see support/alloc_faults.h). The other database failures are
// driven in export_test and import_test.
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "DABExport.h"
#include "DABUtils.h"
#include "scripted_platform.h"

#ifdef DABUTILS_ALLOC_FAULTS
#include "alloc_faults.h"
#endif

namespace dabtest {
namespace {

const char kDabFile[] = "http/data/ExportedAddressBook.csv";
const char kLegacyFile[] = "http/data/LegacyExportedAddressBook.csv";
const char kUpload[] = "http/data/addressbook.txt";
const std::string kTwoRows =
    "First,Last,Display,Company,Email,Ifax\nAnn,Lee,\"Lee, Ann\",ACME,ann@x.org,\nBob,Ray,Bob "
    "Ray,,bob@x.org,\n";

ScriptedContact individual(int32_t id, const std::string& name) {
  ScriptedContact c;
  c.id = id, c.displayName = name, c.firstName = "John", c.lastName = "Doe";
  c.company = "ACME \"Ltd\"", c.email = "jd@example.com", c.internetFax = "fax\"1@example.com";
  c.faxNumber = "12/34/56", c.scanServerAddress = "host:21";
  return c;
}

ScriptedContact group(int32_t id, const std::string& name) {
  ScriptedContact c;
  c.id = id, c.dlType = DAB_DBI_FAX_GROUP, c.displayName = name, c.email = "team@example.com";
  return c;
}

// One way into the library: the entry point, the file it writes (or reads)
// and whether it holds a database connection.
struct EntryPoint {
  const char* name;
  std::function<int(ResultStatus*)> call;
  const char* file;
  bool connects;
  bool exports;
};

// The delimiter name as the entry points take it: a writable copy.
char* comma(const char* text = "Comma") {
  static std::string name;
  name = text;
  return name.data();
}

// clang-format off
const EntryPoint kEntryPoints[] = {
    {"AdressBookExport", [](ResultStatus*) { return AdressBookExport(comma(), nullptr, nullptr); },
     kDabFile, true, true},
    {"LegacyAdressBookExport",
     [](ResultStatus*) { return LegacyAdressBookExport(comma(), nullptr, nullptr, nullptr); },
     kLegacyFile, true, true},
    {"AddressBookImport",
     [](ResultStatus* result) { return AddressBookImport(comma(), nullptr, nullptr, result); },
     kUpload, true, false},
    {"GenerateSampleDAB", [](ResultStatus*) { return GenerateSampleDAB(comma(), nullptr, nullptr, 15); },
     "http/data/AddressBookSample.csv", false, false},
    {"GenerateSampleLegacy", [](ResultStatus*) { return GenerateSampleLegacy(comma("Semicolon")); },
     "http/data/LegacyAddressBookSample.csv", false, false}};
// clang-format on

class FaultInjectionTest : public PlatformTest {
 protected:
  // Resets the fake and the data directory for another run in the same data
  // root, with a small address book and an upload of two data rows.
  void script() {
    for (const auto& file : std::filesystem::directory_iterator(root_ + "/http/data")) {
      std::filesystem::remove_all(file.path());
    }
    fake().reset();
    fake().dataDir = root_;
    fake().contacts = {individual(5, "Doe, John"), group(6, "Team, A")};
    fake().groupIds[5] = {6};
    writeFile(kUpload, kTwoRows);
  }

  // Checks what every run must leave behind, whatever failed.
  void expectCleanEnd(const EntryPoint& entry, int fdBefore) {
    EXPECT_EQ(lowestFreeFd(), fdBefore) << "a file was left open";
    EXPECT_EQ(0, fake().listsOutstanding);
    EXPECT_EQ(0, fake().callCount("DAB_DBI_Free_ContactList(moved)"));
    int connections = entry.connects ? 1 : 0;
    EXPECT_EQ(connections, fake().callCount("DAB_DBI_Connect"));
    EXPECT_EQ(connections, fake().callCount("DAB_DBI_Disconnect"));
  }
};

// Holds the file size limit at `bytes` for its lifetime; a write past it
// fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t previousHandler_;
};

// Write errors are not looked at: the export counts as done and the file is
// what fit. Nothing worse may happen.
TEST_F(FaultInjectionTest, FileSystemFillingUpTruncatesTheFile) {
  const rlim_t kRoom = 100;  // Less than the smallest file, the legacy sample.
  for (const EntryPoint& entry : kEntryPoints) {
    if (std::string(entry.name) == "AddressBookImport") continue;
    SCOPED_TRACE(entry.name);
    script();
    // Enough rows for stdio to flush, and fail, several times mid-export.
    for (int32_t id = 10; id < 400; ++id) fake().contacts.push_back(individual(id, "Doe, J"));
    std::vector<ScriptedContact> book = fake().contacts;
    ASSERT_EQ(1, entry.call(nullptr));
    std::string whole = readFile(entry.file);
    ASSERT_GT(whole.size(), kRoom);

    script();
    fake().contacts = book;
    int fdBefore = lowestFreeFd();
    int ok = 0;
    {
      FileSizeLimit limit(kRoom);
      ok = entry.call(nullptr);
    }
    EXPECT_EQ(1, ok);
    EXPECT_EQ(whole.substr(0, kRoom), readFile(entry.file));
    expectCleanEnd(entry, fdBefore);
    EXPECT_EQ(entry.exports ? 1 : 0, fake().callCount("adlog_addressbook_export"));
    EXPECT_TRUE(fake().logTexts(kError).empty());
  }
}

// A database call made to fail; per entry point (DAB export, legacy export,
// import) the result and the error lines in order. Only a failed connection
// fails the call; an import goes on without its count.
struct DatabaseFault {
  const char* call;
  int ScriptedPlatform::*result;
  int results[3];
  std::vector<std::string> errors[3];
};

// clang-format off
const DatabaseFault kDatabaseFaults[] = {
    {"DAB_DBI_Connect", &ScriptedPlatform::connectResult, {0, 0, 0},
     {{"Could not Export Addressbook"}, {"Could not Export Legacy Addressbook"},
      {"Could not Import Addressbook"}}},
    {"DAB_DBI_GetContactsCount", &ScriptedPlatform::countResult, {1, 1, 1}, {}},
    {"DAB_DBI_Disconnect", &ScriptedPlatform::disconnectResult, {1, 1, 1}, {}}};
// clang-format on

TEST_F(FaultInjectionTest, ConnectionCountOrDisconnectFailing) {
  for (const DatabaseFault& fault : kDatabaseFaults) {
    for (int e = 0; e < 3; ++e) {
      const EntryPoint& entry = kEntryPoints[e];
      SCOPED_TRACE(std::string(fault.call) + " failing under " + entry.name);
      script();
      fake().*fault.result = 1;
      ResultStatus counts{-1, -1};
      int fdBefore = lowestFreeFd();
      EXPECT_EQ(fault.results[e], entry.call(&counts));
      EXPECT_EQ(fault.errors[e], fake().logTexts(kError));
      expectCleanEnd(entry, fdBefore);
      bool exported = entry.exports && fault.results[e] == 1;
      EXPECT_EQ(exported ? 1 : 0, fake().callCount("adlog_addressbook_export"));
      EXPECT_FALSE(entry.exports && !exported && std::filesystem::exists(root_ + "/" + entry.file));
      if (!entry.exports) {
        std::vector<int> expected =
            fault.results[e] == 1 ? std::vector<int>{2, 0} : std::vector<int>{-1, -1};
        EXPECT_EQ(expected, (std::vector<int>{counts.successCount, counts.failureCount}));
      }
    }
  }
}

#ifdef DABUTILS_ALLOC_FAULTS

// What a failed allocation may legitimately change in an otherwise complete
// file: a text written unquoted, a masked fax number left out, a server
// address left out. Each is the baseline with one piece replaced.
struct Degradation {
  std::string from, to;
};

struct AllocationCase {
  const EntryPoint& entry;
  std::vector<Degradation> degradations;
};

std::string degrade(const std::string& baseline, const Degradation& d) {
  size_t at = baseline.find(d.from);
  if (at == std::string::npos) return "(" + d.from + " not in the baseline)";
  return baseline.substr(0, at) + d.to + baseline.substr(at + d.from.size());
}

// The quoting and masking buffers hold their result and its NUL where the
// result just fills, or just outgrows, the smallest buffer (2048 and 255
// bytes). The sanitizer build reports an overrun itself; here the size asked
// of malloc tells.
TEST_F(FaultInjectionTest, QuotingAndMaskingBuffersHoldTheirResult) {
  DABExport exporter;
  const auto quote = &DABExport::makeCsvSafe, mask = &DABExport::MaskData;
  // clang-format off
  const std::pair<char* (DABExport::*)(char*), std::string> cases[] = {
      {quote, std::string(2044, 'x') + ","}, {quote, std::string(2045, 'x') + ","},
      {quote, std::string(1023, '"') + "x"}, {quote, std::string(2046, 'x') + ","},
      {mask, std::string(254, '7')}, {mask, std::string(255, '7')}, {mask, std::string(256, '7')}};
  // clang-format on
  for (const auto& [method, input] : cases) {
    std::string copy = input;
    AllocationFaults faults;
    char* result = (exporter.*method)(copy.data());
    ASSERT_NE(nullptr, result);
    ASSERT_EQ(1u, faults.sizes().size());
    EXPECT_GE(faults.sizes()[0], strlen(result) + 1) << input.size() << " bytes";
    free(result);
  }
}

TEST_F(FaultInjectionTest, FailedAllocationAtEverySite) {
  const Degradation name = {"\"Doe, John\"", "Doe, John"};
  const Degradation ifax = {"\"fax\"\"1@example.com\"", "fax\"1@example.com"};
  // clang-format off
  const AllocationCase kCases[] = {
      {kEntryPoints[0], {name, {"\"ACME \"\"Ltd\"\"\"", "ACME \"Ltd\""}, {",12//56,", ",,"}, ifax,
                         {",host,21,", ",,0,"}, {"\"Team, A\"", "Team, A"}}},
      {kEntryPoints[1], {name, ifax}}, {kEntryPoints[2], {}}, {kEntryPoints[3], {}},
      {kEntryPoints[4], {}}};
  // clang-format on
  for (const AllocationCase& c : kCases) {
    SCOPED_TRACE(c.entry.name);
    script();
    ResultStatus counts{-1, -1};
    long sites = 0;
    {
      AllocationFaults faults;
      ASSERT_EQ(1, c.entry.call(&counts));
      sites = faults.count();
      EXPECT_EQ(0, faults.outstanding());
    }
    std::string baseline = c.entry.exports ? readFile(c.entry.file) : "";
    std::cout << "[  sites   ] " << c.entry.name << ": " << sites << " library allocations\n";
    EXPECT_GE(sites, c.entry.connects ? 1 : 0) << "the counting does not see the library";

    std::set<size_t> seen;  // Degradations that some failure produced.
    int fatal = 0;
    for (long k = 0; k < sites; ++k) {
      SCOPED_TRACE("allocation " + std::to_string(k));
      script();
      counts = ResultStatus{-1, -1};
      int fdBefore = lowestFreeFd();
      int ok = 0;
      {
        AllocationFaults faults(k);
        ok = c.entry.call(&counts);
        EXPECT_TRUE(faults.failed());
        EXPECT_EQ(0, faults.outstanding()) << "leaked library blocks";
      }
      expectCleanEnd(c.entry, fdBefore);
      if (ok == 0) {
        ++fatal;
        EXPECT_EQ(0, fake().callCount("adlog_addressbook_export"));
        EXPECT_EQ((std::vector<int>{-1, -1}),
                  (std::vector<int>{counts.successCount, counts.failureCount}));
        continue;
      }
      ASSERT_TRUE(c.entry.exports) << "succeeded although an allocation failed";
      std::string file = readFile(c.entry.file);
      size_t match = c.degradations.size();
      for (size_t d = 0; d < c.degradations.size(); ++d) {
        if (file == degrade(baseline, c.degradations[d])) match = d;
      }
      ASSERT_LT(match, c.degradations.size()) << "unexpected file:\n" << file;
      seen.insert(match);
    }
    EXPECT_EQ(c.degradations.size(), seen.size()) << "a degradable site was never reached";
    EXPECT_GE(fatal, c.entry.connects ? 1 : 0);
  }
}

#endif

}  // namespace
}  // namespace dabtest
