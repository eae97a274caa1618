// Runs the built dabtool as a person would, each test in a fresh folder, and
// checks exit codes, messages, the files it leaves and the address book.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tool_text.h"

namespace fs = std::filesystem;

namespace {

using tooltest::countOf;
using tooltest::has;
using tooltest::parseCsv;
using tooltest::readAll;

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

void writeAll(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> splitLines(const std::string& text, const std::string& end) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find(end, start)) != std::string::npos; start = at + end.size()) {
    lines.push_back(text.substr(start, at - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// argv for execv, pointing into `args`.
std::vector<char*> argvOf(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return argv;
}

// A fresh folder to run dabtool in, removed afterwards.
class Sandbox {
 public:
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;
  Sandbox() {
    char pattern[] = "/tmp/dabtool-test-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    ::unsetenv("DABUTILS_DATA_ROOT");
  }
  ~Sandbox() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Runs dabtool in the test's folder with stdout and stderr captured;
  // `maxFileSize` > 0 makes longer writes fail as on a full disk.
  Outcome run(std::vector<std::string> args, rlim_t maxFileSize = 0) {
    args.insert(args.begin(), DABTOOL_PATH);
    fs::path out = dir_ / ".stdout", err = dir_ / ".stderr";
    pid_t child = ::fork();
    if (child == 0) {
      int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (::chdir(dir_.c_str()) != 0 || o < 0 || e < 0) ::_exit(127);
      ::dup2(o, 1);
      ::dup2(e, 2);
      if (maxFileSize > 0) {
        const rlimit limit{maxFileSize, maxFileSize};
        ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      std::vector<char*> argv = argvOf(args);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    Outcome result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readAll(out);
    result.err = readAll(err);
    return result;
  }

  fs::path at(const std::string& name) const { return dir_ / name; }
  void writeFile(const std::string& name, const std::string& bytes) const {
    writeAll(at(name), bytes);
  }
  // Writes `bytes` to in.csv and imports it.
  Outcome import(const std::string& bytes) {
    writeFile("in.csv", bytes);
    return run({"import", "in.csv"});
  }
  fs::path data(const std::string& name) const { return dir_ / "dabdata" / name; }
  std::string book() const { return readAll(data("addressbook.db")); }

  // Seeds `contacts` contacts and their groups; fails the test otherwise.
  void seed(int contacts) {
    Outcome seeded = run({"seed", "--contacts", std::to_string(contacts)});
    ASSERT_EQ(seeded.exitCode, 0) << seeded.err;
  }

  // The entry count that `dabtool list` reports, -1 when it reports none.
  int entries() {
    Outcome listed = run({"list", "--limit", "1"});
    size_t at = listed.out.rfind(" entr");
    if (listed.exitCode != 0 || at == std::string::npos) return -1;
    size_t start = listed.out.find_last_not_of("0123456789", at - 1) + 1;
    return std::atoi(listed.out.c_str() + start);
  }

  fs::path dir_;
};

const char kHeader[] = "First,Last,Display,Company,E-mail,Internet fax\r\n";

// --- Usage -----------------------------------------------------------------

TEST(DabtoolUsage, UsageMistakesExitTwoWithOneLine) {
  Sandbox box;
  const std::vector<std::vector<std::string>> mistakes = {
      {},
      {"frobnicate"},
      {"--colour", "list"},
      {"--data-dir"},
      {"--log-level", "loud", "list"},
      {"seed", "--contacts"},
      {"seed", "--contacts", "many"},
      {"seed", "--contacts", "65001"},
      {"list", "--limit", "-3"},
      {"export", "--delimiter", "Tab"},
      {"export", "--delimiter", "Comma", "--raw-delimiter", "x"},
      {"import"},
      {"import", "a.csv", "b.csv"},
      {"import", "a.csv", "--dry-run", "--keep-partial"},
      {"sample", "--services", "fax,telex"},
      {"sample", "--legacy", "--services", "fax"},
      {"demo", "--unknown"},
  };
  for (const auto& args : mistakes) {
    Outcome result = box.run(args);
    std::string shown = args.empty() ? "(nothing)" : args[0];
    EXPECT_EQ(result.exitCode, 2) << shown;
    EXPECT_TRUE(result.out.empty()) << shown;
    if (!args.empty()) {
      EXPECT_EQ(countOf(result.err, "\n"), 1u) << shown << ": " << result.err;
    }
  }
  EXPECT_FALSE(fs::exists(box.data("addressbook.db")));
}

TEST(DabtoolUsage, EveryCommandHasHelp) {
  Sandbox box;
  for (std::string command : {"seed", "list", "export", "import", "sample", "demo"}) {
    Outcome result = box.run({command, "--help"});
    EXPECT_EQ(result.exitCode, 0) << command;
    EXPECT_EQ(result.out.rfind("usage: dabtool " + command, 0), 0u) << result.out;
  }
  Outcome top = box.run({"--help"});
  EXPECT_EQ(top.exitCode, 0);
  EXPECT_TRUE(has(top.out, "import"));
  EXPECT_FALSE(fs::exists(box.at("dabdata")));
}

TEST(DabtoolUsage, DelimiterNamesAreCheckedUnlessRaw) {
  Sandbox box;
  Outcome lower = box.run({"sample", "--legacy", "--delimiter", "semicolon", "-o", "legacy.csv"});
  EXPECT_EQ(lower.exitCode, 0) << lower.err;
  EXPECT_TRUE(has(lower.out, "legacy.csv"));
  EXPECT_EQ(
      readAll(box.at("legacy.csv")).rfind("Friendly Name;E-Mail Address;InternetFax Address\n", 0),
      0u);
  // Any other text goes to the library unchanged, where the samples use ','.
  Outcome raw = box.run({"sample", "--legacy", "--raw-delimiter", "Tab"});
  EXPECT_EQ(raw.exitCode, 0) << raw.err;
  EXPECT_TRUE(has(readAll(box.data("http/data/LegacyAddressBookSample.csv")), "Friendly Name,"));
}

// --- Samples ---------------------------------------------------------------

TEST(DabtoolSample, ServiceSetsChooseTheColumns) {
  Sandbox box;
  const std::vector<std::pair<std::string, size_t>> cases = {
      {"none", 10}, {"fax,email", 14}, {"scan", 22}, {"ifax", 11}, {"all", 27}};
  for (const auto& [services, cells] : cases) {
    Outcome result = box.run({"sample", "--services", services, "-o", "sample.csv"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string bytes = readAll(box.at("sample.csv"));
    EXPECT_EQ(bytes, readAll(box.data("http/data/AddressBookSample.csv")));
    std::string header = splitLines(bytes, "\n").at(0);
    EXPECT_EQ(countOf(header, ",") + 1, cells) << services << ": " << header;
  }
}

// --- Seed, list and export ---------------------------------------------------

TEST(DabtoolBook, SeedIsReproducibleAndListed) {
  Sandbox box;
  box.seed(60);
  ASSERT_EQ(box.run({"export", "-o", "first.csv"}).exitCode, 0);
  Outcome listed = box.run({"list", "--limit", "0"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_TRUE(has(listed.out, "62 entries"));
  EXPECT_TRUE(has(listed.out, "(60 contacts, 2 groups)"));
  EXPECT_TRUE(has(listed.out, "fax group"));
  EXPECT_TRUE(has(listed.out, "e-mail group"));

  Sandbox other;
  ASSERT_EQ(other.run({"seed", "--contacts", "60"}).exitCode, 0);
  ASSERT_EQ(other.run({"export", "-o", "same.csv"}).exitCode, 0);
  EXPECT_EQ(readAll(box.at("first.csv")), readAll(other.at("same.csv")));
  Sandbox third;
  ASSERT_EQ(third.run({"seed", "--contacts", "60", "--seed", "7"}).exitCode, 0);
  ASSERT_EQ(third.run({"export", "-o", "differs.csv"}).exitCode, 0);
  EXPECT_NE(readAll(box.at("first.csv")), readAll(third.at("differs.csv")));
}

TEST(DabtoolBook, SeedCoversWhatTheExportShows) {
  Sandbox box;
  box.seed(300);
  ASSERT_EQ(box.run({"export", "-o", "book.csv"}).exitCode, 0);
  std::vector<std::vector<std::string>> rows = parseCsv(readAll(box.at("book.csv")), ',');
  ASSERT_EQ(rows.size(), 313u);
  std::set<std::string> protocols, kinds;
  size_t utf8 = 0, commas = 0, members = 0, masked = 0, ipv6 = 0, favourites = 0;
  for (size_t i = 1; i < rows.size(); ++i) {
    const std::vector<std::string>& row = rows[i];
    ASSERT_EQ(row.size(), 26u) << i;
    kinds.insert(row[7]);
    if (!row[16].empty()) protocols.insert(row[16]);
    utf8 += std::any_of(row[1].begin(), row[1].end(), [](char c) { return (c & 0x80) != 0; });
    commas += row[4].find(',') != std::string::npos;
    members += !row[6].empty();
    masked += row[9].find("//") != std::string::npos;
    ipv6 += row[17].rfind("[2001:db8::", 0) == 0;
    favourites += !row[5].empty();
  }
  EXPECT_EQ(protocols, (std::set<std::string>{"1", "2", "3", "4", "5", "6", "7"}));
  EXPECT_EQ(kinds, (std::set<std::string>{"0", "1", "2"}));
  EXPECT_GT(utf8, 0u);
  EXPECT_GT(commas, 0u);
  EXPECT_GT(members, 0u);
  EXPECT_GT(masked, 0u);
  EXPECT_GT(ipv6, 0u);
  EXPECT_GT(favourites, 0u);
}

TEST(DabtoolBook, AShortFileIsAFailureAndNothingIsHandedOver) {
  Sandbox box;
  box.seed(2000);
  // Limits that leave the book's files and the messages room but cut each
  // output short (the legacy sample is shorter than the message).
  const std::pair<std::vector<std::string>, rlim_t> commands[] = {
      {{"export", "-o", "out.csv"}, 96 << 10},
      {{"export", "--legacy", "-o", "out.csv"}, 96 << 10},
      {{"sample", "-o", "out.csv"}, 300}};
  for (const auto& [command, limit] : commands) {
    SCOPED_TRACE(command[0] + " " + command[1]);
    Outcome cut = box.run(command, limit);
    EXPECT_EQ(1, cut.exitCode);
    EXPECT_TRUE(has(cut.err, "is incomplete")) << cut.err;
    EXPECT_TRUE(has(cut.err, "no space was left on the disk")) << cut.err;
    EXPECT_FALSE(fs::exists(box.at("out.csv")));
    EXPECT_EQ(0, box.run(command).exitCode) << "a whole file passes the same check";
    fs::remove(box.at("out.csv"));
  }
}

TEST(DabtoolBook, ExportBothFormatsAndDelimiters) {
  Sandbox box;
  box.seed(30);
  Outcome dab = box.run({"export", "--delimiter", "Semicolon", "-o", "dab.csv"});
  ASSERT_EQ(dab.exitCode, 0) << dab.err;
  EXPECT_TRUE(has(dab.out, "Exported 31 entries to dab.csv"));
  std::vector<std::string> lines = splitLines(readAll(box.at("dab.csv")), "\r\n");
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[0].rfind("ZltAddressBookId;DisplayName;", 0), 0u);

  Outcome legacy = box.run({"export", "--legacy"});
  ASSERT_EQ(legacy.exitCode, 0) << legacy.err;
  std::string bytes = readAll(box.data("http/data/LegacyExportedAddressBook.csv"));
  EXPECT_EQ(bytes.rfind("Friendly Name,E-Mail Address,Internet Fax Address\n", 0), 0u);
  size_t rows = countOf(bytes, "\r\n");
  EXPECT_TRUE(has(legacy.out, "Exported " + std::to_string(rows) + " contacts"));
  EXPECT_TRUE(has(legacy.out, "dabdata/http/data/LegacyExportedAddressBook.csv"));
}

// Terminal columns of UTF-8 text: CJK ideographs (lead bytes E4-E9) take two.
size_t columnsOf(const std::string& text) {
  size_t columns = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) columns += (c >= 0xE4 && c <= 0xE9) ? 2 : 1;
  }
  return columns;
}

TEST(DabtoolBook, ListLinesUpWideAndAccentedNames) {
  Sandbox box;
  ASSERT_EQ(box.import(std::string(kHeader) + "Na,Li,李娜,Acme,,\r\n" +
                       "Zoë,Ek,Zoë Åkesson-Ek,Acme,,\r\nAl,Bo,Al Bo,Acme,,\r\n")
                .exitCode,
            0);
  Outcome listed = box.run({"list"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  std::vector<std::string> lines = splitLines(listed.out, "\n");
  ASSERT_EQ(lines.size(), 5u) << listed.out;
  size_t company = columnsOf(lines[0].substr(0, lines[0].find("Company")));
  for (size_t i = 1; i <= 3; ++i) {
    EXPECT_EQ(columnsOf(lines[i].substr(0, lines[i].find("Acme"))), company) << lines[i];
    EXPECT_NE(lines[i].back(), ' ');
  }
  EXPECT_EQ(lines[4], "3 entries in dabdata/addressbook.db (3 contacts, 0 groups).");
}

TEST(DabtoolBook, ListShowsControlCharactersEscaped) {
  Sandbox box;
  ASSERT_EQ(
      box.import(std::string(kHeader) + "Ann,Lee,\x1b[2J\xE2\x80\xAE" + "evil,Acme,,\r\n").exitCode,
      0);
  Outcome listed = box.run({"list"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_TRUE(has(listed.out, "\\x1b[2J\\u202eevil  Acme"));
  EXPECT_EQ(listed.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(listed.out.find("\xE2\x80\xAE"), std::string::npos);
}

TEST(DabtoolBook, SeedPastTheDeviceLimitChangesNothing) {
  Sandbox box;
  box.seed(10);
  std::string before = box.book();
  Outcome result = box.run({"seed", "--contacts", "65000"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(has(result.err, "65000"));
  EXPECT_EQ(box.book(), before);
}

// --- Import ----------------------------------------------------------------

TEST(DabtoolImport, LastLineWithoutLineEndIsNotLost) {
  Sandbox box;
  for (std::string end : {"\r\n", ""}) {
    Sandbox fresh;
    std::string file = std::string(kHeader) + "Ann,Lee,Ann Lee,,ann@example.com,\r\n" +
                       "Bo,Ek,Bo Ek,,bo@example.com," + end;
    writeAll(fresh.at("in.csv"), file);
    Outcome result = fresh.run({"import", "in.csv"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(has(result.out, "Created 2 contacts from 2 data records; 0 refused."));
    EXPECT_EQ(result.out.find("added a line end") != std::string::npos, end.empty()) << result.out;
    EXPECT_EQ(readAll(fresh.at("in.csv")), file);
    std::string placed = readAll(fresh.data("http/data/addressbook.txt"));
    EXPECT_EQ(placed, end.empty() ? file + "\r\n" : file);
    EXPECT_EQ(fresh.entries(), 2);
  }
}

TEST(DabtoolImport, FindingsAreGroupedListedOrReportedRecordByRecord) {
  Sandbox box;
  Outcome result = box.import(std::string(kHeader) +
                              "Ann,Lee,Ann Lee,,ann@example.com,\r\n"
                              "No,Name,,Acme,no@example.com,\r\n"
                              "Cy,Ko,\"Ko,\r\nCy\",\"Two\r\nlines\",c y@example.com,\r\n"
                              "\r\n"
                              "Ed\r\n"
                              "Di,Yu,Di Yu,,di@example.com,\r\n");
  EXPECT_EQ(result.exitCode, 3) << "some records were refused";
  // Records count from 1 after the header; the empty line 7 is no record.
  EXPECT_EQ(splitLines(result.out, "\n"),
            (std::vector<std::string>{
                "Placed in.csv as dabdata/http/data/addressbook.txt.",
                "Read in.csv as the import's own six columns (',' between fields, found in its "
                "first row; UTF-8); its columns go to the import by position.",
                "  1 contact created, but the e-mail address (column 5) contains a blank or a "
                "non-ASCII character: record 3 (lines 4-6).",
                "  1 record not created: it has fewer than 3 columns, so no display name: record 4 "
                "(line 8).",
                "  1 record not created: the display name (column 3) is empty: record 2 (line 3).",
                "Created 3 contacts from 5 data records; 2 refused.",
                "dabdata/addressbook.db now holds 3 entries (it held 0)."}));
  EXPECT_TRUE(has(box.run({"list"}).out, "Ko, Cy"));

  Outcome listed = box.run(
      {"import", "in.csv", "--dry-run", "--verbose", "--report", "r.csv", "--duplicates", "keep"});
  EXPECT_EQ(listed.exitCode, 3);
  EXPECT_TRUE(has(listed.out,
                  "  record 2 (line 3): would not be created: the display name (column 3) is "
                  "empty\n"));
  EXPECT_EQ(readAll(box.at("r.csv")),
            "Record,Line,Display name,Outcome,Reason\r\n"
            "1,2,Ann Lee,created,\r\n"
            "2,3,,refused,the display name (column 3) is empty\r\n"
            "3,4,\"Ko, Cy\",created,the e-mail address (column 5) contains a blank or a non-ASCII "
            "character\r\n"
            "4,8,,refused,\"it has fewer than 3 columns, so no display name\"\r\n"
            "5,9,Di Yu,created,\r\n");
}

TEST(DabtoolImport, MalformedFieldLeavesTheBookAsItWas) {
  Sandbox box;
  box.seed(20);
  std::string before = box.book();
  Outcome result =
      box.import(std::string(kHeader) + "Ann,Lee,Ann Lee,,ann@example.com,\r\n" +
                 "Bo,Ek,Bo Ek,,bo@example.com,\r\n" + "Cy,Ko,\"Cy\" Ko,,cy@example.com,\r\n" +
                 "Di,Yu,Di Yu,,di@example.com,\r\n");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(
      has(result.err, "stopped at record 3 (starting on line 4, the bad field is on line 4)"));
  EXPECT_TRUE(has(result.err, "status 3"));
  EXPECT_TRUE(has(result.err, "unchanged"));
  EXPECT_EQ(box.book(), before);

  Outcome partial = box.run({"import", "in.csv", "--keep-partial"});
  EXPECT_EQ(partial.exitCode, 1);
  EXPECT_TRUE(has(partial.err, "The 2 contacts created before it were kept"));
  EXPECT_EQ(box.entries(), 22);
}

TEST(DabtoolImport, MalformedHeaderIsStatusSix) {
  Sandbox box;
  Outcome result = box.import("First,\"Last\"x,Display\r\nA,B,C,,,\r\n");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(has(result.err, "stopped at the header row (starting on line 1"));
  EXPECT_TRUE(has(result.err, "status 6"));
}

TEST(DabtoolImport, DryRunReportsAndChangesNothing) {
  Sandbox box;
  box.seed(5);
  std::string before = box.book();
  writeAll(box.at("in.csv"),
           std::string(kHeader) + "Ann,Lee,Ann Lee,,ann@example.com,\r\n" + "No,Name,,,,\r\n");
  Outcome result = box.run({"import", "--dry-run", "in.csv"});
  EXPECT_EQ(result.exitCode, 3) << result.err;
  EXPECT_TRUE(has(result.out,
                  "Dry run: would create 1 contact from 2 data records; 1 would be "
                  "refused."));
  EXPECT_TRUE(has(result.out, "would hold 6 entries"));
  EXPECT_EQ(box.book(), before);
  for (const auto& entry : fs::directory_iterator(box.at("dabdata"))) {
    EXPECT_EQ(entry.path().filename().string().find("scratch"), std::string::npos);
  }
}

TEST(DabtoolImport, SemicolonFiles) {
  Sandbox box;
  writeAll(box.at("in.csv"), "A;B;C;D;E;F\nJo;Ng;\"Ng, Jo\";X;jo@example.com;\n");
  // Read with ',', the quoted name is followed by ';': a malformed field.
  Outcome comma =
      box.run({"import", "--dry-run", "--positional", "--delimiter", "Comma", "in.csv"});
  EXPECT_EQ(comma.exitCode, 1);
  EXPECT_TRUE(has(comma.err, "stopped at record 1 (starting on line 2"));
  EXPECT_TRUE(has(box.run({"import", "--dry-run", "in.csv"}).out, "  first name: 'A' (column 1)"));
  Outcome found = box.run({"import", "in.csv"});
  ASSERT_EQ(found.exitCode, 0) << found.err;
  EXPECT_TRUE(has(found.out, "(';' between fields, found in its first row; UTF-8)"));
  EXPECT_TRUE(has(found.out, "Created 1 contact from 1 data record"));
  // Without quotes every record reads as one field: all refused, and said so.
  std::string before = box.book();
  writeAll(box.at("plain.csv"), "A;B;C;D;E;F\nJo;Ng;Jo Ng;X;;\nAl;Bo;Al Bo;X;;\n");
  Outcome plain = box.run({"import", "--positional", "--delimiter", "Comma", "plain.csv"});
  EXPECT_EQ(plain.exitCode, 1);
  EXPECT_TRUE(has(plain.err,
                  "none of the 2 data records of plain.csv became a contact, so nothing was "
                  "imported; its fields seem to be separated by ';': try --delimiter Semicolon"));
  EXPECT_EQ(box.book(), before);
}

// Reaching the device limit part-way changes nothing, unless the person
// asks to keep what fits.
TEST(DabtoolImport, TheDeviceLimitIsAllOrNothing) {
  Sandbox box;
  ASSERT_EQ(box.run({"seed", "--contacts", "64998", "--groups", "0"}).exitCode, 0);
  std::string before = box.book();
  std::string file = kHeader;
  for (int i = 1; i <= 5; ++i) file += "F,L,Name " + std::to_string(i) + ",,,\r\n";
  writeAll(box.at("in.csv"), file);
  Outcome refused = box.run({"import", "in.csv"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(has(refused.err,
                  "would pass the device limit of 65000 entries: it was full after 2 "
                  "data records of 5, so nothing was imported; --keep-partial"));
  EXPECT_EQ(box.book(), before);
  Outcome kept = box.run({"import", "--keep-partial", "in.csv"});
  EXPECT_EQ(kept.exitCode, 0) << kept.err;
  EXPECT_TRUE(has(kept.out, "The address book reached the device limit of 65000 entries"));
  EXPECT_EQ(box.entries(), 65000);
}

TEST(DabtoolImport, ABigFileGetsAShortAnswerAndAWholeReport) {
  Sandbox box;
  std::string file = kHeader;
  for (int i = 1; i <= 65000; ++i) {
    std::string n = std::to_string(i);
    std::string name = i % 1000 == 1 ? "" : "Name " + n;                         // refused
    std::string email = (i % 10 == 0 ? "z\xC3\xB6" : "z") + n + "@example.com";  // doubtful
    file += "F,L," + name + ",," + email + ",\r\n";
  }
  writeAll(box.at("in.csv"), file);
  Outcome result = box.run({"import", "in.csv", "--report", "report.csv"});
  EXPECT_EQ(result.exitCode, 3) << result.err;
  EXPECT_LT(splitLines(result.out, "\n").size(), 40u) << result.out;
  EXPECT_TRUE(has(result.out,
                  "  6,500 contacts created, but the e-mail address (column 5) contains a blank or "
                  "a non-ASCII character: record 10 (line 11), record 20 (line 21), record 30 "
                  "(line 31) and 6,497 more."));
  EXPECT_TRUE(has(result.out, "Created 64935 contacts from 65000 data records; 65 refused."));

  std::vector<std::string> rows = splitLines(readAll(box.at("report.csv")), "\r\n");
  ASSERT_EQ(rows.size(), 65001u);
  EXPECT_EQ(rows[1001], "1001,1002,,refused,the display name (column 3) is empty");
  EXPECT_EQ(rows[64999], "64999,65000,Name 64999,created,");
  size_t created = std::count_if(rows.begin(), rows.end(),
                                 [](const std::string& row) { return has(row, ",created,"); });
  EXPECT_EQ(static_cast<int>(created), box.entries());
}

TEST(DabtoolImport, DuplicatesAreSkippedUnlessKept) {
  Sandbox box;
  Outcome first = box.import(std::string(kHeader) + "Ann,Lee,Ann Lee,,ann@example.com,\r\n" +
                             "Bo,Ek,Bo Ek,,,\r\nA,L,ANN LEE,,Ann@Example.com,\r\n");
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_TRUE(has(first.out, "Created 2 contacts from 3 data records; 0 refused, 1 skipped"));
  EXPECT_TRUE(
      has(first.out,
          "  1 record skipped: it repeats an earlier record of the file: record 3 (line 4)."));
  Outcome second = box.run({"import", "--verbose", "--report", "r.csv", "in.csv"});
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_TRUE(has(second.out, "record 2 (line 3): skipped: Bo Ek is already in the book"));
  EXPECT_TRUE(has(readAll(box.at("r.csv")), "\r\n2,3,Bo Ek,skipped,already in the book\r\n"));
  EXPECT_EQ(box.entries(), 2);
  EXPECT_EQ(box.run({"import", "--duplicates", "keep", "in.csv"}).exitCode, 0);
  EXPECT_EQ(box.entries(), 5);
}

// Every kind of change is taken back in turn, newest first; a restore that
// would pass the device limit or meets a book that is not empty, and a
// deletion of an unknown id, change nothing.
TEST(DabtoolUndo, EveryChangeIsTakenBackInTurn) {
  Sandbox box;
  box.seed(20);
  ASSERT_EQ(box.run({"export", "-o", "book.csv"}).exitCode, 0);
  ASSERT_EQ(box.import(std::string(kHeader) + "Ann,Lee,Ann Lee,,,\r\n").exitCode, 0);
  EXPECT_EQ(box.run({"delete", "1", "2"}).exitCode, 2);  // no terminal to ask on
  EXPECT_EQ(box.run({"delete", "--yes", "1", "99"}).exitCode, 1);
  ASSERT_EQ(box.run({"delete", "--yes", "1", "2"}).exitCode, 0);
  EXPECT_EQ(box.run({"restore", "book.csv"}).exitCode, 1);  // not empty
  Outcome merged = box.run({"restore", "--merge", "book.csv"});
  EXPECT_TRUE(has(merged.out, "Restored 2 entries")) << merged.err;
  EXPECT_EQ(countOf(merged.out, "already in the book"), 18u);
  // A second merge finds everything there: no change, nothing for undo.
  EXPECT_TRUE(has(box.run({"restore", "--merge", "book.csv"}).out, "Restored 0 entries"));
  const char* undone[] = {"the restore of book.csv", "the deletion of 2 contacts",
                          "the import of in.csv", "the seed"};
  const int entries[] = {19, 21, 20, -1};
  for (int i = 0; i < 4; ++i) {
    Outcome undo = box.run({"undo"});
    EXPECT_TRUE(has(undo.out, std::string("Undid ") + undone[i])) << undo.err;
    EXPECT_EQ(box.entries(), entries[i]);
  }
  EXPECT_EQ(box.run({"undo"}).exitCode, 1);
  ASSERT_EQ(box.run({"seed", "--contacts", "64998", "--groups", "0"}).exitCode, 0);
  Outcome full = box.run({"restore", "--merge", "--duplicates", "keep", "book.csv"});
  EXPECT_TRUE(has(full.err, "past the device limit of 65000 entries; nothing was restored"));
  EXPECT_EQ(box.entries(), 64998);
}

TEST(DabtoolImport, Utf16IsConvertedAndBadUtf8IsNamed) {
  Sandbox box;
  std::string utf8 = std::string(kHeader) + "Zoë,Ek,Zoë Ek,,zoe@example.com,\r\n";
  std::string utf16 = "\xFF\xFE";
  for (size_t i = 0; i < utf8.size();) {  // the text is below U+0800
    auto c = static_cast<unsigned char>(utf8[i]);
    unsigned code = c < 0x80 ? c : ((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
    i += c < 0x80 ? 1 : 2;
    utf16 += static_cast<char>(code & 0xFF);
    utf16 += static_cast<char>(code >> 8);
  }
  writeAll(box.at("utf16.csv"), utf16);
  Outcome converted = box.run({"import", "utf16.csv"});
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  EXPECT_TRUE(has(converted.out, "converted it from UTF-16"));
  EXPECT_EQ(readAll(box.data("http/data/addressbook.txt")), utf8);
  EXPECT_EQ(readAll(box.at("utf16.csv")), utf16);

  writeAll(box.at("latin1.csv"),
           std::string(kHeader) + "Al,Ek,Al Ek,,,\r\nZo\xEB,Ek,Zo\xEB Ek,,,\r\n");
  Outcome named = box.run({"import", "--encoding", "UTF-8", "latin1.csv"});
  EXPECT_EQ(named.exitCode, 1);
  EXPECT_TRUE(has(named.err, "latin1.csv is not text in UTF-8 (line 3 holds bytes"));
  Outcome latin1 = box.run({"import", "latin1.csv"});
  EXPECT_EQ(latin1.exitCode, 0) << latin1.err;
  EXPECT_TRUE(has(latin1.out, "converted it from WINDOWS-1252 (detected) to UTF-8"));
  EXPECT_TRUE(has(box.run({"list"}).out, "Zoë Ek"));

  writeAll(box.at("broken16.csv"), std::string("\xFF\xFE"
                                               "A\0\x00\xD8"
                                               "B\0",
                                               8));
  Outcome broken = box.run({"import", "broken16.csv"});
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_TRUE(has(broken.err, "not valid UTF-16"));
}

// By position the library takes the header's empty third column for a
// blank display name; by name the tool builds the names instead.
TEST(DabtoolImport, HeaderWithoutDisplayNameSkipsTheFirstRowAndSaysSo) {
  Sandbox box;
  box.writeFile("in.csv", "First,Last,,Company,E-mail,Fax\nAnn,Lee,Ann Lee,,,\nBo,Ek,Bo Ek,,,\n");
  Outcome positional = box.run({"import", "--positional", "in.csv"});
  EXPECT_EQ(positional.exitCode, 3) << positional.err;
  EXPECT_TRUE(has(positional.out,
                  "1 record not created: the header row's third column is empty, and the "
                  "import then skips the first data row: record 1 (line 2)."));
  EXPECT_EQ(box.entries(), 1);
  Outcome named = box.run({"import", "--duplicates", "keep", "in.csv"});
  ASSERT_EQ(named.exitCode, 0) << named.err;
  EXPECT_TRUE(has(named.out, "Built 2 display names"));
  EXPECT_EQ(box.entries(), 3);
}

TEST(DabtoolImport, ValuesTheLibraryFlagsAreListed) {
  Sandbox box;
  std::string longName(256, 'n');
  std::string longEmail(300, 'e');
  Outcome result = box.import(std::string(kHeader) + longName + ",Lee,Ann Lee,,,\r\n" +
                              "Bo,Ek,Bo Ek,,,fax@" + longEmail + "\r\n");
  EXPECT_EQ(result.exitCode, 3) << result.err;
  EXPECT_TRUE(has(result.out,
                  "1 contact created, but the first name (column 1) is longer than 255 "
                  "characters: record 1 (line 2)."));
  EXPECT_TRUE(has(result.out,
                  "1 record not created: the internet-fax address (column 6) is longer "
                  "than"));
}

TEST(DabtoolImport, Utf8ByteOrderMarkIsLeftAlone) {
  Sandbox box;
  std::string file = "\xEF\xBB\xBF" + std::string(kHeader) + "Zoë,Ek,Zoë Ek,,,\r\n";
  box.writeFile("bom.csv", file);
  Outcome result = box.run({"import", "bom.csv"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(has(result.out, "left its UTF-8 byte-order mark in place"));
  EXPECT_EQ(readAll(box.data("http/data/addressbook.txt")), file);
  EXPECT_EQ(result.err, "");
}

TEST(DabtoolImport, TheUploadFileItselfIsNeverChanged) {
  Sandbox box;
  box.run({"sample"});  // makes the data folder
  std::string file = std::string(kHeader) + "Ann,Lee,Ann Lee,,,";
  box.writeFile("dabdata/http/data/addressbook.txt", file);
  Outcome result = box.run({"import", "dabdata/http/data/addressbook.txt"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(has(result.err, "upload file itself"));
  EXPECT_EQ(readAll(box.data("http/data/addressbook.txt")), file);
}

TEST(DabtoolImport, OtherDatabaseFileAndDataFolder) {
  Sandbox box;
  box.writeFile("in.csv", std::string(kHeader) + "Ann,Lee,Ann Lee,,,\r\n");
  Outcome result =
      box.run({"--data-dir", "root", "--database", "books/office.db", "import", "in.csv"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(has(result.err, "the folder of books/office.db does not exist"));
  fs::create_directory(box.at("books"));
  result = box.run({"--data-dir=root", "--database", "books/office.db", "import", "in.csv"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(has(result.out, "books/office.db now holds 1 entry"));
  EXPECT_TRUE(fs::exists(box.at("root/http/data/addressbook.txt")));
  EXPECT_FALSE(fs::exists(box.at("root/addressbook.db")));
  EXPECT_FALSE(fs::exists(box.at("dabdata")));
}

// --- Other programs' files -------------------------------------------------

// The contacts of the sandbox's book as its DAB export shows them: display
// name, first name, last name, company, e-mail, internet fax.
using Contact = std::vector<std::string>;
std::vector<Contact> contactsIn(Sandbox& box) {
  Outcome exported = box.run({"export", "-o", "book.csv"});
  EXPECT_EQ(exported.exitCode, 0) << exported.err;
  std::vector<Contact> contacts;
  for (const auto& row : parseCsv(readAll(box.at("book.csv")), ',')) {
    if (row.size() == 26 && row[7] == "0") {
      contacts.push_back({row[1], row[2], row[3], row[4], row[11], row[13]});
    }
  }
  return contacts;
}

struct FormatCase {
  const char* file;  // in tests/fixtures/import
  const char* format;
  std::vector<Contact> contacts;
};

const FormatCase kFormats[] = {
    {"google.csv",
     "Google Contacts CSV (',' between fields",
     {{"Jane Doe", "Jane", "Doe", "Acme, Inc.", "jane.doe@example.com", ""},
      {"Rémi Garçon", "Rémi", "Garçon", "", "remi@example.org", ""}}},
    {"google-old.csv",
     "Google Contacts CSV (older format)",
     {{"John Smith", "John", "Smith", "Smith & Sons", "john.smith@example.com", ""},
      {"Ada Byron", "Ada", "Byron", "", "ada@example.org", ""}}},
    {"outlook-en.csv",
     "Outlook CSV (English)",
     {{"Mary Jones", "Mary", "Jones", "Northwind Traders", "mary.jones@example.com", ""},
      {"Tom Brown", "Tom", "Brown", "", "tom@example.net", ""},
      {"Contoso Ltd", "", "", "Contoso Ltd", "info@contoso.example", ""}}},
    {"outlook-de.csv",
     "Outlook CSV (German)",
     {{"Jürgen Müller", "Jürgen", "Müller", "Müller & Söhne GmbH", "juergen.mueller@example.de",
       ""},
      {"Anna Schmidt", "Anna", "Schmidt", "", "anna@example.de", ""}}},
    {"outlook-fr.csv",
     "Outlook CSV (French)",
     {{"Élodie Lefèvre", "Élodie", "Lefèvre", "Société Générale des Eaux",
       "elodie.lefevre@example.fr", ""},
      {"Luc Martin", "Luc", "Martin", "", "luc@example.fr", ""}}},
    {"thunderbird-en.csv",
     "Thunderbird CSV (English)",
     {{"Kim Park", "Kim", "Park", "Park Studio", "kim.park@example.com", ""},
      {"Support Desk", "", "", "", "support@example.com", ""}}},
    {"thunderbird-de.csv",
     "Thunderbird CSV (German) (';' between fields",
     {{"Gerd Weiß", "Gerd", "Weiß", "Weiß; Partner", "gerd@example.de", ""},
      {"Uta Kern", "Uta", "Kern", "", "uta.kern@example.de", ""}}},
    {"windows-1252.csv",
     "WINDOWS-1252, detected",
     {{"Zoë Çelik", "", "", "Café Crème", "zoe@example.com", ""},
      {"François Ünal", "", "", "Übersee AG", "francois@example.com", ""}}},
    {"unicode-text.txt",
     "(tab between fields, found in its first row; UTF-16, little-endian)",
     {{"Li Wei", "", "", "北京贸易", "li.wei@example.cn", ""},
      {"Ola Nordmann", "", "", "Fjord AS", "ola@example.no", ""}}},
    {"no-header.csv",
     "its first row is a contact",
     {{"Eva Novak", "", "", "", "eva@example.com", ""},
      {"Petr Svoboda", "", "", "", "petr@example.cz", ""}}},
    {"phone-2.1.vcf",
     "vCard",
     {{"Jürgen Müller", "Jürgen", "Müller", "Phone Shop", "juergen@example.de", ""},
      {"nobody@example.com", "", "", "", "nobody@example.com", ""}}},
    {"mail-3.0.vcf",
     "vCard",
     {{"Dr. John Q. Doe, Jr.", "John", "Doe", "Doe; Partners", "john@example.org", ""},
      {"Aiko Nakamura", "Aiko", "Nakamura", "Example KK", "aiko@example.jp", ""}}},
    {"contacts-4.0.vcf",
     "vCard",
     {{"Ingrid Ström", "Ingrid", "Ström", "Nordic Design AB", "ingrid.strom@example.se", ""},
      {"orders@shop.example", "", "", "", "orders@shop.example", ""}}},
};

TEST(DabtoolImportFormats, EachFormatGivesItsContactsFieldByField) {
  for (const FormatCase& c : kFormats) {
    SCOPED_TRACE(c.file);
    Sandbox box;
    Outcome result = box.run({"import", std::string(DABTOOL_FIXTURES) + "/" + c.file});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(has(result.out, c.format));
    EXPECT_EQ(contactsIn(box), c.contacts);
  }
}

// The tool's own exports and templates go back into a fresh book.
TEST(DabtoolImportFormats, OwnExportsAndTemplatesGoBackIn) {
  Sandbox source;
  source.seed(40);
  std::vector<Contact> seeded = contactsIn(source);
  std::vector<Contact> legacy;
  for (const Contact& c : seeded) {
    if (!c[4].empty()) legacy.push_back({c[0], "", "", "", c[4], c[5]});
  }
  const Contact sample = {
      "Doe, John", "John", "Doe", "Zelto", "john.doe@example.com", "john.doe.ifax@example.com"};
  const Contact legacySample = {
      "Doe, John", "", "", "", "john.doe@example.com", "john.doe.ifax@example.com"};
  const std::pair<std::vector<std::string>, std::vector<Contact>> kFiles[] = {
      {{"export", "--delimiter", "Semicolon"}, seeded},
      {{"export", "--legacy"}, legacy},
      {{"sample"}, {sample}},
      {{"sample", "--legacy", "--delimiter", "Semicolon"}, {legacySample}},
  };
  for (const auto& file : kFiles) {
    std::vector<std::string> args = file.first;
    SCOPED_TRACE(args[0] + " " + args.back());
    args.insert(args.end(), {"-o", "out.csv"});
    ASSERT_EQ(source.run(args).exitCode, 0);
    Sandbox fresh;
    Outcome result = fresh.run({"import", source.at("out.csv").string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(contactsIn(fresh), file.second);
  }
}

TEST(DabtoolImportFormats, DryRunShowsTheMappingAndColumnsChangeIt) {
  Sandbox box;
  std::string google = std::string(DABTOOL_FIXTURES) + "/google.csv";
  Outcome dry = box.run({"import", "--dry-run", google});
  ASSERT_EQ(dry.exitCode, 0) << dry.err;
  for (const char* part :
       {"  e-mail: 'E-mail 1 - Value' (column 19)\n", "Not imported: 19 columns, 'Middle Name',",
        "Built 2 display names", "Jane        Doe        Jane Doe      Acme, Inc.",
        "Dry run: would create 2"}) {
    EXPECT_TRUE(has(dry.out, part));
  }
  Outcome chosen =
      box.run({"import", "--columns", "email=E-mail 2 - Value,display=Organization Name", google});
  ASSERT_EQ(chosen.exitCode, 0) << chosen.err;
  std::vector<Contact> contacts = contactsIn(box);
  ASSERT_EQ(contacts.size(), 2u);
  EXPECT_EQ(contacts[0], (Contact{"Acme, Inc.", "Jane", "Doe", "Acme, Inc.", "", ""}));
  EXPECT_EQ(contacts[1][4], "remi.garcon@example.com");
}

struct RefusalCase {
  std::string bytes;
  std::vector<std::string> args;
  const char* sentence;
};

TEST(DabtoolImportFormats, WhatIsNoContactFileIsRefusedWithoutChange) {
  const RefusalCase kCases[] = {
      {"PK\x03\x04zip", {}, "looks like a spreadsheet's own file (.xlsx or .ods"},
      {"Notes,Phone\nhi,555\n", {}, "e.g. --columns \"display=COLUMN,company=COLUMN"},
      {"Name,Mail\nAl,al@example.com\n", {"--columns", "email=Work"}, "no column of in.csv"},
      {"Name,Mail\nAl,al@example.com\n", {"--columns", "phone=Mail"}, "not 'phone=Mail'"},
      {"Name,Mail\n\"Al\" x,al@example.com\n", {}, "closing double quote followed by"},
  };
  for (const RefusalCase& c : kCases) {
    SCOPED_TRACE(c.sentence);
    Sandbox box;
    box.writeFile("in.csv", c.bytes);
    std::vector<std::string> args = {"import", "in.csv"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Outcome result = box.run(args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(has(result.err, c.sentence));
    EXPECT_EQ(countOf(result.err, "\n"), 1u);
    EXPECT_FALSE(fs::exists(box.data("addressbook.db")));
  }
}

// --- Bad input ---------------------------------------------------------------

TEST(DabtoolBadInput, MissingOrUnreadableFile) {
  Sandbox box;
  box.seed(3);
  std::string before = box.book();
  fs::create_directory(box.at("folder.csv"));
  for (std::string file : {"missing.csv", "folder.csv"}) {
    Outcome result = box.run({"import", file});
    EXPECT_EQ(result.exitCode, 1) << file;
    EXPECT_EQ(result.err.rfind("dabtool: cannot read " + file + ": ", 0), 0u) << result.err;
    EXPECT_EQ(countOf(result.err, "\n"), 1u);
  }
  writeAll(box.at("empty.csv"), "");
  Outcome empty = box.run({"import", "empty.csv"});
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_TRUE(has(empty.err, "holds no data records"));
  EXPECT_EQ(box.book(), before);
}

TEST(DabtoolBadInput, DataRootThatCannotBeCreated) {
  Sandbox box;
  writeAll(box.at("plain-file"), "x");
  for (std::string command : {"list", "seed", "sample", "demo"}) {
    Outcome result = box.run({"--data-dir", "plain-file/root", command});
    EXPECT_EQ(result.exitCode, 1) << command;
    EXPECT_EQ(result.err.rfind("dabtool: cannot create the data folder plain-file/root: ", 0), 0u)
        << result.err;
  }
}

TEST(DabtoolBadInput, DatabaseThatIsNotADatabase) {
  Sandbox box;
  fs::create_directories(box.data("http/data"));
  std::string junk = "this is a shopping list, not an address book\n";
  junk.resize(4096, '.');
  writeAll(box.data("addressbook.db"), junk);
  writeAll(box.at("in.csv"), std::string(kHeader) + "Ann,Lee,Ann Lee,,,\r\n");
  const std::vector<std::vector<std::string>> commands = {
      {"list"}, {"export"}, {"export", "--legacy"}, {"seed"}, {"import", "in.csv"}, {"demo"}};
  for (const auto& args : commands) {
    Outcome result = box.run(args);
    EXPECT_EQ(result.exitCode, 1) << args[0];
    EXPECT_TRUE(has(result.err, "dabdata/addressbook.db is not an address book database"));
    EXPECT_EQ(box.book(), junk);
  }
}

// Another program's SQLite file is left as it is, and a damaged book is
// never saved over, whatever the command.
TEST(DabtoolBadInput, ForeignOrDamagedDatabaseIsLeftAsItIs) {
  Sandbox box;
  fs::create_directories(box.data("http/data"));
  std::string made = "sqlite3 '" + box.data("addressbook.db").string() +
                     "' 'CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES (1);'";
  ASSERT_EQ(std::system(made.c_str()), 0);
  std::string foreign = box.book();
  writeAll(box.at("in.csv"), std::string(kHeader) + "Ann,Lee,Ann Lee,,,\r\n");
  for (const auto& args : std::vector<std::vector<std::string>>{{"list"}, {"import", "in.csv"}}) {
    Outcome result = box.run(args);
    EXPECT_EQ(result.exitCode, 1) << args[0];
    EXPECT_TRUE(has(result.err, "is an SQLite database of another program"));
    EXPECT_EQ(box.book(), foreign);
  }

  fs::remove(box.data("addressbook.db"));
  box.seed(300);
  std::string book = box.book();
  // Scrambles the cell pointers of the fourth page: SQLite still opens the
  // file and writes to it, and only its check finds the damage.
  size_t pageSize =
      (static_cast<unsigned char>(book[16]) << 8) | static_cast<unsigned char>(book[17]);
  if (pageSize == 1) pageSize = 65536;
  ASSERT_GE(book.size(), 4 * pageSize);
  size_t at = 3 * pageSize + 8;
  for (size_t i = 0; i < 16; ++i) book[at + i] = static_cast<char>(book[at + i] ^ 0x5A);
  writeAll(box.data("addressbook.db"), book);
  Outcome result = box.run({"import", "in.csv"});
  EXPECT_EQ(result.exitCode, 1) << result.out;
  EXPECT_TRUE(has(result.err, "is damaged")) << result.err;
  EXPECT_EQ(box.book(), book);
}

TEST(DabtoolBadInput, OneChangeAtATime) {
  Sandbox box;
  box.seed(3);
  std::string before = box.book();
  box.writeFile("in.csv", std::string(kHeader) + "Ann,Lee,Ann Lee,,,\r\n");
  // What the holder of the lock placed for the library to read.
  writeAll(box.data("http/data/addressbook.txt"), "the other import's file\r\n");
  int held = ::open(box.data("addressbook.db.dabtool-lock").c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  for (std::vector<std::string> args :
       {std::vector<std::string>{"import", "in.csv"}, std::vector<std::string>{"seed"}}) {
    Outcome result = box.run(args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(has(result.err, "is being changed by another dabtool"));
  }
  ::close(held);
  EXPECT_EQ(box.book(), before);
  EXPECT_EQ(readAll(box.data("http/data/addressbook.txt")), "the other import's file\r\n")
      << "a waiting import must not replace the file another one is reading";
  EXPECT_EQ(box.run({"import", "in.csv"}).exitCode, 0);
}

// A link in the lock file's place is refused, not followed.
TEST(DabtoolBadInput, LinkedLockFileIsRefused) {
  Sandbox box;
  box.seed(1);
  fs::remove(box.data("addressbook.db.dabtool-lock"));  // the seed's, left for the next one
  fs::create_symlink(box.at("elsewhere"), box.data("addressbook.db.dabtool-lock"));
  box.writeFile("in.csv", std::string(kHeader) + "Ann,Lee,Ann Lee,,,\r\n");
  Outcome result = box.run({"import", "in.csv"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(has(result.err, "is a symbolic link; remove it"));
  EXPECT_FALSE(fs::exists(box.at("elsewhere")));
}

// A book named through a link is the file it names, and one lock guards it
// under both names.
TEST(DabtoolBadInput, BookGivenAsALinkIsTheFileItNames) {
  Sandbox box;
  box.seed(3);
  fs::create_symlink(box.data("addressbook.db"), box.at("link.db"));
  box.writeFile("in.csv", std::string(kHeader) + "Ann,Lee,Ann Lee,,,\r\n");
  Outcome linked = box.run({"--database", "link.db", "import", "in.csv"});
  EXPECT_EQ(linked.exitCode, 0) << linked.err;
  EXPECT_TRUE(fs::is_symlink(box.at("link.db")));
  EXPECT_EQ(box.entries(), 4);
  int held = ::open(box.data("addressbook.db.dabtool-lock").c_str(), O_RDWR);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  Outcome waiting = box.run({"--database", "link.db", "import", "in.csv"});
  ::close(held);
  EXPECT_EQ(waiting.exitCode, 1);
  EXPECT_TRUE(has(waiting.err, "is being changed by another dabtool")) << waiting.err;
  EXPECT_EQ(box.entries(), 4);
}

// A data folder that another user owns or may write is refused, naming it.
TEST(DabtoolBadInput, DataFolderOfOthersIsRefused) {
  // folder, mode, owner (-1: this user), what the refusal says
  const std::tuple<std::string, mode_t, int, std::string> cases[] = {
      {"", 0777, -1, "can be written by every user (mode 0777)"},
      {"http/data", 0757, -1, "http/data can be written by every user"},
      {"http", 0720, 65534, "belongs to user"},
  };
  for (const auto& [folder, mode, owner, why] : cases) {
    Sandbox box;
    box.seed(1);
    std::string path = box.data(folder).string();
    if (owner >= 0 && ::chown(path.c_str(), owner, owner) != 0) continue;  // not root
    ::chmod(path.c_str(), mode);
    Outcome result = box.run({"list"});
    EXPECT_EQ(result.exitCode, 1) << folder;
    EXPECT_TRUE(has(result.err, why)) << result.err;
  }
}

// A book of a newer or another schema is refused, and left as it is.
TEST(DabtoolBadInput, BookOfAnUnknownSchemaIsLeftAsItIs) {
  for (const char* schema : {"CREATE TABLE contacts (id INTEGER); PRAGMA user_version = 1;",
                             "PRAGMA user_version = 7; CREATE TABLE contacts (id INTEGER);"}) {
    Sandbox box;
    fs::create_directories(box.data("http/data"));
    std::string made = "sqlite3 '" + box.data("addressbook.db").string() + "' '" + schema + "'";
    ASSERT_EQ(std::system(made.c_str()), 0);
    std::string before = box.book();
    box.writeFile("in.csv", std::string(kHeader) + "Ann,Lee,Ann Lee,,,\r\n");
    for (const auto& args : std::vector<std::vector<std::string>>{{"list"}, {"import", "in.csv"}}) {
      Outcome result = box.run(args);
      EXPECT_EQ(result.exitCode, 1) << schema;
      EXPECT_TRUE(has(result.err, "of an unknown schema")) << result.err;
      EXPECT_EQ(box.book(), before);
    }
  }
}

// Kills an import while the library is creating contacts, after the
// database has committed its first batch (10000 writes) to the file it works
// on: the book must be as it was, and the next command must clean up after
// the killed one.
TEST(DabtoolBadInput, KilledImportLeavesTheBookAsItWas) {
  Sandbox box;
  box.seed(10);
  std::string before = box.book();
  std::string file = kHeader;
  for (int i = 0; i < 25000; ++i) {
    file += "F" + std::to_string(i) + ",L,Name " + std::to_string(i) + ",,x@example.com,\r\n";
  }
  writeAll(box.at("big.csv"), file);
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipeFds[1], 2);
    ::close(pipeFds[0]);
    if (::chdir(box.dir_.c_str()) != 0) ::_exit(127);
    std::vector<std::string> args = {DABTOOL_PATH, "--log-level", "debug", "import", "big.csv"};
    std::vector<char*> argv = argvOf(args);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  // Reads whole lines so that a count never sees half a message.
  size_t added = 0;
  std::string pending;
  char buffer[4096];
  while (added < 12000) {
    ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    pending.append(buffer, static_cast<size_t>(n));
    size_t lastEnd = pending.rfind('\n');
    if (lastEnd == std::string::npos) continue;
    added += countOf(pending.substr(0, lastEnd), "Contact Added Successfully");
    pending.erase(0, lastEnd + 1);
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(pipeFds[0]);
  ASSERT_TRUE(WIFSIGNALED(status)) << "dabtool ended before it was killed";
  EXPECT_GE(added, 12000u);
  EXPECT_EQ(box.book(), before);
  EXPECT_EQ(box.entries(), 10);
  Outcome again = box.run({"import", "--dry-run", "big.csv"});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  for (const auto& entry : fs::directory_iterator(box.at("dabdata"))) {
    EXPECT_EQ(entry.path().filename().string().find("scratch"), std::string::npos) << entry.path();
  }
}

// --- Demo ------------------------------------------------------------------

TEST(DabtoolDemo, DemoReportsEveryFileAndIsSafeToRepeat) {
  Sandbox box;
  Outcome first = box.run({"demo", "--contacts", "120"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  for (std::string file :
       {"dabdata/addressbook.db", "dabdata/http/data/ExportedAddressBook.csv",
        "dabdata/http/data/LegacyExportedAddressBook.csv",
        "dabdata/http/data/AddressBookSample.csv", "dabdata/http/data/LegacyAddressBookSample.csv",
        "dabdata/demo-import.csv", "dabdata/http/data/addressbook.txt"}) {
    EXPECT_TRUE(has(first.out, file));
    EXPECT_TRUE(fs::file_size(box.at(file)) > 0) << file;
  }
  EXPECT_TRUE(has(first.out, "created 4 contacts, 1 refused"));
  EXPECT_EQ(box.entries(), 120 + 4 + 4);
  ASSERT_EQ(box.run({"export", "-o", "after.csv"}).exitCode, 0);
  EXPECT_TRUE(has(readAll(box.at("after.csv")), "\"Yamada Trading Co., Ltd.\""));

  std::string before = box.book();
  Outcome second = box.run({"demo"});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_TRUE(
      has(second.out, "dry run: would create 0 contacts, 1 would be refused, 4 would be skipped"));
  EXPECT_EQ(box.entries(), 128);
}

}  // namespace
