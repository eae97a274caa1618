// The small stand-ins: path service, logging, UTF-8 helper and audit log.
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "audit_log.h"
#include "contact_db.h"
#include "dabplatform.h"
#include "gtest/gtest.h"
#include "logging.h"
#include "path_service.h"
#include "temp_data_root.h"
#include "utf8_text.h"

namespace dabtest {
namespace {

namespace fs = std::filesystem;

// A fresh data root; the audit log's records read back.
class StandinTest : public ::testing::Test {
 protected:
  using Records = std::vector<std::pair<std::string, std::string>>;
  static void collect(void* context, const char* at, const char* event) {
    static_cast<Records*>(context)->emplace_back(at, event);
  }
  Records read(int limit) {
    Records records;
    EXPECT_EQ(0, dabplatform_audit_records(&StandinTest::collect, &records, limit))
        << dabplatform_database_error();
    return records;
  }
  TempDataRoot root_;
};
using PathServiceTest = StandinTest;
using AuditLogTest = StandinTest;

TEST_F(PathServiceTest, AnswersOnlyItsKey) {
  EXPECT_EQ(root_.path(), xpaths_get_path("nc_dlms_data"));
  for (const char* key : {"nc_dlms", "NC_DLMS_DATA", ""}) EXPECT_EQ(nullptr, xpaths_get_path(key));
  EXPECT_EQ(nullptr, xpaths_get_path(nullptr));
}

TEST_F(PathServiceTest, RefusesWhatIsNotAFileBelowTheRoot) {
  fs::create_directories(root_.file("http/data"));
  std::ofstream(root_.file("inside.txt")) << "x";
  std::string absolute = root_.file("inside.txt");
  // Whoever can write the data folder could point a fixed name anywhere.
  fs::create_symlink(absolute, root_.file("http/data/ExportedAddressBook.csv"));
  fs::create_symlink(absolute, root_.file("http/data/addressbook.txt"));
  // Absolute (even below the root), beside the root, empty, missing (reading
  // never creates), a directory, a link at the final name (never followed).
  // clang-format off
  const std::pair<std::string, const char*> cases[] = {
      {absolute, "r"}, {"../escaped.csv", "w"}, {"http/../../escaped.csv", "w"}, {"", "r"},
      {"http/data/missing.txt", "r"}, {"http/data", "r"}, {"http/data/ExportedAddressBook.csv", "w"},
      {"http/data/addressbook.txt", "r"}};
  // clang-format on
  const char* dir = xpaths_get_path("nc_dlms_data");
  for (const auto& [name, mode] : cases) {
    FILE* file = xpaths_open_file(dir, name.c_str(), mode);
    EXPECT_EQ(nullptr, file) << name;
    if (file != nullptr) fclose(file);
  }
  EXPECT_FALSE(fs::exists(fs::path(root_.path()).parent_path() / "escaped.csv"));
  EXPECT_FALSE(fs::exists(root_.file("http/data/missing.txt")));
  std::ifstream target(absolute);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(target), {}), "x");
}

using Heard = std::tuple<int, std::string, int, std::string>;  // Level, source, line, message.

class LoggingTest : public ::testing::Test {
 protected:
  LoggingTest() : stream_(tmpfile()) { dabplatform_set_log_stream(stream_); }
  ~LoggingTest() override {
    dabplatform_set_log_threshold(DABPLATFORM_LOG_ERROR);
    dabplatform_set_log_stream(nullptr);
    dabplatform_set_log_listener(nullptr, nullptr, DABPLATFORM_LOG_OFF);
    fclose(stream_);
  }

  std::string streamText() {
    fflush(stream_);
    rewind(stream_);
    std::string text;
    for (int c; (c = fgetc(stream_)) != EOF;) text += static_cast<char>(c);
    return text;
  }

  // Formats the call as a listener that wants the line would.
  static int listen(void* context, int level, const char* source, int line, const char* format,
                    va_list args) {
    char message[256];
    vsnprintf(message, sizeof message, format, args);
    static_cast<std::vector<Heard>*>(context)->emplace_back(level, source, line, message);
    return 0;
  }

  FILE* stream_;
  std::vector<Heard> heard_;
};

