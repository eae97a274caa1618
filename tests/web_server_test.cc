// dabtool serve over HTTP, as a browser or a script meets it: each test
// starts the built dabtool on a free port in a fresh data folder, talks to
// it with cpp-httplib's client or a raw socket and stops it with a signal,
// expecting a clean exit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/export_headers.h"
#include "support/files_and_text.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;
using dabtest::kDabHeader;
using dabtest::kLegacyHeader;
using httplib::Headers;
using testutil::has;
using testutil::parseCsv;
using testutil::readAll;

namespace {

constexpr int kSeeded = 32;  // seed() makes 30 contacts and 2 groups
// Two contacts and a record without a display name; the browser test imports it too.
const std::string kGoodImport = readAll(DABUTILS_SOURCE_DIR "/tests/fixtures/import/people.csv");
// The closing quote of the first data field is followed by other text.
const char kBadRecord[] = "\"Alan\"x,Turing,Alan Turing,,,\n";

int status(const httplib::Result& answer) { return answer ? answer->status : -1; }

// The whole answer as text (status, headers, body), to look for a phrase in.
std::string shown(const httplib::Result& answer) {
  if (!answer) return "no answer: " + httplib::to_string(answer.error());
  std::string text = std::to_string(answer->status) + "\n";
  for (const auto& [name, value] : answer->headers) text += name + ": " + value + "\n";
  return text + "\n" + answer->body;
}

// Each field of `wanted` as `answer` holds it.
void expectFields(const Json& answer, const Json& wanted) {
  for (const auto& [field, value] : wanted.items()) {
    EXPECT_EQ(answer.value(field, Json()), value) << field << " in " << answer.dump();
  }
}

// Polls `done` every `step` for up to `patience`; whether it came true.
bool eventually(const std::function<bool()>& done, Clock::duration patience = 20s,
                Clock::duration step = 20ms) {
  for (auto end = Clock::now() + patience; !done(); std::this_thread::sleep_for(step)) {
    if (Clock::now() > end) return false;
  }
  return true;
}

// Sends `head`, then `body` again and again up to `total` bytes or until the
// server stops reading, and returns all it answered before it closed.
std::string rawExchange(int port, const std::string& head, const std::string& body = "",
                        size_t total = 0) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
  timeval timeout{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  std::string answer;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    bool open = send(fd, head.data(), head.size(), MSG_NOSIGNAL) > 0;
    for (size_t sent = 0; open && sent < total; sent += body.size()) {
      open = send(fd, body.data(), body.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(body.size());
    }
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, n);
  }
  close(fd);
  return answer;
}

// A fresh data folder and at most one `dabtool serve` on it at a time.
class WebConsoleTest : public ::testing::Test, protected testutil::TempDir {
 protected:
  // A refused body is no longer read: the client's next write must fail, not end the test.
  WebConsoleTest() { signal(SIGPIPE, SIG_IGN); }
  ~WebConsoleTest() override { EXPECT_TRUE(pid_ < 0 || stop() == 0) << output(); }

  // Runs `dabtool --data-dir DATA args` for a minute at most; ran() is what it printed.
  int run(const std::string& args) {
    std::string command = "cd " + dir_.string() + " && timeout 60 " DABTOOL_PATH " --data-dir " +
                          data_.string() + " " + args + " >run.out 2>&1";
    return WEXITSTATUS(std::system(command.c_str()));
  }
  std::string ran() const { return readAll(dir_ / "run.out"); }
  void seed(const std::string& counts = "--contacts 30 --groups 2") {
    ASSERT_EQ(run("seed " + counts), 0) << ran();
  }

