// The web console's parts that need no server: what JSON answers carry, the
// search and paging of the table, and which requests the guard and the token
// let through.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "book_page.h"
#include "errors.h"
#include "support/files_and_text.h"
#include "web_guard.h"
#include "web_routes.h"
#include "web_token.h"

namespace dabtool {
namespace {

BookEntry entry(int id, int dlType, const std::string& name, const std::string& company = "") {
  BookEntry e;
  e.id = id;
  e.dlType = dlType;
  e.displayName = name;
  e.company = company;
  return e;
}

// The book holds whatever bytes were imported; every answer must still be
// JSON a browser reads, bad bytes shown as U+FFFD, control characters escaped.
// Search folds A-Z only and looks in every text; a group's members are
// paged and searched like the book.
TEST(WebTableTest, AnswersStayReadableAndPagesAreWindowsOfTheMatches) {
  // stored, as the browser reads it, as the answer's bytes escape it
  const std::tuple<std::string, std::string, std::string> texts[] = {
      {"Renée Ørsted 山田 😀", "Renée Ørsted 山田 😀", "Renée Ørsted 山田 😀"},
      {std::string("nul\0bell\x07", 9), std::string("nul\0bell\x07", 9), R"(nul\u0000bell\u0007)"},
      {"a\x80z", "a\uFFFDz", ""},
      {"cut \xC3", "cut \uFFFD", ""},
      {"Ren\xE9 in Latin-1", "Ren\uFFFD in Latin-1", ""},
      {"\xED\xA0\x80 surrogate", "\uFFFD\uFFFD\uFFFD surrogate", ""},
  };
  auto control = [](unsigned char c) { return c < 0x20; };
  for (const auto& [stored, read, escaped] : texts) {
    httplib::Response res;
    sendJson(res, 200, {{"displayName", stored}});
    EXPECT_EQ(nlohmann::json::parse(res.body).at("displayName"), read) << res.body;
    EXPECT_EQ(std::count_if(res.body.begin(), res.body.end(), control), 0) << res.body;
    EXPECT_NE(res.body.find(escaped), std::string::npos) << res.body;
  }
  BookSnapshot book;
  book.entries = {entry(1, 0, "Renée Brown", "Acme Corp"), entry(2, 0, "Ola Nordmann"),
                  entry(3, 1, "Sales fax"), entry(4, 0, "RENÉE SMITH"),
                  entry(12, 2, "Mail list", "ACME")};
  book.entries[0].groups = {3, 12};
  book.entries[1].groups = {3};
  book.entries[1].faxNumber = "+47 22 55 00 00";
  book.entries[3].email = "renee.smith@example.com";
  summarize(book);
  EXPECT_EQ(book.groups, 2);
  EXPECT_EQ(book.memberCounts, (std::map<int, int>{{3, 2}, {12, 1}}));
  EXPECT_EQ(book.groupNames, (std::map<int, std::string>{{3, "Sales fax"}, {12, "Mail list"}}));
  // the group (0: the whole book), the request, the ids shown, how many matched
  const std::tuple<int, PageRequest, std::vector<int>, size_t> pages[] = {
      {0, {0, 100, ""}, {1, 2, 3, 4, 12}, 5},
      {0, {0, 100, "acme"}, {1, 12}, 2},
      {0, {0, 100, "rEnÉe"}, {4}, 1},  // É is not é
      {0, {0, 100, "renée"}, {1}, 1},
      {0, {0, 100, "renee.smith@"}, {4}, 1},
      {0, {0, 100, "22 55"}, {2}, 1},
      {0, {0, 100, "12"}, {12}, 1},  // a number finds the entry with that id
      {0, {0, 100, "nobody"}, {}, 0},
      {0, {1, 2, ""}, {2, 3}, 5},
      {0, {4, 50, ""}, {12}, 5},
      {0, {9, 50, "e"}, {}, 4},  // all but Ola Nordmann
      {3, {0, 50, ""}, {1, 2}, 2},
      {3, {1, 1, ""}, {2}, 2},
      {3, {0, 50, "nordmann"}, {2}, 1},
      {12, {0, 50, ""}, {1}, 1},
      {1, {0, 50, ""}, {}, 0},  // a contact has no members
  };
  for (const auto& [group, request, wanted, matched] : pages) {
    BookPage page = group == 0 ? pageOf(book, request) : membersOf(book, group, request);
    std::vector<int> ids;
    for (const BookEntry* e : page.entries) ids.push_back(e->id);
    EXPECT_EQ(ids, wanted) << group << " " << request.offset << " " << request.query;
    EXPECT_EQ(page.matched, matched) << group << " " << request.query;
  }
}

TEST(WebGuardTest, RefusesOtherHostsOtherSitesAndWrongTokens) {
  for (const char* address : {"127.0.0.1", "127.9.8.7", "::1", "localhost"})
    EXPECT_TRUE(isLoopbackAddress(address)) << address;
  for (const char* address : {"0.0.0.0", "::", "10.0.0.1", "128.0.0.1", "localhost.example", ""})
    EXPECT_FALSE(isLoopbackAddress(address)) << address;
  EXPECT_EQ(hostName("localhost:8765"), "localhost");
  EXPECT_EQ(hostName("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(hostName("[::1]:8765"), "::1");
  EXPECT_EQ(hostName("[::1"), "[::1");
  const HostPolicy loopback{"http", "127.0.0.1", {}};
  const HostPolicy everywhere{"http", "0.0.0.0", {"Book.example"}};
  const HostPolicy secure{"https", "192.0.2.1", {}};
  const std::tuple<RequestOrigin, const HostPolicy*, bool> cases[] = {
      {{"GET", "127.0.0.1:8765", "", ""}, &loopback, false},
      {{"GET", "localhost:8765", "", ""}, &loopback, false},
      {{"GET", "[::1]:8765", "", ""}, &loopback, false},
      {{"GET", "", "", ""}, &loopback, false},
      {{"GET", "rebound.example:8765", "", ""}, &loopback, true},
      // Bound to every interface: loopback names and the allowed ones only.
      {{"GET", "rebound.example:8765", "", ""}, &everywhere, true},
      {{"GET", "book.EXAMPLE:8765", "", ""}, &everywhere, false},
      {{"GET", "127.0.0.1:8765", "", ""}, &everywhere, false},
      {{"GET", "0.0.0.0:8765", "", ""}, &everywhere, true},
      {{"GET", "192.0.2.1:8765", "", ""}, &secure, false},
      {{"GET", "book.example", "", ""}, &secure, true},
      {{"POST", "192.0.2.1:8765", "https://192.0.2.1:8765", ""}, &secure, false},
      {{"POST", "192.0.2.1:8765", "http://192.0.2.1:8765", ""}, &secure, true},
      {{"POST", "127.0.0.1:8765", "http://127.0.0.1:8765", ""}, &loopback, false},
      {{"POST", "127.0.0.1:8765", "", ""}, &loopback, false},
      {{"POST", "127.0.0.1:8765", "http://evil.example", ""}, &loopback, true},
      {{"POST", "127.0.0.1:8765", "null", ""}, &loopback, true},
      {{"POST", "127.0.0.1:8765", "http://localhost:8765", ""}, &loopback, true},
      {{"PUT", "192.0.2.1:8765", "http://evil.example", ""}, &secure, true},
      {{"GET", "127.0.0.1:8765", "http://evil.example", ""}, &loopback, false},
      // Without an Origin, the Referer tells where a change comes from.
      {{"POST", "127.0.0.1:8765", "", "http://127.0.0.1:8765/"}, &loopback, false},
      {{"POST", "127.0.0.1:8765", "", "http://127.0.0.1:8765"}, &loopback, false},
      {{"POST", "127.0.0.1:8765", "", "http://evil.example/page"}, &loopback, true},
      {{"POST", "127.0.0.1:8765", "", "http://127.0.0.1:8765.evil.example/"}, &loopback, true},
      {{"POST", "127.0.0.1:8765", "", "http://127.0.0.1:87650/"}, &loopback, true},
      {{"POST", "127.0.0.1:8765", "http://127.0.0.1:8765", "http://evil.test"}, &loopback, false},
      {{"GET", "127.0.0.1:8765", "", "http://evil.example/"}, &loopback, false},
  };
  for (const auto& [request, policy, refused] : cases) {
    EXPECT_EQ(!requestRefusal(request, *policy).empty(), refused)
        << request.method << " " << request.host << " " << request.origin << " " << request.referer;
  }
  std::string token = newAccessToken();
  EXPECT_EQ(token.size(), 64u);
  EXPECT_NE(token, newAccessToken());
  EXPECT_TRUE(tokenMatches(token, token));
  for (const std::string& wrong :
       {std::string(), token.substr(1), token + "0", "x" + token.substr(1)})
    EXPECT_FALSE(tokenMatches(wrong, token)) << wrong;
  EXPECT_FALSE(tokenMatches("", "")) << "an empty token admits nobody";
  EXPECT_EQ(cookieValue("a=1; dabtool-token-80=abc;b=2", "dabtool-token-80"), "abc");
  EXPECT_EQ(cookieValue("dabtool-token-8080=abc", "dabtool-token-80"), "");
  EXPECT_EQ(cookieValue("xdabtool-token-80=abc", "dabtool-token-80"), "");
  EXPECT_EQ(bearerToken("Bearer abc "), "abc");
  EXPECT_EQ(bearerToken("Basic abc"), "");
  // A token file must be the user's alone.
  std::string path = (std::filesystem::temp_directory_path() / "dabtool-token-test").string();
  // text, mode, what the refusal says ("" for none)
  const std::tuple<std::string, int, std::string> files[] = {
      {"s3cret-token-0123456789\n", 0600, ""},
      {"s3cret-token-0123456789", 0620, "chmod 600"},
      {"short", 0600, "16 to 256"},
      {"has space in the token", 0600, "16 to 256"},
  };
  for (const auto& [text, mode, why] : files) {
    std::ofstream(path) << text;
    std::filesystem::permissions(path, std::filesystem::perms(mode));
    try {
      EXPECT_EQ(readTokenFile(path) + "\n", why.empty() ? text : "a refusal: " + why);
    } catch (const Failure& error) {
      EXPECT_TRUE(testutil::has(error.what(), why.empty() ? "no refusal" : why));
    }
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace dabtool