// A line that goes nowhere is not formatted at all: "%n" would store the
// number of characters written so far.
TEST_F(LoggingTest, ThresholdDropsLinesFromTheStreamButNotFromTheListener) {
  dabplatform_set_log_threshold(DABPLATFORM_LOG_ERROR);
  dabplatform_set_log_listener(&LoggingTest::listen, &heard_, DABPLATFORM_LOG_DEBUG);
  int written = -1;
  Log_SpecEntry(logSpecInfo, "unit/a", 1, "below both%n", &written);
  Log_SpecEntry(logSpecDebug, "unit/b", 2, "listener only %s", "x");
  Log_SpecEntry(logSpecError, "unit/c", 3, "both %d%%", 50);
  Log_SpecEntry(logSpecForceInfo, "unit/d", 4, "forced");
  EXPECT_EQ((std::vector<Heard>{{DABPLATFORM_LOG_DEBUG, "unit/b", 2, "listener only x"},
                                {DABPLATFORM_LOG_ERROR, "unit/c", 3, "both 50%"},
                                {DABPLATFORM_LOG_FORCEINFO, "unit/d", 4, "forced"}}),
            heard_);
  const std::string kStream = "ERROR     unit/c:3 both 50%\nFORCEINFO unit/d:4 forced\n";
  EXPECT_EQ(kStream, streamText());

  dabplatform_set_log_threshold(DABPLATFORM_LOG_OFF);
  dabplatform_set_log_listener(nullptr, nullptr, DABPLATFORM_LOG_LIBENTER);
  Log_SpecEntry(logSpecForceInfo, "unit/e", 5, "nowhere%n", &written);
  EXPECT_EQ(-1, written);
  EXPECT_EQ(3u, heard_.size());
  EXPECT_EQ(kStream, streamText());
  dabplatform_set_log_threshold(DABPLATFORM_LOG_DEBUG);
  Log_SpecEntry(logSpecDebug, "unit/f", 6, "abc%n", &written);
  EXPECT_EQ(3, written);
}

// The listener gets the caller's own literal, so it can tell lines apart by
// pointer; a literal it mutes is not handed over again, and nothing of it is
// formatted, until the listener is set anew.
TEST_F(LoggingTest, AListenerSeesLiteralsAndMutesTheOnesItDoesNotWant) {
  struct Seen {
    std::vector<const char*> formats;
    const char* mute = nullptr;
  } seen;
  auto listener = [](void* context, int, const char*, int, const char* format, va_list) {
    auto* s = static_cast<Seen*>(context);
    s->formats.push_back(format);
    return format == s->mute ? DABPLATFORM_LOG_MUTE : 0;
  };
  static const char kNoisy[] = "noisy %n";
  static const char kWanted[] = "wanted";
  seen.mute = kNoisy;
  dabplatform_set_log_threshold(DABPLATFORM_LOG_ERROR);
  dabplatform_set_log_listener(listener, &seen, DABPLATFORM_LOG_DEBUG);
  int written = -1;
  for (int i = 0; i < 3; ++i) {
    Log_SpecEntry(logSpecDebug, "unit/a", 1, kNoisy, &written);
    Log_SpecEntry(logSpecDebug, "unit/a", 2, kWanted);
  }
  EXPECT_EQ((std::vector<const char*>{kNoisy, kWanted, kWanted, kWanted}), seen.formats);
  EXPECT_EQ(-1, written);

  // A muted literal the threshold lets through still reaches the stream.
  dabplatform_set_log_threshold(DABPLATFORM_LOG_DEBUG);
  Log_SpecEntry(logSpecDebug, "unit/b", 3, kNoisy, &written);
  EXPECT_EQ(4u, seen.formats.size());
  EXPECT_EQ("DEBUG     unit/b:3 noisy \n", streamText());

  // Setting the listener again forgets what was muted.
  seen.mute = nullptr;
  dabplatform_set_log_threshold(DABPLATFORM_LOG_ERROR);
  dabplatform_set_log_listener(listener, &seen, DABPLATFORM_LOG_DEBUG);
  Log_SpecEntry(logSpecDebug, "unit/c", 4, kNoisy, &written);
  EXPECT_EQ(5u, seen.formats.size());
}

