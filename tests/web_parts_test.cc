// The web console's parts that need no server: JSON text, the search and
// paging of the table, and which requests the guard lets through.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "book_page.h"
#include "web_guard.h"
#include "web_json.h"
#include "web_json_reader.h"

namespace dabtool {
namespace {

TEST(WebJsonTest, QuotesEscapesAndRepairsText) {
  struct Case {
    std::string text;
    std::string quoted;
  };
  const std::vector<Case> cases = {
      {"", R"("")"},
      {"plain", R"("plain")"},
      {"say \"hi\" \\ bye", R"("say \"hi\" \\ bye")"},
      {"line\nfeed\r\ttab", R"("line\nfeed\r\ttab")"},
      {std::string("nul\0bell\x07"
                   "del\x7f",
                   13),
       R"("nul\u0000bell\u0007del\u007f")"},
      {"Renée Ørsted 山田 😀", "\"Renée Ørsted 山田 😀\""},
      // Not UTF-8: a lone continuation byte, a cut character, an overlong
      // slash, a surrogate, a value past U+10FFFF. Each bad byte becomes
      // one U+FFFD.
      {"a\x80z", "\"a\xEF\xBF\xBDz\""},
      {"cut \xC3", "\"cut \xEF\xBF\xBD\""},
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xF4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(jsonQuoted(c.text), c.quoted) << c.text;
    EXPECT_NO_THROW(webtest::JsonReader::parse(c.quoted)) << c.quoted;
  }
}

TEST(WebJsonTest, WriterPutsCommasAndNestsValues) {
  JsonWriter json;
  json.beginObject().field("n", 3).field("ok", true).field("s", "x");
  json.key("empty").beginArray().endArray();
  json.key("list").beginArray().value(1).beginObject().field("k", false).endObject().null();
  json.endArray().stringArray("names", {"a", "b"}).endObject();
  EXPECT_EQ(
      json.text(),
      R"({"n":3,"ok":true,"s":"x","empty":[],"list":[1,{"k":false},null],"names":["a","b"]})");
  webtest::Json read = webtest::JsonReader::parse(json.text());
  EXPECT_EQ(read["list"][1]["k"].kind, webtest::Json::kBool);
}

BookEntry entry(int id, int dlType, const std::string& name, const std::string& company = "") {
  BookEntry e;
  e.id = id;
  e.dlType = dlType;
  e.displayName = name;
  e.company = company;
  return e;
}

BookSnapshot sampleBook() {
  BookSnapshot book;
  book.exists = true;
  book.entries = {entry(1, 0, "Renée Brown", "Acme Corp"), entry(2, 0, "Ola Nordmann"),
                  entry(3, 1, "Sales fax"), entry(4, 0, "RENÉE SMITH"),
                  entry(12, 2, "Mail list", "ACME")};
  book.entries[0].groups = {3, 12};
  book.entries[1].groups = {3};
  book.entries[1].faxNumber = "+47 22 55 00 00";
  book.entries[3].email = "renee.smith@example.com";
  summarize(book);
  return book;
}

TEST(BookPageTest, SummaryCountsGroupsAndTheirMembers) {
  BookSnapshot book = sampleBook();
  EXPECT_EQ(book.groups, 2);
  EXPECT_EQ(book.memberCounts.at(3), 2);
  EXPECT_EQ(book.memberCounts.at(12), 1);
  EXPECT_EQ(book.groupNames.at(12), "Mail list");
  EXPECT_EQ(book.groupNames.count(1), 0u);
}

TEST(BookPageTest, SearchFoldsAsciiCaseAndLooksInEveryText) {
  BookSnapshot book = sampleBook();
  auto ids = [&](const std::string& query) {
    std::vector<int> found;
    for (const BookEntry* e : pageOf(book, {0, 100, query}).entries) found.push_back(e->id);
    return found;
  };
  EXPECT_EQ(ids(""), (std::vector<int>{1, 2, 3, 4, 12}));
  EXPECT_EQ(ids("acme"), (std::vector<int>{1, 12}));
  EXPECT_EQ(ids("rEnÉe"), (std::vector<int>{4})) << "only A-Z fold: É is not é";
  EXPECT_EQ(ids("renée"), (std::vector<int>{1}));
  EXPECT_EQ(ids("renee.smith@"), (std::vector<int>{4}));
  EXPECT_EQ(ids("22 55"), (std::vector<int>{2}));
  EXPECT_EQ(ids("12"), (std::vector<int>{12})) << "a number finds the entry with that id";
  EXPECT_EQ(ids("nobody"), (std::vector<int>{}));
}

TEST(BookPageTest, PagesAreWindowsOfTheMatches) {
  BookSnapshot book = sampleBook();
  BookPage middle = pageOf(book, {1, 2, ""});
  EXPECT_EQ(middle.matched, 5u);
  ASSERT_EQ(middle.entries.size(), 2u);
  EXPECT_EQ(middle.entries[0]->id, 2);
  EXPECT_EQ(middle.entries[1]->id, 3);
  BookPage tail = pageOf(book, {4, 50, ""});
  ASSERT_EQ(tail.entries.size(), 1u);
  EXPECT_EQ(tail.entries[0]->id, 12);
  BookPage past = pageOf(book, {9, 50, "e"});
  EXPECT_TRUE(past.entries.empty());
  EXPECT_EQ(past.matched, 4u) << "all but Ola Nordmann";
}

TEST(WebGuardTest, KnowsLoopbackAddressesAndHostNames) {
  for (const char* address : {"127.0.0.1", "127.9.8.7", "::1", "localhost"}) {
    EXPECT_TRUE(isLoopbackAddress(address)) << address;
  }
  for (const char* address : {"0.0.0.0", "::", "10.0.0.1", "128.0.0.1", "localhost.example", ""}) {
    EXPECT_FALSE(isLoopbackAddress(address)) << address;
  }
  EXPECT_EQ(hostName("localhost:8765"), "localhost");
  EXPECT_EQ(hostName("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(hostName("[::1]:8765"), "::1");
  EXPECT_EQ(hostName("[::1"), "[::1");
}

TEST(WebGuardTest, RefusesOtherHostsAndChangesFromOtherSites) {
  struct Case {
    const char* method;
    const char* host;
    const char* origin;
    bool loopbackOnly;
    bool refused;
  };
  const Case cases[] = {
      {"GET", "127.0.0.1:8765", "", true, false},
      {"GET", "localhost:8765", "", true, false},
      {"GET", "[::1]:8765", "", true, false},
      {"GET", "", "", true, false},
      {"GET", "rebound.example:8765", "", true, true},
      {"GET", "rebound.example:8765", "", false, false},
      {"POST", "127.0.0.1:8765", "http://127.0.0.1:8765", true, false},
      {"POST", "127.0.0.1:8765", "", true, false},
      {"POST", "127.0.0.1:8765", "http://evil.example", true, true},
      {"POST", "127.0.0.1:8765", "null", true, true},
      {"POST", "127.0.0.1:8765", "http://localhost:8765", true, true},
      {"PUT", "192.0.2.1:8765", "http://evil.example", false, true},
      {"GET", "127.0.0.1:8765", "http://evil.example", true, false},
  };
  for (const Case& c : cases) {
    std::string refusal = requestRefusal(c.method, c.host, c.origin, c.loopbackOnly);
    EXPECT_EQ(!refusal.empty(), c.refused) << c.method << " " << c.host << " " << c.origin;
  }
}

}  // namespace
}  // namespace dabtool
