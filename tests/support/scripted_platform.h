// The scripted platform: a fake of every closed component the library calls
// (contact database, path service, logging, audit log, UTF-8 helper). A test
// scripts what each call returns, then checks the calls, log lines and created
// contacts the fake recorded. One process-wide instance, reset by PlatformTest.
#ifndef DABUTILS_TESTS_SUPPORT_SCRIPTED_PLATFORM_H_
#define DABUTILS_TESTS_SUPPORT_SCRIPTED_PLATFORM_H_

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "contact_db.h"
#include "contact_record.h"
#include "files_and_text.h"
#include "logging.h"

namespace dabtest {

using ScriptedContact = ContactValues;

// What DAB_DBI_CreateContact received, copied during the call (the pointers
// in `record` and its sub-record copies dangle afterwards; texts are "" for NULL).
struct CreatedContact {
  DAB_DBI_Contact_t record{};
  DAB_DBI_Person_t person{};
  DAB_DBI_Email_t email{};
  DAB_DBI_InternetFax_t ifax{};
  std::string displayName, firstName, lastName, company, emailAddress, ifaxAddress;
  int32_t newContactIdOnEntry = 0;
};

using LogLine = std::pair<int, std::string>;  // Level and formatted text.

constexpr int kLibEnter = 1, kInfo = 2, kDebug = 3, kError = 4, kForceInfo = 5;

class ScriptedPlatform {
 public:
  static ScriptedPlatform& instance();
  void reset();

  // --- Script: results of the calls -------------------------------------------
  int connectResult = 0, disconnectResult = 0, countResult = 0, listResult = 0;
  std::optional<int> countValue;          // Stored by GetContactsCount; default: contacts.size().
  std::vector<ScriptedContact> contacts;  // The list GetContactList hands out.
  std::set<int32_t> groupIdsFailFor;      // Contact ids whose GetAllGroupIds returns 1.
  std::map<int32_t, std::vector<int32_t>> groupIds;  // Memberships by contact id.
  // No membership comes back as count 0 with a null pointer, as the stand-in
  // gives it; true: with a stale non-null pointer, which the count overrules.
  bool staleIdsWhenEmpty = false;
  std::set<int> refuseCreateCall;      // 0-based CreateContact calls that return 1.
  std::string throwBadAllocIn;         // Name of a call that throws std::bad_alloc.
  std::string dataDir;                 // What xpaths_get_path returns.
  bool failOpen = false;               // xpaths_open_file returns NULL.
  bool keepInfoLogs = true;            // False: logSpecInfo lines are not formatted or kept.
  bool recordTransfers = false;        // The opened stream records each read and write.
  std::function<void()> duringCreate;  // Runs inside every CreateContact call.
  // Hears every log call first, unformatted, as a listener on the stand-in does.
  std::function<void(int level, const char* format, va_list args)> logTap;

  // --- Record ------------------------------------------------------------------
  // Every platform call in order, e.g. "DAB_DBI_GetAllGroupIds(7,1)",
  // "xpaths_open_file(DATA,http/data/addressbook.txt,r)", "chmod(name,0666)".
  // Free_ContactList shows "(restored)" when the list holds the pointer the
  // fetch stored (or null after a failed fetch), "(moved)" otherwise.
  std::vector<std::string> calls;
  std::vector<LogLine> logs;
  std::vector<CreatedContact> created;
  int listsOutstanding = 0;  // Lists fetched and not yet freed.
  int createCalls = 0;
  std::vector<size_t> transfers;  // Sizes of the reads and writes, with recordTransfers.
  FILE* lastOpened = nullptr;     // The stream xpaths_open_file handed out last.

  std::vector<std::string> logTexts(int level) const;
  int callCount(const std::string& prefix) const;  // Calls starting with `prefix`.

  // --- Used by the fake (and the fuzzers) ----------------------------------------
  void record(const std::string& call);
  DAB_DBI_Contact_t* handOutList();
  bool releaseList(DAB_DBI_Contact_t* first);  // False when `first` is no list's start.

 private:
  struct ListStorage;
  std::map<DAB_DBI_Contact_t*, std::unique_ptr<ListStorage>> lists_;
};

std::string copyText(const char* s);  // "" for NULL.
std::string repeat(const std::string& unit, size_t times);
// The lowest free descriptor: higher after a call than before means a file left open.
int lowestFreeFd();

inline ScriptedPlatform& fake() { return ScriptedPlatform::instance(); }

// Resets the fake and makes a fresh data root with "http/data" in it, the
// path service's answer and the working directory (the library's chmod uses
// relative names). Removes it all afterwards.
class PlatformTest : public ::testing::Test {
 protected:
  PlatformTest();
  ~PlatformTest() override;

  // "" when missing.
  std::string readFile(const std::string& name) const { return testutil::readAll(dir_.at(name)); }
  void writeFile(const std::string& name, const std::string& bytes) const {
    dir_.writeFile(name, bytes);
  }

  testutil::TempDir dir_;
  std::string root_ = dir_.dir_.string();

 private:
  std::string previousDir_;
};

}  // namespace dabtest

#endif  // DABUTILS_TESTS_SUPPORT_SCRIPTED_PLATFORM_H_