  // Stops the server before, if any, and starts `dabtool serve` with `options`.
  void serve(const std::string& options = "--max-upload 64K --quiet") {
    EXPECT_TRUE(pid_ < 0 || stop() == 0) << output();
    fs::remove(dir_ / "serve.out");  // the banner looked for is the new server's
    std::string command = "cd " + dir_.string() + " && exec " DABTOOL_PATH " --data-dir " +
                          data_.string() + " serve --port 0 " + options + " >serve.out 2>&1";
    if ((pid_ = fork()) == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    // The whole address (the text after it shows the token complete), looked for
    // without a pause, so that a test can stop the server the moment it shows.
    static const std::regex address(R"(https?://[^ ]+:(\d+)/(\?token=([0-9a-zA-Z._~-]+))? \()");
    std::smatch found;
    std::string banner;
    port_ = 0;
    if (eventually([&] { return std::regex_search(banner = output(), found, address); }, 20s, 0s)) {
      port_ = std::stoi(found[1]);
      token_ = found[3];
    }
    ASSERT_NE(port_, 0) << output();
  }

  // Sends `signal`; the exit code, -1 when the server had not ended within
  // 10 s (it is killed then, so that no test hangs).
  int stop(int signal = SIGTERM) {
    int status = 0;
    kill(pid_, signal);
    bool ended = eventually([&] { return waitpid(pid_, &status, WNOHANG) != 0; }, 10s);
    if (!ended) kill(pid_, SIGKILL);
    if (!ended) waitpid(pid_, &status, 0);
    pid_ = -1;
    return !ended ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  std::string output() const { return readAll(dir_ / "serve.out"); }
  // What a shell command run in the test's folder prints on stdout.
  std::string shell(const std::string& command) const {
    std::string out;
    FILE* pipe = popen(("cd " + dir_.string() + " && " + command).c_str(), "r");
    char buffer[4096];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (pipe) pclose(pipe);
    return out;
  }

  httplib::Client client(bool withToken = true) const {
    httplib::Client http("127.0.0.1", port_);
    if (withToken) http.set_bearer_token_auth(token_.c_str());
    http.set_read_timeout(60, 0);
    http.set_write_timeout(60, 0);
    return http;
  }

  httplib::Result send(const std::string& method, const std::string& path,
                       const std::string& body = "", const Headers& headers = {},
                       bool withToken = true) const {
    httplib::Request request;
    request.method = method;
    request.path = path;
    request.headers = headers;
    request.body = body;
    if (!body.empty()) request.set_header("Content-Type", "text/csv");
    return client(withToken).send(request);
  }

  // The answer's JSON, after checking its status and type.
  static Json json(const httplib::Result& answer, int wanted = 200) {
    EXPECT_EQ(status(answer), wanted) << shown(answer);
    if (!answer) return Json();
    EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json; charset=utf-8");
    return Json::parse(answer->body);
  }
  Json get(const std::string& path) const { return json(client().Get(path)); }
  // The sentence of an error answer.
  static std::string errorOf(const httplib::Result& a) { return json(a, status(a)).at("error"); }
  long entries() const { return get("/api/contacts?limit=1")["total"].get<long>(); }
  httplib::Result import(const std::string& bytes, const std::string& query = "") const {
    return send("POST", "/api/import" + query, bytes);
  }
  httplib::Result exportBook(const std::string& q = "") const {
    return send("POST", "/api/export" + q);
  }
  std::string uploadFile() const { return readAll(data_ / "http/data/addressbook.txt"); }

  const fs::path data_ = at("data");
  pid_t pid_ = -1;
  int port_ = 0;
  std::string token_;
};

// One seeded book seen through every route: the table and each membership
// on both sides, the export and templates as the library wrote them, each
// route's status, refusals that change nothing, and the access rules.
TEST_F(WebConsoleTest, TheSeededBookThroughEveryRoute) {
  seed();
  serve();
  SCOPED_TRACE("pages and groups; paging is web_parts_test's, the search box the browser test's");
  Json all = get("/api/contacts?limit=500")["entries"];
  Json page = get("/api/contacts?offset=5&limit=10");
  expectFields(page, R"({"exists":true,"total":32,"contacts":30,"groups":2,"matched":32})"_json);
  EXPECT_EQ(page["entries"], Json(all.begin() + 5, all.begin() + 15));
  std::map<long, Json> members;  // group id: its members, in the book's order
  for (const Json& entry : all) {
    EXPECT_EQ(entry["members"].is_null(), entry["kind"] == "contact") << entry;
    for (const Json& group : entry["memberOf"]) members[group["id"].get<long>()].push_back(entry);
  }
  ASSERT_EQ(members.size(), 2u);
  // The group route reads its page as the table's route does (the limit row below).
  for (const auto& [id, expected] : members) {
    expectFields(get("/api/group?id=" + std::to_string(id)), {{"members", expected.size()},
                                                              {"name", all[id - 1]["displayName"]},
                                                              {"entries", expected}});
    EXPECT_TRUE(
        has(errorOf(client().Get("/api/group?id=" + expected[0]["id"].dump())), "no group"));
  }

  SCOPED_TRACE("the export and the templates are the files the library wrote");
  auto dab = exportBook();
  ASSERT_EQ(status(dab), 200);
  EXPECT_TRUE(
      has(shown(dab), "Content-Disposition: attachment; filename=\"ExportedAddressBook.csv\"\n"));
  EXPECT_EQ(dab->body, readAll(data_ / "http/data/ExportedAddressBook.csv"));
  auto legacy = exportBook("?format=legacy&delimiter=semicolon");
  ASSERT_EQ(status(legacy), 200);
  EXPECT_EQ(legacy->body.rfind("Friendly Name;E-Mail Address;Internet Fax Address\n", 0), 0u);
  Json audit = get("/api/audit")["records"];
  ASSERT_EQ(audit.size(), 2u);
  EXPECT_EQ(audit[0]["event"], "address book exported");
  EXPECT_LE(audit[1]["at"], audit[0]["at"]) << "newest first";
  auto headerOf = [&](const std::string& query) {
    auto answer = client().Get("/api/template" + query);
    EXPECT_EQ(status(answer), 200) << query;
    return answer ? answer->body.substr(0, answer->body.find('\n')) : std::string();
  };
  const std::string base = "*****," + kDabHeader.substr(0, kDabHeader.find(",FaxNumber"));
  EXPECT_EQ(headerOf("").substr(base.size() + 1) + "\r\n", kDabHeader.substr(base.size() - 5))
      << "all four services give the export's columns";
  EXPECT_EQ(headerOf("?services=fax&delimiter=Semicolon").find(','), std::string::npos);
  // The legacy template spells its third column unlike the legacy export.
  EXPECT_EQ(headerOf("?format=legacy"), "Friendly Name,E-Mail Address,InternetFax Address");

  SCOPED_TRACE("each route's status; a refusal says why and changes nothing");
  EXPECT_TRUE(has(output(), "uploads up to 64 KiB"));
  auto home = client().Get("/");
  ASSERT_EQ(status(home), 200);
  EXPECT_TRUE(has(shown(home), "Content-Security-Policy: default-src 'self'"));
  EXPECT_TRUE(has(shown(home), "frame-ancestors 'none'")) << "no other site may frame the page";
  EXPECT_EQ(home->body.find("http://"), std::string::npos) << "the page loads nothing from outside";
  const std::string tooLarge =
      "\"the file is larger than the upload limit of 64 KiB; split it and import the parts one "
      "after the other.\"";
  const std::string number = "wants a whole number", nothing = "there is nothing at";
  // method, paths apart by spaces, body, status, what the status line, headers or body show
  const std::tuple<std::string, std::string, std::string, int, std::string> cases[] = {
      {"GET", "/ /index.html", "", 200, "Content-Type: text/html; charset=utf-8\n"},
      {"HEAD", "/app.js", "", 200, "Content-Type: text/javascript; charset=utf-8\n"},
      {"GET", "/style.css", "", 200, "Content-Type: text/css; charset=utf-8\n"},
      {"GET", "/icon.svg", "", 200, "Content-Type: image/svg+xml\n"},
      {"GET", "/api/contacts?limit=0 /api/contacts?limit=501 /api/contacts?limit=ten", "", 400,
       number},
      {"GET", "/api/contacts?offset=-1 /api/contacts?offset=1e3 /api/group?id=x", "", 400, number},
      {"GET", "/api/group?id=31&limit=0", "", 400, number},
      {"GET", "/api/group?id=999999", "", 404, "no group with id 999999"},
      {"GET", "/api/group", "", 400, "wants the id of a group"},
      {"POST", "/api/export?format=csv", "", 400, "unknown format 'csv'"},
      {"POST", "/api/export?delimiter=tab /api/export?delimiter=", "", 400, "delimiter"},
      {"GET", "/api/template?services=fax,telex", "", 400, "unknown service"},
      {"GET", "/api/template?format=legacy&services=fax", "", 400, "DAB template only"},
      {"POST", "/api/import?name=empty.csv", "", 422, "empty.csv"},
      {"POST", "/api/import?name=empty.csv", "First,Last,Display\n", 422, "empty.csv"},
      {"POST", "/api/import", kGoodImport, 200, "Created 2 contacts"},
      // Far past the limit: refused by its Content-Length, the body skipped.
      {"POST", "/api/import", std::string(size_t{3} << 20, 'x'), 413, tooLarge},
      {"GET", "/api/import", "", 405, "\"GET is not allowed on /api/import; use POST.\""},
      {"GET", "/api/import", "", 405, "Allow: POST\n"},
      {"DELETE", "/api/contacts", "", 405, "Allow: GET, HEAD\n"},
      {"OPTIONS", "/api/export", "", 204, "Allow: POST\n"},
      {"PUT", "/api/export", "x", 405, ""},
      {"POST", "/", "x", 405, ""},
      {"BREW", "/pot", "", 400, "could not be read"},
      {"GET", "/nope /api/nope /api/contacts/1 /addressbook.db", "", 404, nothing},
      {"GET", "/http/data/ExportedAddressBook.csv /../addressbook.db", "", 404, nothing},
      {"GET", "/%2e%2e/addressbook.db /index.html/", "", 404, nothing},
  };
  for (const auto& [method, paths, body, code, shows] : cases) {
    std::istringstream words(paths);
    for (std::string path; words >> path;) {
      auto answer = send(method, path, body);
      EXPECT_EQ(status(answer), code) << method << " " << path;
      EXPECT_TRUE(has(shown(answer), shows)) << method << " " << path;
      EXPECT_TRUE(code < 400 || !errorOf(answer).empty()) << path;
    }
  }
  const std::string auth = "Host: 127.0.0.1\r\nAuthorization: Bearer " + token_ + "\r\n";
  const std::string unsized = "POST /api/export HTTP/1.1\r\n" + auth + "Connection: close\r\n\r\n";
  EXPECT_EQ(rawExchange(port_, unsized).substr(0, 13), "HTTP/1.1 411 ");
  EXPECT_EQ(uploadFile(), kGoodImport);
  EXPECT_EQ(entries(), kSeeded + 2);

  // A page of another site can neither read the book (its own Host) nor change
  // it (its Origin, or its Referer when it sends no Origin).
  SCOPED_TRACE("every request carries the token, taken once from the address");
  const std::string port = std::to_string(port_), cookie = "dabtool-token-" + port;
  const std::string own = "First,Last,Display\nOwn,Page,Own Page\n";
  auto with = [&](const std::string& name, const std::string& value) {
    return Headers{{"Authorization", "Bearer " + token_}, {name, value}};
  };
  const std::tuple<std::string, std::string, Headers, int> rules[] = {
      {"GET", "/", {}, 401},
      {"GET", "/api/contacts", {}, 401},
      {"POST", "/api/import", {}, 401},
      {"GET", "/api/contacts?token=" + token_.substr(1), {}, 401},
      {"GET", "/api/contacts", {{"Authorization", "Bearer " + token_ + "0"}}, 401},
      {"GET", "/api/contacts", {{"Cookie", "a=b; " + cookie + "=" + token_}}, 200},
      {"GET", "/api/contacts?token=" + token_, {}, 200},
      {"GET", "/api/contacts", with("Host", "attacker.example:8765"), 403},
      {"POST", "/api/import", with("Origin", "http://attacker.example"), 403},
      {"POST", "/api/import", with("Referer", "http://attacker.example/form"), 403},
      {"POST", "/api/import", with("Origin", "http://127.0.0.1:" + port), 200},
  };
  for (const auto& [method, path, headers, code] : rules) {
    std::string text = shown(send(method, path, method == "POST" ? own : "", headers, false));
    EXPECT_EQ(text.substr(0, 4), std::to_string(code) + "\n") << method << " " << path;
    EXPECT_TRUE(code == 200 || text.find("displayName") == std::string::npos) << text;
  }
  EXPECT_EQ(entries(), kSeeded + 3) << "only the import from the console's own page";
  // The page's address: the token goes into a cookie and out of the address bar.
  std::string first = shown(client(false).Get("/?token=" + token_));
  EXPECT_EQ(first.substr(0, 4), "303\n");
  EXPECT_TRUE(has(first, "Location: /\n"));
  EXPECT_TRUE(
      has(first, "Set-Cookie: " + cookie + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict\n"));
}

// A file the library cannot read to its end changes nothing, even when the
// library created records before it stopped; Recent activity tells each
// export and import that ran, but no dry run. The README's curl examples run
// as written but for the port and the token, the import's again at the end
// with a file far larger than curl sends in one piece. Then the import's
// other ways in.
TEST_F(WebConsoleTest, ImportsChangeTheBookOnlyWhenReadToTheEndAndAreTold) {
  seed("");  // the defaults, as the README's export counts them
  const long seeded = 208;
  serve();
  std::string readme = readAll(fs::path(DABUTILS_SOURCE_DIR) / "README.md");
  size_t start = readme.find("$ TOKEN=");
  std::string block = std::regex_replace(readme.substr(start, readme.find("```", start) - start),
                                         std::regex(":8765/"), ":" + std::to_string(port_) + "/");
  // Each command and what it prints, "..." there standing for any text.
  static const std::regex example(R"(\$ (curl .*)\n([^$]*)\n)"), special(R"([.^$|()\[\]{}*+?\\])");
  std::vector<std::pair<std::string, std::regex>> examples;
  for (std::sregex_iterator it(block.begin(), block.end(), example), end; it != end; ++it) {
    std::string printed = std::regex_replace((*it)[2].str(), special, R"(\$&)");
    examples.emplace_back((*it)[1],
                          std::regex_replace(printed, std::regex(R"(\\\.\\\.\\\.)"), ".*"));
  }
  ASSERT_EQ(examples.size(), 2u);
  // Runs example `i`; what it printed, checked against the README when `asWritten`.
  auto curl = [&](size_t i, bool asWritten = true) {
    std::string out = shell("export TOKEN=" + token_ + "; " + examples[i].first);
    out = out.substr(0, out.find_last_not_of("\r\n") + 1);
    EXPECT_TRUE(!asWritten || std::regex_match(out, examples[i].second))
        << examples[i].first << "\n"
        << out;
    return out;
  };
  curl(0);
  expectFields(json(import(kGoodImport + kBadRecord, "?name=late.csv"), 422),
               R"({"status": 3, "statusMeaning": "a field could not be read"})"_json);
  EXPECT_EQ(entries(), seeded);
  ASSERT_EQ(status(import(kGoodImport, "?name=people.csv&dryRun=1")), 200);

  std::ofstream(dir_ / "people.csv") << kGoodImport;
  Json result = Json::parse(curl(1));
  expectFields(result, R"({"refused": 1, "saved": true, "outcome": "partly"})"_json);
  EXPECT_EQ(result["groups"][0]["refused"], true) << result;
  EXPECT_EQ(get("/api/import/progress")["active"], false);
  Json records = get("/api/activity")["records"];
  ASSERT_EQ(records.size(), 3u) << records.dump();
  EXPECT_EQ(records[0]["event"], "import of people.csv");
  EXPECT_EQ(records[1]["event"], "import of late.csv");
  EXPECT_TRUE(has(records[1]["detail"], "stopped at record 4"));
  expectFields(records[2],
               {{"event", "address book exported"}, {"at", get("/api/audit")["records"][0]["at"]}});
  EXPECT_EQ(get("/api/activity?limit=1")["records"].size(), 1u);

  expectFields(
      json(import(kGoodImport, "?dryRun=1")),
      R"({"dryRun": true, "saved": false, "summary": "Dry run: would create 0 contacts)"
      R"( from 3 data records; 1 would be refused, 2 would be skipped as duplicates."})"_json);
  // A file of the upload limit exactly is read; one byte more is not.
  std::string full = "First,Last,Display\n";
  for (int i = 0; full.size() < 64 * 1024 - 30; ++i) full += "A,B,A B" + std::to_string(i) + "\n";
  full += "A,B," + std::string(64 * 1024 - full.size() - 5, 'x') + "\n";
  EXPECT_EQ(status(import(full, "?dryRun=1")), 200);
  EXPECT_TRUE(has(json(import(full + "\n", "?dryRun=1"), 413)["error"], "limit of 64 KiB; split"));
  EXPECT_EQ(entries(), seeded + 2);

  // A form's field "file", its last line end added; a form without one is refused.
  httplib::MultipartFormDataItems form = {
      {"file", "First,Last,Display\r\nKaty,Jones,Katy Jones", "katy.csv", "text/csv"}};
  Json katy = json(client().Post("/api/import?delimiter=Comma&positional=1", form));
  EXPECT_TRUE(katy["changes"].size() == 1 && has(katy["changes"][0], "line end")) << katy;
  EXPECT_EQ(uploadFile(), "First,Last,Display\r\nKaty,Jones,Katy Jones\r\n");
  form = {{"upload", "a,b,c\n1,2,3\n", "x.csv", "text/csv"}};
  EXPECT_TRUE(has(errorOf(client().Post("/api/import", form)), "no field 'file'"));
  EXPECT_EQ(entries(), seeded + 3);

  int held = open((data_ / "addressbook.db.dabtool-lock").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  auto busy = import(kGoodImport);
  EXPECT_TRUE(has(shown(busy), "Retry-After: 2\n"));
  EXPECT_TRUE(has(json(busy, 503)["error"], "another dabtool")) << "a book held by another dabtool";
  close(held);

  SCOPED_TRACE("bodies past the limit however sent, and headers without end: refused as they come");
  auto peakKb = [&] {
    return std::stol(shell("awk '/VmHWM/ {print $2}' /proc/" + std::to_string(pid_) + "/status"));
  };
  long before = peakKb();
  const std::string uploaded = uploadFile();
  const std::string auth = "Host: 127.0.0.1\r\nAuthorization: Bearer " + token_ + "\r\n";
  const std::string chunked = auth + "Transfer-Encoding: chunked\r\n\r\n";
  const std::string chunk = "4000\r\n" + std::string(0x4000, 'x') + "\r\n";
  const std::string bomb = shell("head -c 209715200 /dev/zero | gzip -9");  // 200 MiB
  const std::string size = std::to_string(bomb.size());
  const std::string gzip =
      auth + "Content-Encoding: gzip\r\nContent-Length: " + size + "\r\n\r\n" + bomb;
  const std::string line = "X-Flood: " + std::string(8000, 'f') + "\r\n";
  // head, body repeated up to 200 MiB, the answer's status
  const std::vector<std::vector<std::string>> cases = {
      {"POST /api/import HTTP/1.1\r\n" + chunked, chunk, "413"},
      {"POST /api/export HTTP/1.1\r\n" + chunked, chunk, "413"},
      {"POST /api/import HTTP/1.1\r\n" + chunked, "1\r\nx\r\n", "413"},  // framing 6 times the file
      {"POST /api/import HTTP/1.1\r\n" + gzip, "", "413"},
      {"POST /api/export HTTP/1.1\r\n" + gzip, "", "413"},
      {"GET /api/contacts HTTP/1.1\r\n" + auth, line, "431"},
      {"GET /api/contacts HTTP/1.1\r\nX-Long: ", std::string(1 << 16, 'l'), "431"},
  };
  for (const auto& c : cases) {
    std::string answer = rawExchange(port_, c[0], c[1], c[1].empty() ? 0 : size_t{200} << 20);
    // The server may close before the client has sent all: then the answer may be lost.
    EXPECT_TRUE(answer.empty() || answer.substr(9, 3) == c[2]) << c[0].substr(0, 60) << answer;
  }
  long grown = peakKb() - before;
  std::printf("peak resident set: %ld KiB before, grown by %ld KiB\n", before, grown);
#ifndef DABTOOL_SANITIZED
  EXPECT_LT(grown, 64 + 8 * 1024) << "KiB past the peak before";
#endif
  EXPECT_EQ(uploadFile(), uploaded);
  EXPECT_EQ(entries(), seeded + 3);

  SCOPED_TRACE("tabs at once: every export and page whole, every import in the book once");
  constexpr int kExporters = 4, kExportsEach = 5, kImporters = 3, kImportsEach = 3;
  const long book = entries();
  const size_t audited = get("/api/audit?limit=1000")["records"].size();
  auto tag = [](int t, int i) { return "Burst" + std::to_string(t) + "x" + std::to_string(i); };
  auto exporter = [&](int t) {
    for (int i = 0; i < kExportsEach; ++i) {
      bool legacy = (t + i) % 2 == 1;
      auto answer = exportBook(legacy ? "?format=legacy" : "");
      ASSERT_EQ(status(answer), 200) << shown(answer);
      auto records = parseCsv(answer->body, ',');
      EXPECT_EQ(answer->body.rfind(legacy ? kLegacyHeader : kDabHeader, 0), 0u) << answer->body;
      EXPECT_EQ(records.size(), std::stoul(answer->get_header_value("X-Entry-Count")) + 1);
      for (const auto& record : records) EXPECT_TRUE(legacy || record.size() == 26);
    }
  };
  auto importer = [&](int t) {
    for (int i = 0; i < kImportsEach; ++i) {
      std::string name = tag(t, i);
      auto answer = import("First,Last,Display\nAnn," + name + ",Ann " + name + "\nBen," + name +
                           ",Ben " + name + "\n");
      EXPECT_EQ(json(answer)["created"], 2);
    }
  };
  auto reader = [&](int) {
    for (int i = 0; i < 10; ++i) {
      Json page = get("/api/contacts?limit=500");
      EXPECT_EQ(page["entries"].size(), page["total"]) << "a page without the whole book";
    }
  };
  std::vector<std::thread> tabs;
  for (int t = 0; t < kExporters; ++t) tabs.emplace_back(exporter, t);
  for (int t = 0; t < kImporters; ++t) tabs.emplace_back(importer, t);
  for (int t = 0; t < 2; ++t) tabs.emplace_back(reader, t);
  for (std::thread& tab : tabs) tab.join();
  EXPECT_EQ(entries(), book + 2 * kImporters * kImportsEach);
  for (int t = 0; t < kImporters; ++t)
    for (int i = 0; i < kImportsEach; ++i)
      EXPECT_EQ(get("/api/contacts?q=" + tag(t, i))["matched"], 2) << tag(t, i);
  EXPECT_EQ(get("/api/audit?limit=1000")["records"].size(), audited + kExporters * kExportsEach);
  std::string big = "First,Last,Display\n";
  for (int i = 0; i < 2000; ++i) big += "Bo,Big,Bo Big " + std::to_string(i) + "\n";
  std::ofstream(dir_ / "people.csv") << big;
  EXPECT_TRUE(has(curl(1, false), "\"summary\":\"Created 2000 contacts"));
}

// Without a book there is nothing to export; a broken one fails every route
// that reads it, and the page still loads. The request log shows what a
// client sent escaped: a path cannot drive the terminal or forge a line.
// The token comes from a file of the user's alone, or is left off on
// loopback only; serve refuses what it cannot do and says why. Beyond
// loopback, only its own names, and HTTPS once it has a certificate.
TEST_F(WebConsoleTest, ServeWithoutABookWithOptionsNamesAndHttps) {
  serve("");
  client().Get("/%1b%5b2J%0aGET%20/forged%20200");  // logged once the answer has gone out
  EXPECT_TRUE(eventually([&] { return has(output(), "GET /\\x1b[2J\\nGET /forged 200 404\n"); }));
  EXPECT_EQ(output().find('\x1b'), std::string::npos) << output();
  expectFields(get("/api/contacts"), {{"exists", false}, {"total", 0}});
  EXPECT_TRUE(has(json(exportBook(), 409)["error"], "import a file"));
  fs::create_directories(data_);
  std::ofstream(data_ / "addressbook.db") << "this is no database, just text long enough to tell";
  serve();
  for (const auto& answer : {client().Get("/api/contacts"), exportBook(), import(kGoodImport)})
    EXPECT_TRUE(has(json(answer, 500)["error"], "not an address book database"));
  EXPECT_EQ(status(client().Get("/")), 200);
  EXPECT_EQ(stop(), 0);
  fs::remove(data_ / "addressbook.db");
  seed();
  fs::path file = dir_ / "token";
  std::ofstream(file) << "my-own-token-0123456789\n";
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  serve("--quiet --token-file " + file.string());
  EXPECT_EQ(token_, "my-own-token-0123456789");
  EXPECT_EQ(status(client().Get("/api/contacts")), 200);
  serve("--quiet --no-token");
  EXPECT_EQ(status(client(false).Get("/api/contacts")), 200);
  const std::string port = std::to_string(port_);
  // serve's options, exit code, what it says
  const std::tuple<std::string, int, std::string> cases[] = {
      {"--port 70000", 2, "--port"},
      {"--max-upload 0", 2, "--max-upload wants a size"},
      {"--max-upload 2G", 2, "--max-upload"},
      {"extra", 2, "extra"},
      {"--bind 0.0.0.0 --no-token", 2, "--no-token is for a console bound to this machine"},
      {"--port " + port, 1, "cannot listen on 127.0.0.1 port " + port},
  };
  for (const auto& [options, code, says] : cases) {
    EXPECT_EQ(run("serve " + options), code) << options;
    EXPECT_TRUE(has(ran(), says));
  }

  serve("--quiet --bind 0.0.0.0 --allow-host book.example");
  EXPECT_TRUE(has(output(), "travel in clear text"));
  for (const auto& [host, code] : std::map<std::string, int>{
           {"rebound.example", 403}, {"book.example", 200}, {"127.0.0.1", 200}, {"0.0.0.0", 403}}) {
    auto answer = client().Get("/api/contacts", {{"Host", host + ":" + std::to_string(port_)}});
    EXPECT_EQ(status(answer), code) << host;
  }
  shell(
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -subj "
      "/CN=book.example -keyout console.key -out console.crt 2>&1");
  const std::string pem = (dir_ / "console").string();
  serve("--quiet --bind 0.0.0.0 --cert " + pem + ".crt --key " + pem + ".key");
  EXPECT_TRUE(has(output(), "https://0.0.0.0:"));
  EXPECT_FALSE(has(output(), "clear text"));
  httplib::SSLClient secure("127.0.0.1", port_);
  secure.enable_server_certificate_verification(false);
  EXPECT_TRUE(has(shown(secure.Get("/?token=" + token_)), "; Secure"));
  secure.set_bearer_token_auth(token_.c_str());
  EXPECT_EQ(json(secure.Get("/api/contacts"))["total"], kSeeded);
  EXPECT_EQ(status(client().Get("/api/contacts")), -1) << "no plain HTTP on the HTTPS port";

  // A stop ends the server at once, even one sent the moment its address
  // shows. Fifty clients that send half a request and wait keep only their
  // own threads: everyone else is answered at once, and the stop still is.
  for (int i = 0; i < 20; ++i) {
    serve();
    ASSERT_EQ(stop(i % 2 ? SIGINT : SIGTERM), 0) << "stopped right after the address showed";
  }
  for (int signal : {SIGTERM, SIGINT}) {
    serve();
    std::vector<std::thread> slow;
    for (int i = 0; i < 50; ++i) {
      std::string head = i % 2 ? "GET /api/contacts HTTP/1.1\r\nX-Slow: "
                               : "POST /api/import HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                 "Content-Length: 100000\r\n\r\nFirst,";
      slow.emplace_back([this, head] { rawExchange(port_, head); });
    }
    std::this_thread::sleep_for(300ms);
    for (int i = 0; i < 10; ++i) {
      auto start = Clock::now();
      EXPECT_EQ(status(client().Get("/api/contacts?limit=1")), 200);
      EXPECT_LT(Clock::now() - start, 1s);
    }
    auto start = Clock::now();
    EXPECT_EQ(stop(signal), 0);
    EXPECT_LT(Clock::now() - start, 2s) << signal;
    for (std::thread& client : slow) client.join();
  }
}

}  // namespace
