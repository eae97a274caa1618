// dabtool serve over HTTP, as a browser or a script meets it: each test
// starts the built dabtool on a free port in a fresh data folder with a
// seeded book, talks to it with cpp-httplib's client and stops it with
// SIGTERM, expecting a clean exit.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tool_text.h"

namespace fs = std::filesystem;
using Json = nlohmann::json;
using tooltest::has;
using tooltest::parseCsv;
using tooltest::readAll;

namespace {

constexpr int kSeededContacts = 30;
constexpr int kSeededGroups = 2;
constexpr int kSeeded = kSeededContacts + kSeededGroups;
const char kDabHeader[] =
    "ZltAddressBookId,DisplayName,FirstName,LastName,Company,ZltAllFavoritesOrder,MemberOf,IsDL,"
    "ZltApplicableWorkflows,FaxNumber,ZltIsFaxFavorite,E-mailAddress,ZltIsEmailFavorite,"
    "InternetFaxAddress,ScanNickName,ZltIsScanFavorite,ScanTransferProtocol,ScanServerAddress,"
    "ScanServerPort,ScanDocumentPath,ScanLoginName,ScanLoginPassword,ScanSMBShare,ScanNDSTree,"
    "ScanNDSContext,ScanNDSVolume";
const char kGoodImport[] =
    "First,Last,Display,Company,E-mail,Internet fax\n"
    "Ada,Lovelace,Ada Lovelace,\"Engines, Ltd\",ada@example.com,\n"
    "No,Name,,Nameless Inc,no@example.com,\n"
    "Grace,Hopper,Grace Hopper,Navy,grace@example.com,fax.grace@example.com\n";
// The closing quote of the first data field is followed by other text.
const char kMalformedImport[] =
    "First,Last,Display,Company,E-mail,Internet fax\n\"Alan\"x,Turing,Alan Turing,,,\n";

// An answer's HTTP status, -1 for no answer.
int status(const httplib::Result& answer) { return answer ? answer->status : -1; }

// Starts dabtool with `args`, its stdout and stderr going to `out`.
pid_t startTool(const std::vector<std::string>& args, const fs::path& out) {
  pid_t pid = fork();
  if (pid == 0) {
    FILE* sink = std::freopen(out.c_str(), "w", stdout);
    if (sink == nullptr || dup2(fileno(stdout), STDERR_FILENO) < 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(DABTOOL_PATH)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(DABTOOL_PATH, argv.data());
    _exit(127);
  }
  return pid;
}

// Its exit code, or 128 + the signal that ended it.
int waitFor(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int runTool(const std::vector<std::string>& args, const fs::path& out) {
  return waitFor(startTool(args, out));
}

// A running `dabtool serve`, stopped with SIGTERM at the latest on destruction.
class ServeProcess {
 public:
  ServeProcess(const fs::path& dataDir, const std::vector<std::string>& options)
      : out_(dataDir.parent_path() / (dataDir.filename().string() + "-serve.out")) {
    std::vector<std::string> args = {"--data-dir", dataDir.string(), "serve", "--port", "0"};
    args.insert(args.end(), options.begin(), options.end());
    pid_ = startTool(args, out_);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::smatch found;
    static const std::regex address(R"(https?://[^ ]+:(\d+)/(\?token=([0-9a-zA-Z._~-]+))?)");
    while (std::chrono::steady_clock::now() < deadline) {
      banner_ = readAll(out_);
      if (std::regex_search(banner_, found, address)) {
        port_ = std::stoi(found[1]);
        token_ = found[3];
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~ServeProcess() {
    stop();
    fs::remove(out_);
  }
  ServeProcess(const ServeProcess&) = delete;
  ServeProcess& operator=(const ServeProcess&) = delete;

  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  const std::string& token() const { return token_; }
  const std::string& banner() const { return banner_; }
  std::string output() const { return readAll(out_); }

  // Sends `signal` and returns the exit code (128 + signal when killed).
  int stop(int signal = SIGTERM) {
    if (pid_ <= 0) return exitCode_;
    kill(pid_, signal);
    exitCode_ = waitFor(pid_);
    pid_ = -1;
    return exitCode_;
  }

 private:
  fs::path out_;
  pid_t pid_ = -1;
  int port_ = 0;
  int exitCode_ = -1;
  std::string banner_;
  std::string token_;
};

// True once `answer` holds a whole response with its Content-Length.
bool answered(const std::string& answer) {
  size_t end = answer.find("\r\n\r\n");
  if (end == std::string::npos) return false;
  static const std::regex length("\r\nContent-Length: (\\d+)\r\n", std::regex::icase);
  std::smatch found;
  std::string head = answer.substr(0, end + 2);
  size_t body = std::regex_search(head, found, length) ? std::stoul(found[1]) : 0;
  return answer.size() >= end + 4 + body;
}

// Sends `request` as typed and returns all the server answered.
std::string rawExchange(int port, const std::string& request) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval timeout{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  std::string answer;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(request.size())) {
    char buffer[4096];
    for (ssize_t n; !answered(answer) && (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
      answer.append(buffer, n);
    }
  }
  close(fd);
  return answer;
}

// A connection that sends `head`, then `body` again and again up to `total`
// bytes or until the server stops reading, and returns its answer.
std::string flood(int port, const std::string& head, const std::string& body, size_t total) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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

// `size` bytes of 'x', gzip-compressed.
std::string gzipped(size_t size) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  std::string input(1 << 16, 'x');
  std::string output;
  char buffer[1 << 16];
  for (size_t done = 0; done < size;) {
    size_t take = std::min(input.size(), size - done);
    done += take;
    stream.next_in = reinterpret_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(take);
    do {
      stream.next_out = reinterpret_cast<Bytef*>(buffer);
      stream.avail_out = sizeof buffer;
      deflate(&stream, done == size ? Z_FINISH : Z_NO_FLUSH);
      output.append(buffer, sizeof buffer - stream.avail_out);
    } while (stream.avail_out == 0);
  }
  deflateEnd(&stream);
  return output;
}

// The peak resident set of process `pid` in KiB (VmHWM).
long peakResidentKb(pid_t pid) {
  std::string status = readAll("/proc/" + std::to_string(pid) + "/status");
  size_t at = status.find("VmHWM:");
  return at == std::string::npos ? -1 : std::stol(status.substr(at + 6));
}

std::string percentEncoded(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_') {
      out += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      out += escaped;
    }
  }
  return out;
}

class WebConsoleTest : public ::testing::Test {
 protected:
  WebConsoleTest() {
    std::string pattern = (fs::temp_directory_path() / "dabweb-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    data_ = root_ / "data";
  }
  ~WebConsoleTest() override {
    if (server_) {
      EXPECT_EQ(server_->stop(), 0) << server_->output();
    }
    server_.reset();
    fs::remove_all(root_);
  }

  void seed() {
    ASSERT_EQ(runTool({"--data-dir", data_.string(), "seed", "--contacts",
                       std::to_string(kSeededContacts), "--groups", std::to_string(kSeededGroups)},
                      root_ / "seed.out"),
              0)
        << readAll(root_ / "seed.out");
  }

  void serve(const std::vector<std::string>& options = {"--max-upload", "64K", "--quiet"}) {
    if (server_) {
      EXPECT_EQ(server_->stop(), 0) << server_->output();
      server_.reset();  // its output file is the next one's
    }
    server_ = std::make_unique<ServeProcess>(data_, options);
    ASSERT_NE(server_->port(), 0) << server_->output();
  }

  void seedAndServe() {
    seed();
    serve();
  }

  httplib::Client client() const {
    httplib::Client http("127.0.0.1", server_->port());
    http.set_bearer_token_auth(server_->token().c_str());
    http.set_read_timeout(60, 0);
    http.set_write_timeout(60, 0);
    return http;
  }

  // The answer's JSON; fails the test on a missing answer or bad JSON.
  static Json json(const httplib::Result& answer) {
    if (!answer) throw std::runtime_error("no answer: " + httplib::to_string(answer.error()));
    EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json; charset=utf-8");
    return Json::parse(answer->body);
  }

  // The sentence of an error answer.
  static std::string errorOf(const httplib::Result& answer) {
    return json(answer).at("error").get<std::string>();
  }

  long entries() { return json(client().Get("/api/contacts?limit=1"))["total"].get<long>(); }

  httplib::Result import(const std::string& bytes, const std::string& query = "") {
    return client().Post(("/api/import" + query).c_str(), bytes, "text/csv");
  }

  std::string uploadFile() const { return readAll(data_ / "http/data/addressbook.txt"); }

  fs::path root_;
  fs::path data_;
  std::unique_ptr<ServeProcess> server_;
};

// --- The page and the table ---

TEST_F(WebConsoleTest, ServesThePageItselfWithNothingFromElsewhere) {
  seedAndServe();
  EXPECT_TRUE(has(server_->banner(), "uploads up to 64 KiB"));
  httplib::Client http = client();
  auto page = http.Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  std::string policy = page->get_header_value("Content-Security-Policy");
  EXPECT_EQ(policy.rfind("default-src 'self'", 0), 0u);
  EXPECT_TRUE(has(policy, "frame-ancestors 'none'")) << "no other site may frame the page";
  EXPECT_TRUE(has(page->body, "<script src=\"app.js\""));
  EXPECT_EQ(page->body.find("http://"), std::string::npos) << "the page loads nothing from outside";
  for (const char* path : {"/app.js", "/style.css", "/index.html"}) {
    auto asset = http.Get(path);
    ASSERT_TRUE(asset) << path;
    EXPECT_EQ(asset->status, 200) << path;
    EXPECT_GT(asset->body.size(), 1000u) << path;
  }
  auto icon = http.Get("/icon.svg");
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->get_header_value("Content-Type"), "image/svg+xml");
  EXPECT_TRUE(has(page->body, "rel=\"icon\" href=\"icon.svg\""));
  auto head = http.Head("/app.js");
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 200);
  EXPECT_EQ(head->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
}

TEST_F(WebConsoleTest, ContactsComeInPagesWithGroupsAndSearch) {
  seedAndServe();
  Json page = json(client().Get("/api/contacts?offset=5&limit=10"));
  EXPECT_TRUE(page["exists"].get<bool>());
  EXPECT_EQ(page["total"].get<long>(), kSeeded);
  EXPECT_EQ(page["contacts"].get<long>(), kSeededContacts);
  EXPECT_EQ(page["groups"].get<long>(), kSeededGroups);
  EXPECT_EQ(page["matched"].get<long>(), kSeeded);
  ASSERT_EQ(page["entries"].size(), 10u);
  EXPECT_EQ(page["entries"][0]["id"].get<long>(), 6);
  EXPECT_EQ(page["entries"][9]["id"].get<long>(), 15);

  Json all = json(client().Get("/api/contacts?limit=500"));
  int members = 0;
  int memberships = 0;
  for (const Json& entry : all["entries"]) {
    if (entry.at("kind").get<std::string>() == "contact") {
      EXPECT_TRUE(entry.at("members").is_null());
      memberships += static_cast<int>(entry.at("memberOf").size());
      for (const Json& group : entry.at("memberOf")) {
        EXPECT_FALSE(group.at("name").get<std::string>().empty());
      }
    } else {
      members += static_cast<int>(entry.at("members").get<long>());
    }
  }
  EXPECT_GT(members, 0);
  EXPECT_EQ(members, memberships) << "each membership is counted once on both sides";

  std::string name = all["entries"][2]["displayName"].get<std::string>();
  Json found = json(client().Get(("/api/contacts?q=" + percentEncoded(name)).c_str()));
  ASSERT_GE(found["matched"].get<long>(), 1);
  for (const Json& entry : found["entries"]) {
    EXPECT_TRUE(has(entry.at("displayName").get<std::string>(), name));
  }
  EXPECT_EQ(json(client().Get("/api/contacts?q=nothing-like-this"))["matched"].get<long>(), 0);
}

TEST_F(WebConsoleTest, AGroupOpensWithItsMembersInPages) {
  seedAndServe();
  Json all = json(client().Get("/api/contacts?limit=500"));
  long groupId = 0;
  std::vector<long> expected;  // the members of the first group, in the book's order
  for (const Json& entry : all["entries"]) {
    if (groupId == 0 && !entry["members"].is_null()) groupId = entry["id"].get<long>();
  }
  for (const Json& entry : all["entries"]) {
    for (const Json& group : entry["memberOf"]) {
      if (group["id"].get<long>() == groupId) expected.push_back(entry["id"].get<long>());
    }
  }
  ASSERT_GE(expected.size(), 2u);
  std::string path = "/api/group?id=" + std::to_string(groupId);
  Json first = json(client().Get((path + "&limit=1").c_str()));
  EXPECT_EQ(first["members"].get<size_t>(), expected.size());
  EXPECT_FALSE(first["name"].get<std::string>().empty());
  ASSERT_EQ(first["entries"].size(), 1u);
  EXPECT_EQ(first["entries"][0]["id"].get<long>(), expected[0]);
  Json rest = json(client().Get((path + "&offset=1&limit=500").c_str()));
  ASSERT_EQ(rest["entries"].size(), expected.size() - 1);
  EXPECT_EQ(rest["entries"].back()["id"].get<long>(), expected.back());

  const std::vector<std::pair<std::string, int>> refused = {
      {"id=" + std::to_string(expected[0]), 404},  // a contact is no group
      {"id=999999", 404},
      {"id=x", 400},
      {"", 400},
      {"id=" + std::to_string(groupId) + "&limit=0", 400},
  };
  for (const auto& [query, wanted] : refused) {
    auto answer = client().Get(("/api/group?" + query).c_str());
    EXPECT_EQ(status(answer), wanted) << query;
    EXPECT_FALSE(errorOf(answer).empty()) << query;
  }
}

TEST_F(WebConsoleTest, BadPagingParametersAre400) {
  seedAndServe();
  for (const char* query : {"limit=0", "limit=501", "limit=ten", "offset=-1", "offset=1e3"}) {
    auto answer = client().Get((std::string("/api/contacts?") + query).c_str());
    EXPECT_EQ(status(answer), 400) << query;
    EXPECT_TRUE(has(errorOf(answer), "wants a whole number"));
  }
}

TEST_F(WebConsoleTest, AnEmptyFolderHasNoBookToExportYet) {
  serve();
  Json page = json(client().Get("/api/contacts"));
  EXPECT_FALSE(page["exists"].get<bool>());
  EXPECT_EQ(page["total"].get<long>(), 0);
  auto answer = client().Post("/api/export", "", "text/plain");
  EXPECT_EQ(status(answer), 409);
  EXPECT_TRUE(has(errorOf(answer), "import a file"));
}

// --- Export and templates ---

TEST_F(WebConsoleTest, ExportAnswersWithTheFileTheLibraryWrote) {
  seedAndServe();
  auto dab = client().Post("/api/export", "", "text/plain");
  ASSERT_TRUE(dab);
  ASSERT_EQ(dab->status, 200) << dab->body;
  EXPECT_EQ(dab->get_header_value("Content-Disposition"),
            "attachment; filename=\"ExportedAddressBook.csv\"");
  EXPECT_EQ(dab->get_header_value("X-Entry-Count"), std::to_string(kSeeded));
  EXPECT_EQ(dab->body, readAll(data_ / "http/data/ExportedAddressBook.csv"));
  EXPECT_EQ(dab->body.rfind(std::string(kDabHeader) + "\r\n", 0), 0u);
  EXPECT_EQ(parseCsv(dab->body, ',').size(), 1u + kSeeded);

  auto legacy = client().Post("/api/export?format=legacy&delimiter=semicolon", "", "text/plain");
  ASSERT_TRUE(legacy);
  ASSERT_EQ(legacy->status, 200) << legacy->body;
  EXPECT_EQ(legacy->body.rfind("Friendly Name;E-Mail Address;Internet Fax Address\n", 0), 0u);
  EXPECT_EQ(parseCsv(legacy->body, ';').size() - 1,
            std::stoul(legacy->get_header_value("X-Entry-Count")));

  Json audit = json(client().Get("/api/audit"));
  ASSERT_EQ(audit["records"].size(), 2u);
  EXPECT_EQ(audit["records"][0]["event"].get<std::string>(), "address book exported");
  EXPECT_LE(audit["records"][1]["at"].get<std::string>(),
            audit["records"][0]["at"].get<std::string>())
      << "newest first";

  for (const char* query : {"?format=csv", "?delimiter=tab", "?delimiter="}) {
    auto refused = client().Post((std::string("/api/export") + query).c_str(), "", "text/plain");
    EXPECT_EQ(status(refused), 400) << query;
  }
}

TEST_F(WebConsoleTest, TemplateCarriesTheColumnsOfTheTickedServices) {
  serve();
  auto headerOf = [&](const std::string& query) {
    auto answer = client().Get(("/api/template" + query).c_str());
    EXPECT_TRUE(answer && answer->status == 200) << query;
    return answer ? answer->body.substr(0, answer->body.find('\n')) : std::string();
  };
  const std::string base =
      "*****,ZltAddressBookId,DisplayName,FirstName,LastName,Company,ZltAllFavoritesOrder,"
      "MemberOf,IsDL,ZltApplicableWorkflows";
  EXPECT_EQ(headerOf("?services=none"), base);
  EXPECT_EQ(headerOf("?services=email,fax"),
            base + ",FaxNumber,ZltIsFaxFavorite,E-mailAddress,ZltIsEmailFavorite");
  std::string ifaxAndScan = headerOf("?services=scan,ifax");
  EXPECT_EQ(ifaxAndScan.rfind(base + ",InternetFaxAddress,ScanNickName,", 0), 0u) << ifaxAndScan;
  EXPECT_EQ(headerOf("").substr(base.size() + 1), std::string(kDabHeader).substr(base.size() - 5))
      << "all four services give the export's columns";
  EXPECT_EQ(headerOf("?services=fax&delimiter=Semicolon").find(','), std::string::npos);
  // The legacy template spells its third column unlike the legacy export.
  EXPECT_EQ(headerOf("?format=legacy"), "Friendly Name,E-Mail Address,InternetFax Address");

  for (const char* query : {"?services=fax,telex", "?format=legacy&services=fax"}) {
    auto refused = client().Get((std::string("/api/template") + query).c_str());
    EXPECT_EQ(status(refused), 400) << query;
    EXPECT_FALSE(errorOf(refused).empty());
  }
}

// --- Import ---

TEST_F(WebConsoleTest, ImportCreatesContactsAndNamesTheRefusedRecords) {
  seedAndServe();
  auto answer = import(kGoodImport, "?name=people.csv");
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->status, 200) << answer->body;
  Json result = json(answer);
  EXPECT_EQ(result["summary"].get<std::string>(),
            "Created 2 contacts from 3 data records; 1 refused.");
  EXPECT_EQ(result["created"].get<long>(), 2);
  EXPECT_EQ(result["refused"].get<long>(), 1);
  EXPECT_TRUE(result["saved"].get<bool>());
  EXPECT_EQ(result["outcome"].get<std::string>(), "partly");
  ASSERT_EQ(result["groups"].size(), 1u);
  const Json expected = {{"count", 1},
                         {"records", {"record 2 (line 3)"}},
                         {"refused", true},
                         {"summary", "1 record not created: the display name (column 3) is empty"}};
  EXPECT_EQ(result["groups"][0], expected);
  auto report = client().Get(result["report"].get<std::string>().c_str());
  ASSERT_EQ(status(report), 200);
  EXPECT_EQ(
      report->body.substr(report->body.find("\r\n2,")),
      "\r\n2,3,,refused,the display name (column 3) is empty\r\n3,4,Grace Hopper,created,\r\n");
  EXPECT_FALSE(json(client().Get("/api/import/progress"))["active"].get<bool>());
  EXPECT_EQ(uploadFile(), kGoodImport);
  EXPECT_EQ(entries(), kSeeded + 2);
  Json added = json(client().Get("/api/contacts?q=lovelace"));
  ASSERT_EQ(added["matched"].get<long>(), 1);
  EXPECT_EQ(added["entries"][0]["company"].get<std::string>(), "Engines, Ltd");

  Json checked = json(import(kGoodImport, "?dryRun=1"));
  EXPECT_TRUE(checked["dryRun"].get<bool>());
  EXPECT_FALSE(checked["saved"].get<bool>());
  EXPECT_EQ(checked["summary"].get<std::string>(),
            "Dry run: would create 0 contacts from 3 data records; 1 would be refused, 2 would "
            "be skipped as duplicates.");
  EXPECT_EQ(entries(), kSeeded + 2);
}

TEST_F(WebConsoleTest, RecentActivityHoldsExportsAndImportsWithTheirCounts) {
  seedAndServe();
  ASSERT_EQ(status(client().Post("/api/export", "", "text/plain")), 200);
  ASSERT_EQ(status(import(kGoodImport, "?name=people.csv&dryRun=1")), 200);
  ASSERT_EQ(status(import(kMalformedImport, "?name=broken.csv")), 422);
  ASSERT_EQ(status(import(kGoodImport, "?name=people.csv")), 200);
  Json records = json(client().Get("/api/activity"))["records"];
  ASSERT_EQ(records.size(), 3u) << records.dump() << "a dry run changes nothing and is left out";
  EXPECT_EQ(records[0]["event"], "import of people.csv");
  EXPECT_EQ(records[0]["detail"], "Created 2 contacts from 3 data records; 1 refused");
  EXPECT_EQ(records[1]["event"], "import of broken.csv");
  EXPECT_TRUE(has(records[1]["detail"].get<std::string>(), "stopped at record 1"));
  EXPECT_EQ(records[2]["event"], "address book exported");
  EXPECT_EQ(records[2]["detail"], std::to_string(kSeeded) + " entries to ExportedAddressBook.csv");
  EXPECT_EQ(records[2]["at"], json(client().Get("/api/audit"))["records"][0]["at"]);
  EXPECT_EQ(json(client().Get("/api/activity?limit=1"))["records"].size(), 1u);
}

TEST_F(WebConsoleTest, ImportTakesAFormFieldAndFixesTheLastLineEnd) {
  seedAndServe();
  httplib::MultipartFormDataItems form = {
      {"file", "First,Last,Display\r\nKaty,Jones,Katy Jones", "katy.csv", "text/csv"}};
  auto answer = client().Post("/api/import?delimiter=Comma&positional=1", form);
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->status, 200) << answer->body;
  Json result = json(answer);
  EXPECT_EQ(result["created"].get<long>(), 1);
  ASSERT_EQ(result["changes"].size(), 1u);
  EXPECT_TRUE(has(result["changes"][0].get<std::string>(), "line end"));
  EXPECT_EQ(uploadFile(), "First,Last,Display\r\nKaty,Jones,Katy Jones\r\n");

  httplib::MultipartFormDataItems wrongField = {{"upload", "a,b,c\n1,2,3\n", "x.csv", "text/csv"}};
  auto refused = client().Post("/api/import", wrongField);
  EXPECT_EQ(status(refused), 400);
  EXPECT_EQ(entries(), kSeeded + 1);
}

// A header row the tool does not know: refused, with its columns for the
// console's mapping step; the person's choice of columns then imports it.
TEST_F(WebConsoleTest, UnknownColumnsComeBackForTheMappingStep) {
  seedAndServe();
  const char file[] = "Who,Where\nAl Bo,al@example.com\n";
  auto answer = import(file, "?name=odd.csv");
  EXPECT_EQ(status(answer), 422);
  Json refused = json(answer);
  EXPECT_EQ(refused["reading"]["columns"], Json::array({"Who", "Where"}));
  EXPECT_EQ(refused["reading"]["source"], Json::array({-1, -1, -1, -1, -1, -1}));
  Json chosen = json(import(file, "?name=odd.csv&columns=display%3D1,email%3D2"));
  EXPECT_EQ(chosen["created"].get<long>(), 1) << chosen.dump();
  EXPECT_EQ(entries(), kSeeded + 1);
}

TEST_F(WebConsoleTest, MalformedFileIs422WithTheStatusAndChangesNothing) {
  seedAndServe();
  auto early = import(kMalformedImport, "?name=broken.csv");
  EXPECT_EQ(status(early), 422);
  Json result = json(early);
  EXPECT_EQ(result["status"].get<long>(), 6);
  EXPECT_EQ(result["statusMeaning"].get<std::string>(),
            "a field could not be read before the second record was complete");
  EXPECT_TRUE(has(result["error"].get<std::string>(), "record 1 (starting on line 2"))
      << result.dump();

  // Two good records first: the library created them before it stopped, and
  // the scratch copy throws them away.
  std::string late = std::string(kGoodImport) + "\"Alan\"x,Turing,Alan Turing,,,\n";
  Json stopped = json(import(late));
  EXPECT_EQ(stopped["status"].get<long>(), 3);
  EXPECT_EQ(stopped["statusMeaning"].get<std::string>(), "a field could not be read");
  EXPECT_EQ(entries(), kSeeded);
  EXPECT_EQ(json(client().Get("/api/contacts?q=lovelace"))["matched"].get<long>(), 0);
}

TEST_F(WebConsoleTest, FilesWithoutDataRecordsAre422) {
  seedAndServe();
  for (const std::string& bytes :
       {std::string(), std::string("First,Last,Display\n"), std::string("\xFF\xFE", 2) + "x"}) {
    auto answer = import(bytes, "?name=empty.csv");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 422) << answer->body;
    EXPECT_TRUE(has(errorOf(answer), "empty.csv"));
  }
  EXPECT_EQ(entries(), kSeeded);
}

