// Runs the built dabtool as a person would, each case in a fresh folder, and
// checks exit codes, messages, the files it leaves and the address book.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/files_and_text.h"

namespace fs = std::filesystem;

namespace {

using testutil::countOf;
using testutil::has;
using testutil::parseCsv;
using testutil::readAll;
using testutil::splitLines;
using Args = std::vector<std::string>;

const std::string kHeader = "First,Last,Display,Company,E-mail,Internet fax\r\n";
const std::string kAnn = "Ann,Lee,Ann Lee,,,\r\n";

// An expected output kept as a file in tests/fixtures/expected/tool.
std::string expected(const std::string& name) {
  return readAll(fs::path(DAB_FIXTURES) / "expected/tool" / name);
}

struct Outcome {
  int exitCode = -1;
  std::string out, err;
};

// Starts dabtool in `dir` with its stdout and stderr on `out` and `err`;
// `maxFileSize` > 0 makes longer writes fail as on a full disk.
pid_t start(const fs::path& dir, Args args, int out, int err, rlim_t maxFileSize = 0) {
  args.insert(args.begin(), DABTOOL_PATH);
  pid_t child = ::fork();
  if (child != 0) return child;
  if (::chdir(dir.c_str()) != 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(127);
  if (maxFileSize > 0) {
    const rlimit limit{maxFileSize, maxFileSize};
    ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

// A fresh folder to run dabtool in, removed afterwards.
struct Sandbox : testutil::TempDir {
  Sandbox() { ::unsetenv("DABUTILS_DATA_ROOT"); }
  Outcome run(const Args& args, rlim_t maxFileSize = 0) const {
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    int out = ::open(at(".stdout").c_str(), flags, 0600);
    int err = ::open(at(".stderr").c_str(), flags, 0600);
    int status = 0;
    ::waitpid(start(dir_, args, out, err, maxFileSize), &status, 0);
    ::close(out);
    ::close(err);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
            readAll(at(".stdout")), readAll(at(".stderr"))};
  }

  fs::path data(const std::string& name) const { return dir_ / "dabdata" / name; }
  Outcome import(const std::string& bytes) const {
    writeFile("in.csv", bytes);
    return run({"import", "in.csv"});
  }
  std::string book() const {
    return fs::exists(data("addressbook.db")) ? readAll(data("addressbook.db")) : "(no book)";
  }
  void seed(int contacts) const {
    Outcome seeded = run({"seed", "--contacts", std::to_string(contacts)});
    ASSERT_EQ(seeded.exitCode, 0) << seeded.err;
  }
  // The entry count that `dabtool list` reports, -1 when it reports none.
  int entries() const {
    Outcome listed = run({"list", "--limit", "1"});
    size_t at = listed.out.rfind(" entr");
    if (listed.exitCode != 0 || at == std::string::npos) return -1;
    size_t start = listed.out.find_last_not_of("0123456789", at - 1) + 1;
    return std::atoi(listed.out.c_str() + start);
  }
  bool leftScratch() const {
    std::error_code none;
    for (const auto& entry : fs::directory_iterator(data(""), none)) {
      if (has(entry.path().filename().string(), "scratch")) return true;
    }
    return false;
  }
};

// --- Usage and samples -------------------------------------------------------

TEST(DabtoolUsage, MistakesHelpOtherFoldersAndSamples) {
  Sandbox box;
  for (const char* line :
       {"", "frobnicate", "--colour list", "--data-dir", "--log-level loud list",
        "seed --contacts 65001", "list --limit -3", "export --delimiter Tab", "import a.csv b.csv",
        "import a.csv --dry-run --keep-partial", "sample --services fax,telex",
        "sample --legacy --services fax", "demo --unknown"}) {
    Outcome result = box.run(splitLines(line, " "));
    EXPECT_EQ(result.exitCode, 2) << line;
    EXPECT_TRUE(result.out.empty()) << line;
    EXPECT_TRUE(!*line || countOf(result.err, "\n") == 1u) << line << ": " << result.err;
  }
  for (std::string command : {"seed", "list", "export", "import", "sample", "demo"}) {
    Outcome result = box.run({command, "--help"});
    EXPECT_EQ(result.exitCode, 0) << command;
    EXPECT_EQ(result.out.rfind("usage: dabtool " + command, 0), 0u) << result.out;
  }
  Outcome top = box.run({"--help"});
  EXPECT_EQ(top.exitCode, 0);
  EXPECT_TRUE(has(top.out, "import"));
  EXPECT_FALSE(fs::exists(box.at("dabdata"))) << "neither a mistake nor --help makes a book";

  SCOPED_TRACE("another database file and data folder");
  box.writeFile("in.csv", kHeader + kAnn);
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

  SCOPED_TRACE("samples: service sets and delimiters");
  const std::pair<std::string, size_t> kServices[] = {
      {"none", 10}, {"fax,email", 14}, {"scan", 22}, {"ifax", 11}, {"all", 27}};
  for (const auto& [services, cells] : kServices) {
    Outcome result = box.run({"sample", "--services", services, "-o", "sample.csv"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string bytes = readAll(box.at("sample.csv"));
    EXPECT_EQ(bytes, readAll(box.data("http/data/AddressBookSample.csv")));
    std::string header = splitLines(bytes, "\n").at(0);
    EXPECT_EQ(countOf(header, ",") + 1, cells) << services << ": " << header;
  }
  Outcome lower = box.run({"sample", "--legacy", "--delimiter", "semicolon", "-o", "legacy.csv"});
  EXPECT_EQ(lower.exitCode, 0) << lower.err;
  EXPECT_TRUE(has(lower.out, "legacy.csv"));
  EXPECT_EQ(
      readAll(box.at("legacy.csv")).rfind("Friendly Name;E-Mail Address;InternetFax Address\n", 0),
      0u);
}

// --- Seed, list and export ---------------------------------------------------

TEST(DabtoolBook, SeedIsReproducibleListedExportedAndNeverSavedOverWhenDamaged) {
  Sandbox box, same, other;
  box.seed(300);
  same.seed(300);
  ASSERT_EQ(other.run({"seed", "--contacts", "300", "--seed", "7"}).exitCode, 0);
  for (const Sandbox* b : {&box, &same, &other}) {
    ASSERT_EQ(b->run({"export", "-o", "book.csv"}).exitCode, 0);
  }
  const std::string bytes = readAll(box.at("book.csv"));
  EXPECT_EQ(bytes, readAll(same.at("book.csv")));
  EXPECT_NE(bytes, readAll(other.at("book.csv")));
  Outcome listed = box.run({"list", "--limit", "0"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  for (const char* part :
       {"312 entries", "(300 contacts, 12 groups)", "fax group", "e-mail group"}) {
    EXPECT_TRUE(has(listed.out, part));
  }

  std::vector<std::vector<std::string>> rows = parseCsv(bytes, ',');
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
  for (size_t count : {utf8, commas, members, masked, ipv6, favourites}) EXPECT_GT(count, 0u);

  Outcome dab = box.run({"export", "--delimiter", "Semicolon", "-o", "dab.csv"});
  ASSERT_EQ(dab.exitCode, 0) << dab.err;
  EXPECT_TRUE(has(dab.out, "Exported 312 entries to dab.csv"));
  EXPECT_EQ(readAll(box.at("dab.csv")).rfind("ZltAddressBookId;DisplayName;", 0), 0u);
  Outcome legacy = box.run({"export", "--legacy"});
  ASSERT_EQ(legacy.exitCode, 0) << legacy.err;
  std::string legacyBytes = readAll(box.data("http/data/LegacyExportedAddressBook.csv"));
  size_t legacyRows = countOf(legacyBytes, "\r\n");
  EXPECT_TRUE(has(legacy.out, "Exported " + std::to_string(legacyRows) + " contacts"));
  EXPECT_TRUE(has(legacy.out, "dabdata/http/data/LegacyExportedAddressBook.csv"));

  std::string before = box.book();
  Outcome tooMany = box.run({"seed", "--contacts", "65000"});
  EXPECT_EQ(tooMany.exitCode, 1);
  EXPECT_TRUE(has(tooMany.err, "65000"));
  EXPECT_EQ(box.book(), before);

  // Scrambles the cell pointers of the fourth page: SQLite still opens the
  // file and writes to it, and only its check finds the damage.
  std::string book = box.book();
  size_t pageSize =
      (static_cast<unsigned char>(book[16]) << 8) | static_cast<unsigned char>(book[17]);
  if (pageSize == 1) pageSize = 65536;
  ASSERT_GE(book.size(), 4 * pageSize);
  size_t at = 3 * pageSize + 8;
  for (size_t i = 0; i < 16; ++i) book[at + i] = static_cast<char>(book[at + i] ^ 0x5A);
  box.writeFile("dabdata/addressbook.db", book);
  Outcome result = box.import(kHeader + kAnn);
  EXPECT_EQ(result.exitCode, 1) << result.out;
  EXPECT_TRUE(has(result.err, "is damaged")) << result.err;
  EXPECT_EQ(box.book(), book);
}

TEST(DabtoolBook, AShortFileIsAFailureAndNothingIsHandedOver) {
  Sandbox box;
  box.seed(2000);
  // Limits that leave the book's files and the messages room but cut each
  // output short (the legacy sample is shorter than the message).
  const std::pair<Args, rlim_t> commands[] = {{{"export", "-o", "out.csv"}, 96 << 10},
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

// --- Import ------------------------------------------------------------------

// The exit code, the sentences and the book after importing one file; every
// failure is one line on stderr and changes nothing unless told to keep
// what it made, and no import changes its file or leaves a scratch copy.
struct ImportCase {
  const char* name;
  int seeded, exitCode, entries;  // seeded first (kSameFileFirst: the file imported first);
                                  // entries afterwards (-1: no book)
  std::string bytes, args;        // of in.csv; after "import", split at blanks
  std::string said;               // parts, between '|', of stderr when the exit code is 1, else of
                                  // stdout and the report r.csv
  std::string placed = "";        // the upload file afterwards; "" unchecked
};

const std::string kFour = kHeader + "Ann,Lee,Ann Lee,,ann@example.com,\r\nBo,Ek,Bo Ek,,,\r\n" +
                          "Cy,Ko,\"Cy\" Ko,,cy@example.com,\r\nDi,Yu,Di Yu,,,\r\n";
const std::string kTwo = kHeader + "Ann,Lee,Ann Lee,,ann@example.com,\r\nBo,Ek,Bo Ek,,,";
const std::string kSemicolons = "A;B;C;D;E;F\nJo;Ng;\"Ng, Jo\";X;jo@example.com;\n";
const std::string kLatin1 = kHeader + "Al,Ek,Al Ek,,,\r\nZo\xEB,Ek,Zo\xEB Ek,,,\r\n";
const std::string kNoDisplay =
    "First,Last,,Company,E-mail,Fax\nAnn,Lee,Ann Lee,,,\nBo,Ek,Bo Ek,,,\n";
const std::string kBom = "\xEF\xBB\xBF" + kHeader + "Zoë,Ek,Zoë Ek,,,\r\n";
const int kSameFileFirst = -1;
const std::string kRepeats = kHeader + "Ann,Lee,Ann Lee,,ann@example.com,\r\nBo,Ek,Bo Ek,,,\r\n" +
                             "A,L,ANN LEE,,Ann@Example.com,\r\n";
const std::string kNameMail = "Name,Mail\nAl,al@example.com\n";
const std::string kLong = kHeader + std::string(256, 'n') +
                          ",Lee,Ann Lee,,,\r\nBo,Ek,Bo Ek,,,fax@" + std::string(300, 'e') + "\r\n";

// clang-format off
const ImportCase kImports[] = {
    {"NoLastLineEnd", 0, 0, 2, kTwo, "in.csv",
     "Created 2 contacts from 2 data records; 0 refused.|added a line end", kTwo + "\r\n"},
    {"MalformedField", 20, 1, 20, kFour, "in.csv",
     "stopped at record 3 (starting on line 4, the bad field is on line 4)|status 3|unchanged"},
    {"MalformedFieldKept", 20, 1, 22, kFour, "in.csv --keep-partial",
     "The 2 contacts created before it were kept"},
    {"DryRun", 5, 3, 5, kHeader + "Ann,Lee,Ann Lee,,ann@example.com,\r\nNo,Name,,,,\r\n",
     "--dry-run in.csv", "Dry run: would create 1 contact from 2 data records; 1 would be refused."
     "|would hold 6 entries"},
    {"SemicolonsMapped", 0, 0, -1, kSemicolons, "--dry-run in.csv", "  first name: 'A' (column 1)"},
    {"SemicolonsFound", 0, 0, 1, kSemicolons, "in.csv",
     "(';' between fields, found in its first row; UTF-8)|Created 1 contact from 1 data record"},
    // Without quotes every record reads as one field: all refused, and said so.
    {"UnquotedSemicolonsReadWithComma", 1, 1, 1, "A;B;C;D;E;F\nJo;Ng;Jo Ng;X;;\nAl;Bo;Al Bo;X;;\n",
     "--positional --delimiter Comma in.csv", "none of the 2 data records of in.csv became a "
     "contact, so nothing was imported; its fields seem to be separated by ';': try --delimiter "
     "Semicolon"},
    {"Latin1AsUtf8", 0, 1, -1, kLatin1, "--encoding UTF-8 in.csv",
     "in.csv is not text in UTF-8 (line 3 holds bytes"},
    {"Utf8ByteOrderMark", 0, 0, 1, kBom, "in.csv", "left its UTF-8 byte-order mark in place", kBom},
    // By position the library takes the header's empty third column for a
    // blank display name; by name the tool builds the names instead.
    {"NoDisplayNameByPosition", 0, 3, 1, kNoDisplay, "--positional in.csv", "1 record not created: "
     "the header row's third column is empty, and the import then skips the first data row: "
     "record 1 (line 2)."},
    {"NoDisplayNameByName", 0, 0, 2, kNoDisplay, "in.csv", "Built 2 display names"},
    {"ValuesTheLibraryFlags", 0, 3, 1, kLong, "in.csv", "1 contact created, but the first name "
     "(column 1) is longer than 255 characters: record 1 (line 2).|1 record not created: the "
     "internet-fax address (column 6) is longer than"},
    {"RepeatsInTheFile", 0, 0, 2, kRepeats, "in.csv", "Created 2 contacts from 3 data records; 0 "
     "refused, 1 skipped|  1 record skipped: it repeats an earlier record of the file: record 3 "
     "(line 4)."},
    {"RepeatsOfTheBook", kSameFileFirst, 0, 2, kRepeats, "--verbose --report r.csv in.csv",
     "record 2 (line 3): skipped: Bo Ek is already in the book|\r\n2,3,Bo Ek,skipped,already in "
     "the book\r\n"},
    {"RepeatsKept", kSameFileFirst, 0, 5, kRepeats, "--duplicates keep in.csv", ""},
    {"ColumnNotInFile", 0, 1, -1, kNameMail, "in.csv --columns email=Work", "no column of in.csv"},
    {"ColumnNotKnown", 0, 1, -1, kNameMail, "in.csv --columns phone=Mail", "not 'phone=Mail'"},
    {"MalformedByName", 0, 1, -1, "Name,Mail\n\"Al\" x,al@example.com\n", "in.csv",
     "closing double quote followed by"},
    {"EmptyFile", 3, 1, 3, "", "in.csv", "holds no data records"}};
// clang-format on

TEST(DabtoolImport, EachFileGetsItsExitCodeSentencesAndBook) {
  for (const ImportCase& c : kImports) {
    SCOPED_TRACE(c.name);
    Sandbox box;
    if (c.seeded > 0) box.seed(c.seeded);
    if (c.seeded == kSameFileFirst) box.import(c.bytes);
    box.writeFile("in.csv", c.bytes);
    const std::string before = box.book();
    Args args = splitLines(c.args, " ");
    args.insert(args.begin(), "import");
    Outcome result = box.run(args);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
    for (const std::string& part : splitLines(c.said, "|")) {
      EXPECT_TRUE(has(c.exitCode == 1 ? result.err : result.out + readAll(box.at("r.csv")), part));
    }
    EXPECT_EQ(countOf(result.err, "\n"), c.exitCode == 1 ? 1u : 0u) << result.err;
    if ((c.exitCode == 1 && !has(c.args, "--keep-partial")) || has(c.args, "--dry-run")) {
      EXPECT_EQ(box.book(), before);
    }
    EXPECT_EQ(readAll(box.at("in.csv")), c.bytes);
    EXPECT_FALSE(box.leftScratch());
    if (!c.placed.empty()) {
      EXPECT_EQ(readAll(box.data("http/data/addressbook.txt")), c.placed);
    }
    EXPECT_EQ(box.entries(), c.entries);
  }
}

TEST(DabtoolImport, FindingsAreGroupedListedOrReportedRecordByRecord) {
  Sandbox box;
  Outcome result = box.import(readAll(fs::path(DAB_FIXTURES) / "import/findings.csv"));
  EXPECT_EQ(result.exitCode, 3) << "some records were refused";
  // Records count from 1 after the header; the empty line 7 is no record.
  EXPECT_EQ(result.out, expected("import-findings.out"));
  EXPECT_EQ(box.run({"list"}).out, expected("list.out"));

  Outcome listed = box.run(
      {"import", "in.csv", "--dry-run", "--verbose", "--report", "r.csv", "--duplicates", "keep"});
  EXPECT_EQ(listed.exitCode, 3);
  EXPECT_TRUE(has(listed.out,
                  "  record 2 (line 3): would not be created: the display name (column 3) is "
                  "empty\n"));
  EXPECT_EQ(readAll(box.at("r.csv")), expected("import-findings-report.csv"));
}

// Reaching the device limit part-way changes nothing, unless the person
// asks to keep what fits; a restore past it changes nothing either.
TEST(DabtoolImport, TheDeviceLimitIsAllOrNothing) {
  Sandbox box, source;
  ASSERT_EQ(box.run({"seed", "--contacts", "64998", "--groups", "0"}).exitCode, 0);
  source.seed(20);
  ASSERT_EQ(source.run({"export", "-o", "book.csv"}).exitCode, 0);
  std::string before = box.book();
  Outcome restore =
      box.run({"restore", "--merge", "--duplicates", "keep", source.at("book.csv").string()});
  EXPECT_TRUE(has(restore.err, "past the device limit of 65000 entries; nothing was restored"));
  std::string file = kHeader;
  for (int i = 1; i <= 5; ++i) file += "F,L,Name " + std::to_string(i) + ",,,\r\n";
  box.writeFile("in.csv", file);
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
  box.writeFile("in.csv", file);
  Outcome result = box.run({"import", "in.csv", "--report", "report.csv"});
  EXPECT_EQ(result.exitCode, 3) << result.err;
  EXPECT_LT(splitLines(result.out, "\n").size(), 40u) << result.out;
  EXPECT_TRUE(has(result.out,
                  "  6,500 contacts created, but the e-mail address (column 5) contains a blank or "
                  "a non-ASCII character: record 10 (line 11), record 20 (line 21), record 30 "
                  "(line 31) and 6,497 more."));
  EXPECT_TRUE(has(result.out, "Created 64935 contacts from 65000 data records; 65 refused."));

  const std::string report = readAll(box.at("report.csv"));
  std::vector<std::string> rows = splitLines(report, "\r\n");
  ASSERT_EQ(rows.size(), 65001u);
  EXPECT_EQ(rows[1001], "1001,1002,,refused,the display name (column 3) is empty");
  EXPECT_EQ(rows[64999], "64999,65000,Name 64999,created,");
  EXPECT_EQ(static_cast<int>(countOf(report, ",created,")), box.entries());
}

// Every kind of change is taken back in turn, newest first; a restore that
// meets a book that is not empty changes nothing.
TEST(DabtoolUndo, EveryChangeIsTakenBackInTurn) {
  Sandbox box;
  box.seed(20);
  ASSERT_EQ(box.run({"export", "-o", "book.csv"}).exitCode, 0);
  ASSERT_EQ(box.import(kHeader + kAnn).exitCode, 0);
  EXPECT_EQ(box.run({"delete", "1", "2"}).exitCode, 2);  // no terminal to ask on
  ASSERT_EQ(box.run({"delete", "--yes", "1", "2"}).exitCode, 0);
  EXPECT_EQ(box.run({"restore", "book.csv"}).exitCode, 1);  // not empty
  Outcome merged = box.run({"restore", "--merge", "book.csv"});
  EXPECT_TRUE(has(merged.out, "Restored 2 entries")) << merged.err;
  EXPECT_TRUE(has(merged.out, "18 entries skipped, already in the book: line 4 (")) << merged.out;
  EXPECT_TRUE(has(merged.out,
                  ") and 15 more\n  1 fax number lost what stood between '/' signs "
                  "(the export leaves it out); enter it again: line 2 ("))
      << merged.out;
  // A second merge finds everything there: no change, nothing for undo.
  Outcome again = box.run({"restore", "--merge", "--verbose", "book.csv"});
  EXPECT_TRUE(has(again.out, "Restored 0 entries"));
  EXPECT_EQ(countOf(again.out, ": skipped, already in the book\n"), 20u) << again.out;
  const std::pair<const char*, int> kUndone[] = {{"the restore of book.csv", 19},
                                                 {"the deletion of 2 contacts", 21},
                                                 {"the import of in.csv", 20}};
  for (const auto& [change, entries] : kUndone) {
    Outcome undo = box.run({"undo"});
    EXPECT_TRUE(has(undo.out, std::string("Undid ") + change)) << undo.err;
    EXPECT_EQ(box.entries(), entries);
  }
}

// --- Other programs' files -----------------------------------------------------

// The contacts of the sandbox's book as its DAB export shows them: display
// name, first name, last name, company, e-mail, internet fax.
using Contact = std::vector<std::string>;
std::vector<Contact> contactsIn(const Sandbox& box) {
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

// One line per contact, its cells between '|'.
std::string joined(const std::vector<Contact>& contacts) {
  std::string text;
  for (const Contact& contact : contacts) {
    for (size_t i = 0; i < contact.size(); ++i) text += (i == 0 ? "" : "|") + contact[i];
    text += "\n";
  }
  return text;
}

// A file in tests/fixtures/import and a part of what the import says of its
// format; its contacts, as `joined` writes them, are in NAME.contacts beside it.
const std::pair<const char*, const char*> kFormats[] = {
    {"google.csv", "Google Contacts CSV (',' between fields"},
    {"google-old.csv", "Google Contacts CSV (older format)"},
    {"outlook-en.csv", "Outlook CSV (English)"},
    {"outlook-de.csv", "Outlook CSV (German)"},
    {"outlook-fr.csv", "Outlook CSV (French)"},
    {"thunderbird-en.csv", "Thunderbird CSV (English)"},
    {"thunderbird-de.csv", "Thunderbird CSV (German) (';' between fields"},
    {"windows-1252.csv", "WINDOWS-1252, detected"},
    {"unicode-text.txt", "(tab between fields, found in its first row; UTF-16, little-endian)"},
    {"no-header.csv", "its first row is a contact"},
    {"phone-2.1.vcf", "vCard"},
    {"mail-3.0.vcf", "vCard"},
    {"contacts-4.0.vcf", "vCard"}};

TEST(DabtoolImportFormats, EachFormatGivesItsContactsFieldByField) {
  for (const auto& [file, format] : kFormats) {
    SCOPED_TRACE(file);
    Sandbox box;
    const fs::path path = fs::path(DAB_FIXTURES) / "import" / file;
    Outcome result = box.run({"import", path.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(has(result.out, format));
    EXPECT_EQ(joined(contactsIn(box)), readAll(fs::path(path).replace_extension("contacts")));
  }
}

// The tool's own exports and templates go back into a fresh book.
TEST(DabtoolImportFormats, OwnExportsGoBackInAndColumnsCanBeChosen) {
  Sandbox source;
  source.seed(40);
  std::vector<Contact> seeded = contactsIn(source), legacy;
  for (const Contact& c : seeded) {
    if (!c[4].empty()) legacy.push_back({c[0], "", "", "", c[4], c[5]});
  }
  const std::string sample =
      "Doe, John|John|Doe|Zelto|john.doe@example.com|john.doe.ifax@example.com\n";
  const std::pair<const char*, std::string> kFiles[] = {
      {"export --delimiter Semicolon", joined(seeded)},
      {"export --legacy", joined(legacy)},
      {"sample", sample},
      {"sample --legacy --delimiter Semicolon",
       "Doe, John||||john.doe@example.com|john.doe.ifax@example.com\n"}};
  for (const auto& [command, contacts] : kFiles) {
    ASSERT_EQ(source.run(splitLines(command + std::string(" -o out.csv"), " ")).exitCode, 0);
    Sandbox fresh;
    Outcome result = fresh.run({"import", source.at("out.csv").string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(joined(contactsIn(fresh)), contacts) << command;
  }

  SCOPED_TRACE("a dry run shows the mapping, and --columns changes it");
  Sandbox box;
  std::string google = std::string(DAB_FIXTURES) + "/import/google.csv";
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

// --- Bad books and folders -------------------------------------------------------

// Refused with exit code 1 and one line, changing neither the book nor the
// file imported, and following no link (the links below name `elsewhere`).
// Each: contacts seeded first, then shell commands run in the sandbox,
// dabtool command lines between '|', and a part of the line each refusal says
// (the chown needs root).
struct Refusal {
  int seeded;
  std::string setup;
  const char *commands, *why;
};

const char kEveryCommand[] = "list|export|export --legacy|seed|import in.csv|demo";
const std::string kMkdir = "mkdir -p dabdata/http/data && ",
                  kMadeBy = kMkdir + "sqlite3 dabdata/addressbook.db ";

// clang-format off
const Refusal kRefusals[] = {
    {0, kMkdir + "yes 'a shopping list' | head -c 4096 > dabdata/addressbook.db", kEveryCommand,
     "dabdata/addressbook.db is not an address book database"},
    {0, kMadeBy + "'CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES (1);'", kEveryCommand,
     "is an SQLite database of another program"},
    {0, kMadeBy + "'CREATE TABLE contacts (id INTEGER); PRAGMA user_version = 1;'", kEveryCommand,
     "of an unknown schema"},
    {0, kMadeBy + "'PRAGMA user_version = 7; CREATE TABLE contacts (id INTEGER);'", kEveryCommand,
     "of an unknown schema"},
    {0, "echo x > plain-file", "--data-dir plain-file/root list|--data-dir plain-file/root seed|"
     "--data-dir plain-file/root sample|--data-dir plain-file/root demo",
     "dabtool: cannot create the data folder plain-file/root: "},
    {1, "chmod 0777 dabdata", "list", "can be written by every user (mode 0777)"},
    {1, "chmod 0757 dabdata/http/data", "list", "http/data can be written by every user"},
    {1, "chown 65534 dabdata/http && chmod 0720 dabdata/http", "list", "belongs to user"},
    {1, "rm dabdata/*-lock && ln -s ../elsewhere dabdata/addressbook.db.dabtool-lock",
     "import in.csv", "is a symbolic link; remove it"},
    {0, kMkdir + "head -c -2 in.csv > dabdata/http/data/addressbook.txt",
     "import dabdata/http/data/addressbook.txt", "upload file itself"}};
// clang-format on

TEST(DabtoolBadInput, RefusalsChangeNothing) {
  for (const Refusal& r : kRefusals) {
    SCOPED_TRACE(r.why);
    Sandbox box;
    if (r.seeded > 0) box.seed(r.seeded);
    box.writeFile("in.csv", kHeader + kAnn);
    if (std::system(("cd " + box.dir_.string() + " && " + r.setup).c_str()) != 0) continue;
    const std::string book = box.book();
    for (const std::string& command : splitLines(r.commands, "|")) {
      Args args = splitLines(command, " ");
      const std::string named = readAll(box.at(args.back()));  // the file imported, if any
      Outcome result = box.run(args);
      EXPECT_EQ(result.exitCode, 1) << command;
      EXPECT_TRUE(has(result.err, r.why)) << command;
      EXPECT_EQ(countOf(result.err, "\n"), 1u) << result.err;
      EXPECT_EQ(box.book(), book);
      EXPECT_EQ(readAll(box.at(args.back())), named);
      EXPECT_FALSE(fs::exists(box.at("elsewhere")));
    }
  }
}

// One lock guards the book under every name it is given, and a waiting
// change neither touches the book nor the file another import is reading.
TEST(DabtoolBadInput, OneChangeAtATimeAndAKilledOneLeavesTheBookAsItWas) {
  Sandbox box;
  box.seed(3);
  std::string before = box.book();
  fs::create_symlink(box.data("addressbook.db"), box.at("link.db"));
  box.writeFile("in.csv", kHeader + kAnn);
  box.writeFile("dabdata/http/data/addressbook.txt", "the other import's file\r\n");
  int held = ::open(box.data("addressbook.db.dabtool-lock").c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  for (const Args& args : std::vector<Args>{
           {"import", "in.csv"}, {"seed"}, {"--database", "link.db", "import", "in.csv"}}) {
    Outcome result = box.run(args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(has(result.err, "is being changed by another dabtool"));
  }
  ::close(held);
  EXPECT_EQ(box.book(), before);
  EXPECT_EQ(readAll(box.data("http/data/addressbook.txt")), "the other import's file\r\n");
  Outcome linked = box.run({"--database", "link.db", "import", "in.csv"});
  EXPECT_EQ(linked.exitCode, 0) << linked.err;
  EXPECT_TRUE(fs::is_symlink(box.at("link.db")));
  EXPECT_EQ(box.entries(), 4);

  // Kills an import while the library is creating contacts, after the
  // database has committed its first batch (10000 writes) to the file it
  // works on: the book must be as it was, and the next command must clean up
  // after the killed one.
  before = box.book();
  std::string file = kHeader;
  for (int i = 0; i < 25000; ++i) {
    file += "F" + std::to_string(i) + ",L,Name " + std::to_string(i) + ",,x@example.com,\r\n";
  }
  box.writeFile("big.csv", file);
  int pipeFds[2];
  ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
  pid_t child = start(box.dir_, {"--log-level", "debug", "import", "big.csv"}, 1, pipeFds[1]);
  ::close(pipeFds[1]);
  // Reads whole lines so that a count never sees half a message.
  size_t added = 0;
  std::string pending;
  char buffer[4096];
  for (ssize_t n; added < 12000 && (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
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
  EXPECT_EQ(box.entries(), 4);
  Outcome again = box.run({"import", "--dry-run", "big.csv"});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_FALSE(box.leftScratch());
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

  Outcome second = box.run({"demo"});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_TRUE(
      has(second.out, "dry run: would create 0 contacts, 1 would be refused, 4 would be skipped"));
  EXPECT_EQ(box.entries(), 128);
}

}  // namespace
