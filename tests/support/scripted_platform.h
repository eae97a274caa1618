// The scripted platform: a fake of every closed component the library calls
// (contact database, path service, logging, audit log, UTF-8 helper). A test
// scripts what each call returns, then checks the calls, log lines and created
// contacts that the fake recorded. One process-wide instance, reset by
// PlatformTest.
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
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "contact_db.h"
#include "contact_values.h"
#include "logging.h"

namespace dabtest {

// One entry of the contact list as a test scripts it.
using ScriptedContact = ContactValues;

// What DAB_DBI_CreateContact received, copied during the call.
struct CreatedContact {
  DAB_DBI_Contact_t record;      // The words as received; pointers dangle afterwards.
  DAB_DBI_Person_t person{};     // Copy of *record.person (zero when null).
  DAB_DBI_Email_t email{};       // Copy of *record.email (zero when null).
  DAB_DBI_InternetFax_t ifax{};  // Copy of *record.internetFax (zero when null).
  std::string displayName;       // Texts behind the pointers ("" when null).
  std::string firstName, lastName, company, emailAddress, ifaxAddress;
  int32_t newContactIdOnEntry = 0;  // *newContactId when the call began.
};

struct LogLine {
  int level;
  std::string text;  // The formatted message.
  bool operator==(const LogLine& other) const { return level == other.level && text == other.text; }
};
void PrintTo(const LogLine& line, std::ostream* os);

// Level names for readable expectations: {kError, "Contact List is NULL"}.
constexpr int kLibEnter = 1, kInfo = 2, kDebug = 3, kError = 4, kForceInfo = 5;

class ScriptedPlatform {
 public:
  static ScriptedPlatform& instance();
  void reset();

  // --- Script -------------------------------------------------------------
  int connectResult = 0;
  int disconnectResult = 0;
  int countResult = 0;
  std::optional<int> countValue;  // Stored by GetContactsCount; default: contacts.size().
  int listResult = 0;
  std::vector<ScriptedContact> contacts;             // The list GetContactList hands out.
  int groupIdsResult = 0;                            // Result for every GetAllGroupIds call...
  std::set<int32_t> groupIdsFailFor;                 // ...and contact ids whose call fails.
  std::map<int32_t, std::vector<int32_t>> groupIds;  // Memberships by contact id.
  // No membership comes back as count 0 with a null pointer, as the stand-in
  // gives it; true: with a stale non-null pointer, which the count overrules.
  bool staleIdsWhenEmpty = false;
  int createResult = 0;            // Result for every CreateContact call...
  std::set<int> refuseCreateCall;  // ...and 0-based calls that return 1.
  std::string throwBadAllocIn;     // Name of a call ("DAB_DBI_GetContactList") that throws.
  std::string dataDir;             // What xpaths_get_path returns.
  bool failOpen = false;           // xpaths_open_file returns NULL.
  bool keepInfoLogs = true;        // False: logSpecInfo lines are counted, not formatted or kept.
  bool recordTransfers = false;    // The opened stream records each read and write it makes.
  std::function<void()> duringCreate;  // Runs inside every CreateContact call.
  // Hears every log call first, unformatted, as a listener on the stand-in does.
  std::function<void(int level, const char* format, va_list args)> logTap;

  // --- Record ---------------------------------------------------------------
  // Every platform call in order, e.g. "DAB_DBI_GetAllGroupIds(7,1)",
  // "xpaths_open_file(DATA,http/data/addressbook.txt,r)",
  // "chmod(http/data/ExportedAddressBook.csv,0666)". Free_ContactList is
  // recorded as "DAB_DBI_Free_ContactList(restored)" when `contacts` holds the
  // pointer the fetch stored (or null after a failed fetch), "(moved)" otherwise.
  std::vector<std::string> calls;
  std::vector<LogLine> logs;
  std::vector<CreatedContact> created;
  int listsOutstanding = 0;       // Lists fetched and not yet freed.
  int createCalls = 0;            // CreateContact calls so far.
  long infoLogsDropped = 0;       // logSpecInfo lines not kept (keepInfoLogs false).
  std::vector<size_t> transfers;  // Sizes of the reads and writes, with recordTransfers.
  FILE* lastOpened = nullptr;     // The stream xpaths_open_file handed out last.

  // Log lines at `level` only.
  std::vector<std::string> logTexts(int level) const;
  // Calls whose text starts with `prefix`.
  int callCount(const std::string& prefix) const;

  // --- Used by the fake itself --------------------------------------------
  void record(const std::string& call);
  DAB_DBI_Contact_t* handOutList();
  bool releaseList(DAB_DBI_Contact_t* first);  // False when `first` is no list's start.

 private:
  struct ListStorage;
  std::map<DAB_DBI_Contact_t*, std::unique_ptr<ListStorage>> lists_;
};

std::string copyText(const char* s);  // "" for NULL.
std::string repeat(const std::string& unit, size_t times);
// The lowest free descriptor: higher after a call than before means a file
// left open.
int lowestFreeFd();

inline ScriptedPlatform& fake() { return ScriptedPlatform::instance(); }

// Fixture: resets the fake, makes a fresh data root with "http/data" in it,
// points the path service at it and makes it the working directory (the
// library's chmod uses relative names). Removes it all afterwards.
class PlatformTest : public ::testing::Test {
 protected:
  PlatformTest();
  ~PlatformTest() override;

  // Contents of a file below the data root ("" when missing).
  std::string readFile(const std::string& relativeName) const;
  void writeFile(const std::string& relativeName, const std::string& bytes) const;
  bool fileExists(const std::string& relativeName) const;

  std::string root_;

 private:
  std::string previousDir_;
};

}  // namespace dabtest

#endif  // DABUTILS_TESTS_SUPPORT_SCRIPTED_PLATFORM_H_