// --- Errors of the protocol ---

TEST_F(WebConsoleTest, OversizedUploadIs413AndNeverWritten) {
  seedAndServe();
  ASSERT_EQ(import(kGoodImport)->status, 200);
  // Just past the limit (read, then refused), and far past it (refused by
  // its Content-Length, the body skipped).
  for (size_t size : {size_t{64 * 1024 + 1}, size_t{3 << 20}}) {
    std::string big(std::string(kGoodImport) + std::string(size, 'x'));
    auto answer = import(big);
    EXPECT_EQ(status(answer), 413) << size;
    EXPECT_EQ(errorOf(answer),
              "the file is larger than the upload limit of 64 KiB; split it and import the parts "
              "one after the other.");
  }
  EXPECT_EQ(uploadFile(), kGoodImport);
  EXPECT_EQ(entries(), kSeeded + 2);
  EXPECT_EQ(import(kGoodImport)->status, 200) << "the server goes on";
}

TEST_F(WebConsoleTest, WrongMethodIs405WithTheAllowedOnes) {
  serve();
  httplib::Client http = client();
  auto getImport = http.Get("/api/import");
  EXPECT_EQ(errorOf(getImport), "GET is not allowed on /api/import; use POST.");
  auto deleteContacts = http.Delete("/api/contacts");
  auto options = http.Options("/api/export");
  // answer, status, Allow header
  const std::tuple<const httplib::Result*, int, std::string> cases[] = {
      {&getImport, 405, "POST"},
      {&deleteContacts, 405, "GET, HEAD"},
      {&options, 204, "POST"},
  };
  for (const auto& [answer, code, allow] : cases) {
    ASSERT_TRUE(*answer);
    EXPECT_EQ((*answer)->status, code);
    EXPECT_EQ((*answer)->get_header_value("Allow"), allow);
  }
  EXPECT_EQ(status(http.Put("/api/export", "x", "text/plain")), 405);
  EXPECT_EQ(status(http.Post("/", "x", "text/plain")), 405);
  // A POST without a length cannot be read.
  std::string answer = rawExchange(server_->port(),
                                   "POST /api/export HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                   "Authorization: Bearer " +
                                       server_->token() + "\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(answer.rfind("HTTP/1.1 411 ", 0), 0u) << answer;
}

TEST_F(WebConsoleTest, UnknownPathIs404AndNoFileOfTheFolderIsServed) {
  seedAndServe();
  for (const char* path : {"/nope", "/api/nope", "/api/contacts/1", "/addressbook.db",
                           "/http/data/ExportedAddressBook.csv", "/../addressbook.db",
                           "/%2e%2e/addressbook.db", "/index.html/"}) {
    auto answer = client().Get(path);
    EXPECT_EQ(status(answer), 404) << path;
    EXPECT_TRUE(has(errorOf(answer), "there is nothing at"));
  }
  std::string garbage = rawExchange(server_->port(), "BREW /pot HTCPCP/1.0\r\n\r\n");
  EXPECT_EQ(garbage.rfind("HTTP/1.1 400 ", 0), 0u) << garbage;
}

TEST_F(WebConsoleTest, OtherSitesCanNeitherReadNorChangeTheBook) {
  seedAndServe();
  httplib::Client http = client();
  auto rebound = http.Get("/api/contacts", {{"Host", "attacker.example:8765"}});
  ASSERT_TRUE(rebound);
  EXPECT_EQ(rebound->status, 403);
  EXPECT_EQ(rebound->body.find("displayName"), std::string::npos);
  std::string port = std::to_string(server_->port());
  auto posted =
      http.Post("/api/import", {{"Origin", "http://attacker.example"}}, kGoodImport, "text/plain");
  EXPECT_EQ(status(posted), 403);
  EXPECT_EQ(entries(), kSeeded);
  auto ownPage =
      http.Post("/api/import", {{"Origin", "http://127.0.0.1:" + port}}, kGoodImport, "text/plain");
  EXPECT_EQ(status(ownPage), 200);
  auto byName = http.Get("/api/contacts", {{"Host", "localhost:" + port}});
  EXPECT_EQ(status(byName), 200);
  // A form posted by another site's page without an Origin still names it.
  auto referred = http.Post("/api/import", {{"Referer", "http://attacker.example/form"}},
                            kGoodImport, "text/plain");
  EXPECT_EQ(status(referred), 403);
  EXPECT_EQ(entries(), kSeeded + 2);
}

// The request log shows what a client sent, escaped: a path cannot drive
// the terminal or start a forged line.
TEST_F(WebConsoleTest, TheRequestLogShowsClientTextEscaped) {
  serve({});
  client().Get("/%1b%5b2J%0aGET%20/forged%20200");
  // The line is written once the answer has gone out.
  std::string log;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((log = server_->output()).find(" 404\n") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(log.find('\x1b'), std::string::npos) << log;
  EXPECT_TRUE(has(log, "GET /\\x1b[2J\\nGET /forged 200 404\n")) << log;
}

TEST_F(WebConsoleTest, ABookHeldByAnotherDabtoolIs503AndReleasedLater) {
  seedAndServe();
  std::string lockName = (data_ / "addressbook.db.dabtool-lock").string();
  int held = open(lockName.c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  auto busy = import(kGoodImport);
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->status, 503);
  EXPECT_EQ(busy->get_header_value("Retry-After"), "2");
  EXPECT_TRUE(has(errorOf(busy), "another dabtool"));
  close(held);
  EXPECT_EQ(import(kGoodImport)->status, 200);
}

TEST_F(WebConsoleTest, ABrokenDatabaseIs500AndThePageStillLoads) {
  fs::create_directories(data_);
  std::ofstream(data_ / "addressbook.db") << "this is no database, just text long enough to tell";
  serve();
  std::vector<httplib::Result> answers;
  answers.push_back(client().Get("/api/contacts"));
  answers.push_back(client().Post("/api/export", "", "text/plain"));
  answers.push_back(import(kGoodImport));
  for (const httplib::Result& answer : answers) {
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 500) << answer->body;
    EXPECT_TRUE(has(errorOf(answer), "not an address book database"));
  }
  auto page = client().Get("/");
  EXPECT_EQ(status(page), 200);
}

// --- Load ---

// Several tabs at once: exports of both formats, imports and table reads,
// all interleaved. Every answer must be complete and consistent in itself,
// and every import must be in the book exactly once at the end.
TEST_F(WebConsoleTest, BurstOfConcurrentExportsAndImportsAllSucceed) {
  seed();
  serve({"--quiet"});
  constexpr int kExporters = 4, kExportsEach = 5, kImporters = 3, kImportsEach = 3, kReaders = 2;
  std::mutex lock;
  std::vector<std::string> problems;
  auto problem = [&](const std::string& what) {
    std::lock_guard<std::mutex> hold(lock);
    problems.push_back(what);
  };
  std::vector<std::thread> tabs;
  for (int t = 0; t < kExporters; ++t) {
    tabs.emplace_back([&, t] {
      httplib::Client http = client();
      for (int i = 0; i < kExportsEach; ++i) {
        bool legacy = (t + i) % 2 == 1;
        auto answer =
            http.Post(legacy ? "/api/export?format=legacy" : "/api/export", "", "text/plain");
        if (!answer || answer->status != 200) {
          problem("export " + (answer ? answer->body : httplib::to_string(answer.error())));
          continue;
        }
        size_t rows = std::stoul(answer->get_header_value("X-Entry-Count"));
        auto records = parseCsv(answer->body, ',');
        std::string header = answer->body.substr(0, answer->body.find('\n'));
        bool headerOk = legacy ? header == "Friendly Name,E-Mail Address,Internet Fax Address"
                               : header == std::string(kDabHeader) + "\r";
        if (!headerOk || records.size() != rows + 1) {
          problem("export of " + std::to_string(rows) + " rows came with " +
                  std::to_string(records.size()) + " records");
        }
        for (const auto& record : records) {
          if (!legacy && record.size() != 26) problem("a DAB record without 26 fields");
        }
      }
    });
  }
  for (int t = 0; t < kImporters; ++t) {
    tabs.emplace_back([&, t] {
      httplib::Client http = client();
      for (int i = 0; i < kImportsEach; ++i) {
        std::string tag = std::to_string(t) + "x" + std::to_string(i);
        std::string file = "First,Last,Display\nAnn,Burst" + tag + ",Ann Burst" + tag +
                           "\nBen,Burst" + tag + ",Ben Burst" + tag + "\n";
        auto answer = http.Post("/api/import", file, "text/csv");
        if (!answer || answer->status != 200) {
          problem("import " + (answer ? answer->body : httplib::to_string(answer.error())));
        } else if (Json::parse(answer->body)["created"].get<long>() != 2) {
          problem("import created other than 2: " + answer->body);
        }
      }
    });
  }
  for (int t = 0; t < kReaders; ++t) {
    tabs.emplace_back([&] {
      httplib::Client http = client();
      for (int i = 0; i < 10; ++i) {
        auto answer = http.Get("/api/contacts?limit=200");
        if (!answer || answer->status != 200) {
          problem("read " + (answer ? answer->body : httplib::to_string(answer.error())));
          continue;
        }
        Json page = Json::parse(answer->body);
        if (page["entries"].size() != static_cast<size_t>(page["total"].get<long>())) {
          problem("a page that does not hold the whole book");
        }
      }
    });
  }
  for (std::thread& tab : tabs) tab.join();
  EXPECT_TRUE(problems.empty()) << problems.size() << " problems, the first: " << problems[0];
  EXPECT_EQ(entries(), kSeeded + 2 * kImporters * kImportsEach);
  for (int t = 0; t < kImporters; ++t) {
    for (int i = 0; i < kImportsEach; ++i) {
      std::string name = "Burst" + std::to_string(t) + "x" + std::to_string(i);
      EXPECT_EQ(json(client().Get(("/api/contacts?q=" + name).c_str()))["matched"].get<long>(), 2)
          << name;
    }
  }
  Json audit = json(client().Get("/api/audit?limit=1000"));
  EXPECT_EQ(audit["records"].size(), static_cast<size_t>(kExporters * kExportsEach));
}

// --- Who gets in ---

TEST_F(WebConsoleTest, EveryRequestCarriesTheTokenTakenOnceFromTheAddress) {
  seedAndServe();
  const std::string& token = server_->token();
  ASSERT_EQ(token.size(), 64u) << server_->banner();
  std::string cookie = "dabtool-token-" + std::to_string(server_->port());
  httplib::Client bare("127.0.0.1", server_->port());
  // request, headers, status
  const std::tuple<std::string, httplib::Headers, int> cases[] = {
      {"/", {}, 401},
      {"/api/contacts", {}, 401},
      {"/api/contacts?token=" + token.substr(1), {}, 401},
      {"/api/contacts", {{"Authorization", "Bearer " + token + "0"}}, 401},
      {"/api/contacts", {{"Cookie", cookie + "1=" + token}}, 401},
      {"/api/contacts", {{"Cookie", "a=b; " + cookie + "=" + token}}, 200},
      {"/api/contacts?token=" + token, {}, 200},
  };
  for (const auto& [path, headers, code] : cases) {
    EXPECT_EQ(status(bare.Get(path.c_str(), headers)), code) << path;
  }
  EXPECT_EQ(status(bare.Post("/api/import", kGoodImport, "text/csv")), 401);
  EXPECT_EQ(entries(), kSeeded);
  // The page's address: the token goes into a cookie and out of the address bar.
  auto first = bare.Get(("/?token=" + token).c_str());
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, 303);
  EXPECT_EQ(first->get_header_value("Location"), "/");
  EXPECT_EQ(first->get_header_value("Set-Cookie"),
            cookie + "=" + token + "; Path=/; HttpOnly; SameSite=Strict");
}