TEST_F(LoggingTest, LongMessagesArriveWhole) {
  dabplatform_set_log_threshold(DABPLATFORM_LOG_LIBENTER);
  std::string name(3000, 'n');
  Log_SpecEntry(logSpecLibEnter, "genlib/dabUtils/src/DABImport", 120, "Contact Added %s!",
                name.c_str());
  EXPECT_EQ("ENTER     genlib/dabUtils/src/DABImport:120 Contact Added " + name + "!\n",
            streamText());
}

TEST(LogLevelNameTest, NamesEveryLevelAndMarksOthers) {
  // clang-format off
  std::pair<int, const char*> names[] = {
      {DABPLATFORM_LOG_LIBENTER, "ENTER"}, {DABPLATFORM_LOG_INFO, "INFO"},
      {DABPLATFORM_LOG_DEBUG, "DEBUG"}, {DABPLATFORM_LOG_ERROR, "ERROR"},
      {DABPLATFORM_LOG_FORCEINFO, "FORCEINFO"}, {0, "?"}, {DABPLATFORM_LOG_OFF, "?"}};
  // clang-format on
  for (auto [level, name] : names) EXPECT_STREQ(name, dabplatform_log_level_name(level)) << level;
}

TEST(Utf8StrlenTest, CountsCharactersNotBytes) {
  // Characters of two, three and four bytes; stray continuation bytes count as nothing.
  // clang-format off
  std::pair<const char*, int> cases[] = {
      {"", 0}, {"plain ASCII", 11}, {"\xC3\xA9t\xC3\xA9", 3}, {"\xE2\x82\xAC 5", 3},
      {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 2}, {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 4},
      {"\x80\x80", 0}};
  // clang-format on
  for (auto [text, characters] : cases) EXPECT_EQ(characters, UTF8_strlen(text)) << text;
}

TEST_F(AuditLogTest, ExportsAreRecordedAndReadNewestFirst) {
  EXPECT_EQ(Records{}, read(0));  // No database file yet.
  for (int i = 0; i < 3; ++i) ASSERT_EQ(0, adlog_addressbook_export());

  Records all = read(0);
  ASSERT_EQ(3u, all.size());
  const std::regex isoUtc(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
  for (const auto& [at, event] : all) {
    EXPECT_TRUE(std::regex_match(at, isoUtc)) << at;
    EXPECT_EQ("address book exported", event);
  }
  EXPECT_GE(all[0].first, all[2].first);
  EXPECT_EQ(2u, read(2).size());
}

TEST_F(AuditLogTest, RecordsWhileTheContactDatabaseHoldsUnfinishedWrites) {
  ASSERT_EQ(0, DAB_DBI_Connect());
  char name[] = "Pending";
  DAB_DBI_Contact_t contact{};
  contact.displayName = name;
  ASSERT_EQ(0, DAB_DBI_CreateContact(&contact, nullptr));
  EXPECT_EQ(0, adlog_addressbook_export()) << dabplatform_database_error();
  ASSERT_EQ(0, DAB_DBI_CreateContact(&contact, nullptr));  // The connection still writes.
  EXPECT_EQ(0, DAB_DBI_Disconnect());
  EXPECT_EQ(1u, read(0).size());
  ASSERT_EQ(0, DAB_DBI_Connect());
  int count = 0;
  EXPECT_EQ(0, DAB_DBI_GetContactsCount(&count, 0));
  EXPECT_EQ(2, count);
}

TEST_F(AuditLogTest, FailsOnAFileThatIsNotADatabase) {
  std::string path = root_.file("words.txt");
  std::ofstream(path) << "These words are not a database, whatever the name says.\n";
  dabplatform_set_database_path(path.c_str());
  EXPECT_EQ(DABPLATFORM_DB_NOT_A_DATABASE, adlog_addressbook_export());
  Records records;
  EXPECT_EQ(DABPLATFORM_DB_NOT_A_DATABASE,
            dabplatform_audit_records(&StandinTest::collect, &records, 0));
  EXPECT_EQ(DABPLATFORM_DB_BAD_ARGUMENT, dabplatform_audit_records(nullptr, nullptr, 0));
}

}  // namespace
}  // namespace dabtest