TEST_F(WebConsoleTest, TheTokenComesFromAFileOrIsLeftOffOnLoopbackOnly) {
  fs::create_directories(root_);
  fs::path file = root_ / "token";
  std::ofstream(file) << "my-own-token-0123456789\n";
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  serve({"--token-file", file.string(), "--quiet"});
  EXPECT_EQ(server_->token(), "my-own-token-0123456789");
  EXPECT_EQ(status(client().Get("/api/contacts")), 200);
  serve({"--no-token", "--quiet"});
  EXPECT_EQ(status(httplib::Client("127.0.0.1", server_->port()).Get("/api/contacts")), 200);
  fs::path out = root_ / "out.txt";
  EXPECT_EQ(
      runTool({"--data-dir", data_.string(), "serve", "--bind", "0.0.0.0", "--no-token"}, out), 2);
  EXPECT_TRUE(has(readAll(out), "--no-token is for a console bound to this machine only"));
  fs::permissions(file, fs::perms::group_read, fs::perm_options::add);
  EXPECT_EQ(runTool({"--data-dir", data_.string(), "serve", "--token-file", file.string()}, out),
            1);
  EXPECT_TRUE(has(readAll(out), "chmod 600")) << readAll(out);
}

TEST_F(WebConsoleTest, BeyondLoopbackOnlyItsOwnNamesAndHttpsWithACertificate) {
  seedAndServe();
  serve({"--bind", "0.0.0.0", "--allow-host", "book.example", "--quiet"});
  EXPECT_TRUE(has(server_->output(), "travel in clear text")) << server_->output();
  std::string port = ":" + std::to_string(server_->port());
  for (const auto& [host, code] : {std::pair<std::string, int>{"rebound.example", 403},
                                   {"book.example", 200},
                                   {"127.0.0.1", 200},
                                   {"0.0.0.0", 403}}) {
    EXPECT_EQ(status(client().Get("/api/contacts", {{"Host", host + port}})), code) << host;
  }
  std::string pem = (root_ / "console").string();
  ASSERT_EQ(std::system(("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                         "-nodes -days 1 -subj /CN=book.example -keyout " +
                         pem + ".key -out " + pem + ".crt 2>/dev/null")
                            .c_str()),
            0);
  serve({"--bind", "0.0.0.0", "--cert", pem + ".crt", "--key", pem + ".key", "--quiet"});
  EXPECT_TRUE(has(server_->banner(), "https://0.0.0.0:")) << server_->banner();
  EXPECT_FALSE(has(server_->output(), "clear text"));
  httplib::SSLClient secure("127.0.0.1", server_->port());
  secure.enable_server_certificate_verification(false);
  auto page = secure.Get(("/?token=" + server_->token()).c_str());
  ASSERT_TRUE(page) << httplib::to_string(page.error());
  EXPECT_TRUE(has(page->get_header_value("Set-Cookie"), "; Secure"));
  secure.set_bearer_token_auth(server_->token().c_str());
  EXPECT_EQ(json(secure.Get("/api/contacts"))["total"].get<long>(), kSeeded);
  EXPECT_EQ(status(client().Get("/api/contacts")), -1) << "no plain HTTP on the HTTPS port";
}

// --- Limits ---

// Bodies past the limit however they are framed or encoded, and headers
// without end: each is refused while it arrives, and the server's peak
// resident set grows by little more than the upload limit.
TEST_F(WebConsoleTest, NoRequestMakesTheServerHoldMoreThanTheUploadLimit) {
  seedAndServe();
  ASSERT_EQ(import(kGoodImport)->status, 200);
  ASSERT_EQ(client().Post("/api/export", "", "text/plain")->status, 200);
  long before = peakResidentKb(server_->pid());
  const std::string auth = "Host: 127.0.0.1\r\nAuthorization: Bearer " + server_->token() + "\r\n";
  const std::string chunk = "4000\r\n" + std::string(0x4000, 'x') + "\r\n";
  const std::string bomb = gzipped(size_t{200} << 20);
  std::string tinyChunks;  // framing six times the file
  for (int i = 0; i < 1000; ++i) tinyChunks += "1\r\nx\r\n";
  const std::string line = "X-Flood: " + std::string(8000, 'f') + "\r\n";
  constexpr size_t kSent = size_t{200} << 20;
  // head, body repeated up to kSent bytes, the answer's status line
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"POST /api/import HTTP/1.1\r\n" + auth + "Transfer-Encoding: chunked\r\n\r\n", chunk, "413"},
      {"POST /api/export HTTP/1.1\r\n" + auth + "Transfer-Encoding: chunked\r\n\r\n", chunk, "413"},
      {"POST /api/import HTTP/1.1\r\n" + auth + "Transfer-Encoding: chunked\r\n\r\n", "1\r\nx\r\n",
       "413"},
      {"POST /api/import HTTP/1.1\r\n" + auth + "Content-Encoding: gzip\r\nContent-Length: " +
           std::to_string(bomb.size()) + "\r\n\r\n" + bomb,
       "", "413"},
      {"POST /api/export HTTP/1.1\r\n" + auth + "Content-Encoding: gzip\r\nContent-Length: " +
           std::to_string(bomb.size()) + "\r\n\r\n" + bomb,
       "", "413"},
      {"GET /api/contacts HTTP/1.1\r\n" + auth, line, "431"},
      {"GET /api/contacts HTTP/1.1\r\nX-Long: ", std::string(1 << 16, 'l'), "431"},
  };
  for (const auto& [head, body, code] : cases) {
    std::string answer = flood(server_->port(), head, body, body.empty() ? 0 : kSent);
    // The server may close before the client has sent all: then the answer may be lost.
    if (!answer.empty()) {
      EXPECT_EQ(answer.substr(9, 3), code) << head.substr(0, 60);
    }
  }
  long grown = peakResidentKb(server_->pid()) - before;
  std::printf("peak resident set: %ld KiB before, grown by %ld KiB\n", before, grown);
#ifndef DABTOOL_SANITIZED
  EXPECT_LT(grown, 64 + 8 * 1024) << "KiB past the peak before";
#endif
  EXPECT_EQ(uploadFile(), kGoodImport);
  EXPECT_EQ(entries(), kSeeded + 2);
}

// Fifty clients that send half a request and wait keep only their own
// threads; everyone else is answered at once, and a stop ends the server
// whatever they do.
TEST_F(WebConsoleTest, SlowClientsStarveNobodyAndCannotDelayTheStop) {
  seedAndServe();
  for (int signal : {SIGTERM, SIGINT}) {
    serve();
    std::vector<std::thread> slow;
    for (int i = 0; i < 50; ++i) {
      std::string head = i % 2 ? "GET /api/contacts HTTP/1.1\r\nX-Slow: "
                               : "POST /api/import HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                 "Content-Length: 100000\r\n\r\nFirst,";
      slow.emplace_back(flood, server_->port(), head, "", 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int i = 0; i < 10; ++i) {
      auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(status(client().Get("/api/contacts?limit=1")), 200);
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(server_->stop(signal), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << signal;
    for (std::thread& client : slow) client.join();
  }
}

// The README's curl examples, run as written but for the port and the token;
// the import's again with a file far larger than curl sends in one piece.
TEST_F(WebConsoleTest, TheReadmesCurlExamplesRunAsWritten) {
  ASSERT_EQ(runTool({"--data-dir", data_.string(), "seed", "--contacts", "200"}, root_ / "seed"),
            0);
  serve({"--quiet"});
  std::string readme = readAll(fs::path(DABUTILS_SOURCE_DIR) / "README.md");
  size_t start = readme.find("$ TOKEN=");
  ASSERT_NE(start, std::string::npos);
  std::istringstream block(readme.substr(start, readme.find("```", start) - start));
  std::vector<std::pair<std::string, std::string>> examples;  // command, what it prints
  for (std::string line; std::getline(block, line);) {
    if (line.rfind("$ curl ", 0) == 0) {
      examples.push_back({line.substr(2), ""});
    } else if (!examples.empty()) {
      examples.back().second += (examples.back().second.empty() ? "" : "\n") + line;
    }
  }
  ASSERT_EQ(examples.size(), 2u);
  auto run = [&](const std::string& command) {
    std::string shell = "cd '" + root_.string() + "' && export TOKEN=" + server_->token() + "; " +
                        std::regex_replace(command, std::regex(":8765/"),
                                           ":" + std::to_string(server_->port()) + "/");
    std::string out;
    FILE* pipe = popen(shell.c_str(), "r");
    char buffer[4096];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (pipe) pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
  };
  std::ofstream(root_ / "people.csv") << kGoodImport;
  // "..." in what an example prints stands for any text.
  for (const auto& [command, printed] : examples) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    std::string pattern = std::regex_replace(std::regex_replace(printed, special, R"(\$&)"),
                                             std::regex(R"(\\\.\\\.\\\.)"), ".*");
    std::string out = run(command);
    EXPECT_TRUE(std::regex_match(out, std::regex(pattern))) << command << "\n" << out;
  }
  std::ofstream big(root_ / "people.csv");
  big << "First,Last,Display\n";
  for (int i = 0; i < 2000; ++i) big << "Bo,Big,Bo Big " << i << "\n";
  big.close();
  EXPECT_TRUE(has(run(examples[1].first), "\"summary\":\"Created 2000 contacts"));
}

// --- The command line ---

TEST_F(WebConsoleTest, ServeRefusesBadOptionsAndATakenPort) {
  fs::path out = root_ / "out.txt";
  std::vector<std::string> base = {"--data-dir", data_.string(), "serve"};
  auto run = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = base;
    args.insert(args.end(), extra.begin(), extra.end());
    return runTool(args, out);
  };
  EXPECT_EQ(run({"--port", "70000"}), 2);
  EXPECT_EQ(run({"--max-upload", "0"}), 2);
  EXPECT_TRUE(has(readAll(out), "--max-upload wants a size"));
  EXPECT_EQ(run({"--max-upload", "2G"}), 2);
  EXPECT_EQ(run({"extra"}), 2);
  serve();
  EXPECT_EQ(run({"--port", std::to_string(server_->port())}), 1);
  EXPECT_TRUE(
      has(readAll(out), "cannot listen on 127.0.0.1 port " + std::to_string(server_->port())));
}

}  // namespace
