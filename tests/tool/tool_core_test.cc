// dabtool's core, one section per unit.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "errors.h"
#include "file_io.h"
#include "files_and_text.h"
#include "record_scan.h"
#include "terminal_text.h"
#include "text.h"
#include "text_table.h"

namespace {

// --- The tool's shared text helpers: the UTF-8 validator at its edges, lines as
// the import counts them, whole numbers as people type them, and sizes.

using namespace std::string_literals;

// Each character at the edges of its length and of the surrogates.
// clang-format off
const std::pair<std::string, uint32_t> kValid[] = {
    {"A", 0x41}, {"\x7F", 0x7F}, {"\xC2\x80", 0x80}, {"\xDF\xBF", 0x7FF}, {"\xE0\xA0\x80", 0x800},
    {"\xED\x9F\xBF", 0xD7FF}, {"\xEE\x80\x80", 0xE000}, {"\xEF\xBF\xBF", 0xFFFF},
    {"\xF0\x90\x80\x80", 0x10000}, {"\xF4\x8F\xBF\xBF", 0x10FFFF}};
// clang-format on

TEST(Text, Utf8CharAt) {
  for (const auto& [text, expected] : kValid) {
    uint32_t code = 0;
    EXPECT_EQ(dabtool::utf8CharAt(text + "z", 0, &code), text.size()) << expected;
    EXPECT_EQ(code, expected);
    EXPECT_EQ(dabtool::utf8CharAt("a" + text, 1), text.size()) << expected;
    std::string encoded;
    dabtool::appendUtf8(encoded, code);
    EXPECT_EQ(encoded, text);
  }
  // Stray continuations, overlong forms, surrogates, values past U+10FFFF,
  // characters cut by the end or by a byte that does not continue them.
  for (std::string bad :
       {"\x80", "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80",
        "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xC3", "\xE2\x82",
        "\xF0\x9F\x98", "\xC3(", "\xE2(\xA1", "\xF0\x9F\x98("}) {
    uint32_t code = 0;
    EXPECT_EQ(dabtool::utf8CharAt(bad, 0, &code), 0u) << testing::PrintToString(bad);
    EXPECT_EQ(dabtool::utf8CharAt(bad, 0), 0u) << testing::PrintToString(bad);
  }
  EXPECT_EQ(dabtool::utf8CharAt("\xC3\xA9", 1), 0u) << "the middle of a character";
  const size_t kNone = std::string::npos;
  // clang-format off
  const std::pair<std::string, size_t> kInvalid[] = {
      {"", kNone}, {"plain text", kNone}, {"nul\0inside"s, kNone},
      {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z", kNone}, {"ab\x80", 2}, {"\xC3\xA9\xC3", 2},
      {"x\xED\xA0\x80", 1}, {"\xE2\x82\xAC\xF4\x90\x80\x80", 3},
      {"abc\xC0\xAF", 3}, {"\xE0\x9F\xBFok", 0}};
  // clang-format on
  for (const auto& [text, offset] : kInvalid) {
    EXPECT_EQ(dabtool::firstInvalidUtf8(text), offset) << testing::PrintToString(text);
  }
}

TEST(Text, LinesNumbersSizesAndCounts) {
  const std::string lines = "a\nb\r\nc\rd";  // a: 0, b: 2, c: 5, d: 7
  const std::pair<size_t, int> kLines[] = {{0, 1}, {1, 1}, {2, 2}, {3, 2}, {4, 2},
                                           {5, 3}, {6, 3}, {7, 4}, {50, 4}};
  for (const auto& [offset, line] : kLines) {
    EXPECT_EQ(dabtool::lineAt(lines, offset), line) << "offset " << offset;
  }
  using dabtool::parseWholeNumber;
  const std::pair<std::string, long> kInZeroToTen[] = {
      {"0", 0}, {"10", 10}, {"007", 7}, {"+7", 7}, {"-0", 0}};
  for (const auto& [text, value] : kInZeroToTen) EXPECT_EQ(parseWholeNumber(text, 0, 10), value);
  EXPECT_EQ(parseWholeNumber("-3", -5, 5), -3);
  const std::string longMax = std::to_string(LONG_MAX), longMin = std::to_string(LONG_MIN);
  EXPECT_EQ(parseWholeNumber(longMax, LONG_MIN, LONG_MAX), LONG_MAX);
  EXPECT_EQ(parseWholeNumber(longMin, LONG_MIN, LONG_MAX), LONG_MIN);
  EXPECT_EQ(parseWholeNumber("11", 0, 10), std::nullopt);
  EXPECT_EQ(parseWholeNumber("-1", 0, 10), std::nullopt);
  for (const std::string& text :
       {""s, " 5"s, "\t5"s, "5 "s, "5\n"s, "5\0"s, "+"s, "-"s, "--5"s, "+-5"s, "1.5"s, "1e3"s,
        "0x10"s, "5a"s, "five"s, longMax + "0", longMin + "0", "99999999999999999999999"s}) {
    EXPECT_EQ(parseWholeNumber(text, LONG_MIN, LONG_MAX), std::nullopt)
        << testing::PrintToString(text);
  }
  // clang-format off
  const std::pair<size_t, const char*> kSizes[] = {
      {0, "0 bytes"}, {1, "1 byte"}, {100, "100 bytes"}, {1023, "1023 bytes"}, {1024, "1 KiB"},
      {1536, "1536 bytes"}, {512 << 10, "512 KiB"}, {(1 << 20) - 1024, "1023 KiB"},
      {1 << 20, "1 MiB"},
      {(1 << 20) + 1024, "1025 KiB"}, {16 << 20, "16 MiB"}, {size_t{3} << 30, "3072 MiB"}};
  for (const auto& [bytes, text] : kSizes) EXPECT_EQ(dabtool::sizeText(bytes), text);
  const std::pair<long, const char*> kCounts[] = {
      {0, "0 rows"}, {1, "1 row"}, {999, "999 rows"}, {1000, "1,000 rows"}, {65000, "65,000 rows"},
      {100000, "100,000 rows"}, {1234567, "1,234,567 rows"}, {-1500, "-1,500 rows"}};
  // clang-format on
  for (const auto& [n, text] : kCounts) EXPECT_EQ(dabtool::pluralGrouped(n, "row", "rows"), text);
}

// --- Text on its way to a terminal: the columns characters take, where long
// text may be cut, which characters are shown escaped, and a table whose
// columns line up whatever its cells hold.

using dabtool::displayWidth;
using dabtool::fitWidth;
using dabtool::Tabs;
using dabtool::terminalCell;
using dabtool::terminalText;

using testutil::printed;

// Characters spelled out once: combining U+0301 and U+0323, wide U+674E and
// U+5A1C, emoji U+1F600 with U+FE0F, a woman (U+1F469) joined (U+200D) to a
// laptop (U+1F4BB), U+202E, U+2026.
const std::string kAcute = "\xCC\x81", kDotBelow = "\xCC\xA3", kLi = "\xE6\x9D\x8E",
                  kNa = "\xE5\xA8\x9C", kGrin = "\xF0\x9F\x98\x80", kEmojiStyle = "\xEF\xB8\x8F",
                  kJoiner = "\xE2\x80\x8D",
                  kCoder = "\xF0\x9F\x91\xA9" + kJoiner + "\xF0\x9F\x92\xBB",
                  kRightToLeft = "\xE2\x80\xAE", kEllipsis = "\xE2\x80\xA6";

TEST(CoreTerminalText, DisplayWidthAndFitWidth) {
  // U+200B has no width; an overlong form and a surrogate take a column a byte.
  // clang-format off
  const std::vector<std::pair<std::string, int>> cases = {
      {"", 0}, {"Anna", 4}, {"e" + kAcute, 1}, {"Zoe" + kAcute + kDotBelow + "k", 4}, {"Zöe", 3},
      {kLi + kNa, 4}, {kGrin, 2}, {kGrin + kEmojiStyle, 2}, {"\xE2\x80\x8B", 0}, {kCoder, 4},
      {"\xFF", 1}, {"a\xC3", 2}, {"\xE0\x80\x80", 3}, {"\xED\xA0\x80", 3}};
  // clang-format on
  for (const auto& [text, columns] : cases) {
    EXPECT_EQ(displayWidth(text), columns) << testing::PrintToString(text);
  }
  // Cuts fall between whole characters.
  const std::string accented = "x" + std::string("e") + kAcute + kDotBelow + "yz";
  // clang-format off
  const std::vector<std::tuple<std::string, int, std::string>> cuts = {
      {"abc", 3, "abc"}, {"abcd", 3, "ab" + kEllipsis}, {"abcd", 1, kEllipsis}, {"abcd", 0, ""},
      {"", 0, ""}, {"\xC3\xA9\xC3\xA9\xC3\xA9", 2, "\xC3\xA9" + kEllipsis},
      {accented, 3, "xe" + kAcute + kDotBelow + kEllipsis}, {accented, 2, "x" + kEllipsis},
      {kLi + kNa + kLi, 4, kLi + kEllipsis}, {kLi + kNa + kLi, 2, kEllipsis},
      {kGrin + kGrin + kGrin, 5, kGrin + kGrin + kEllipsis},
      {kGrin + kEmojiStyle + "ab", 3, kGrin + kEmojiStyle + kEllipsis},
      {"a" + kCoder + "bc", 4, "a" + kEllipsis}, {"a" + kCoder + "bc", 6, "a" + kCoder + kEllipsis},
      {"\xFF\xFExyz", 3, "\xFF\xFE" + kEllipsis}};
  // clang-format on
  for (const auto& [text, width, expected] : cuts) {
    std::string fitted = fitWidth(text, width);
    EXPECT_EQ(fitted, expected) << testing::PrintToString(text) << " in " << width;
    EXPECT_LE(displayWidth(fitted), width);
  }
}

TEST(CoreTerminalText, ControlCharactersAreSpelledOutAndTheRestPasses) {
  // clang-format off
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\x1b[2J", "\\x1b[2J"}, {std::string("a\0b", 3), "a\\x00b"},
      {"\x07\x1f\x7f", "\\x07\\x1f\\x7f"}, {"one\ntwo\r", "one\\ntwo\\r"},
      {"\xC2\x80\xC2\x85\xC2\x9B\xC2\x9F", "\\u0080\\u0085\\u009b\\u009f"}, {"\xD8\x9C", "\\u061c"},
      {"\xE2\x80\x8E\xE2\x80\x8F", "\\u200e\\u200f"},
      {"\xE2\x80\xAA" + kRightToLeft, "\\u202a\\u202e"},
      {"\xE2\x81\xA6\xE2\x81\xA9", "\\u2066\\u2069"}, {"Zo\xEB", "Zo\\xeb"},
      {std::string("\x9B") + "2J", "\\x9b2J"}};
  // clang-format on
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(terminalText(text), expected) << testing::PrintToString(text);
    EXPECT_EQ(terminalText(text, Tabs::kEscape), expected) << testing::PrintToString(text);
  }
  for (const std::string& text :  // U+00A0, U+00A1; U+202F, U+206A
       {"Ann \"Lee\", C:\\path\\x1b"s, "Zoe" + kAcute + " " + kLi + kNa,
        kCoder + kGrin + kEmojiStyle, "\xC2\xA0\xC2\xA1"s, kJoiner + "\xE2\x80\xAF\xE2\x81\xAA"}) {
    EXPECT_EQ(terminalText(text), text) << testing::PrintToString(text);
  }
  EXPECT_EQ(terminalText("a\tb"), "a\tb") << "tabs stay in messages";
  EXPECT_EQ(terminalText("a\tb", Tabs::kEscape), "a\\tb");
  EXPECT_EQ(terminalCell("a\tb", 10), "a\\tb") << "but not in cells";
}

TEST(CoreTerminalText, CellsAreCutOutsideEscapes) {
  // clang-format off
  const std::vector<std::tuple<std::string, int, std::string>> cases = {
      {"\x1b[2J", 7, "\\x1b[2J"}, {"\x1b[2J", 5, "\\x1b" + kEllipsis}, {"\x1b[2J", 4, kEllipsis},
      {"ab" + kRightToLeft + "cd", 9, "ab\\u202e" + kEllipsis},
      {"ab" + kRightToLeft + "cd", 8, "ab" + kEllipsis}, {kLi + "\n" + kNa, 4, kLi + kEllipsis}};
  // clang-format on
  for (const auto& [text, width, expected] : cases) {
    EXPECT_EQ(terminalCell(text, width), expected)
        << testing::PrintToString(text) << " in " << width;
  }
}

TEST(CoreTerminalText, TableColumnsLineUpAndLinesAreSafe) {
  const std::vector<std::string> names = {"Anna",
                                          "Ren" + kAcute + "e",
                                          kLi + kNa,
                                          kGrin + " Grin",
                                          kCoder + kEmojiStyle + " dev",
                                          "\x1b[2J\x1b]0;owned\x07",
                                          "tab\there",
                                          kRightToLeft + "evil",
                                          "Zo\xEB bad",
                                          "a very long name that is cut somewhere"};
  dabtool::TextTable table({"Name", "|"}, {20, 1});
  for (const std::string& name : names) table.addRow({name, "|"});
  std::string text = printed([&](std::FILE* out) { table.print(out); });

  std::vector<std::string> lines = testutil::splitLines(text, "\n");
  ASSERT_EQ(lines.size(), names.size() + 1) << text;
  int bar = displayWidth(lines[0]);
  EXPECT_EQ(bar, 20 + 2 + 1) << "the long name sets the column, cut to 20";
  for (const std::string& line : lines) {
    EXPECT_EQ(displayWidth(line), bar) << line;
    EXPECT_EQ(line.back(), '|') << line;
    EXPECT_EQ(terminalText(line, Tabs::kEscape), line) << "a control reached the terminal";
  }
  EXPECT_EQ(printed([](std::FILE* out) {
              dabtool::printLine(out, "dabtool: cannot read \x1b[2J" + kRightToLeft + "x.csv\n");
            }),
            "dabtool: cannot read \\x1b[2J\\u202ex.csv\\n\n")
      << "a message is one safe line";
}

// --- Record boundaries of an upload as the import reads it: where each record
// starts and ends, how many fields it has, whether its display name is
// blank, and where a malformed or unclosed field stops the import.

using dabtool::RecordScan;
using dabtool::scanRecords;

// Each record as "startLine-endLine:fields", with "b" when its display name
// is blank; then " malformed record/its first line/the bad line" and
// " trailing" when the last line has no line end.
std::string described(const RecordScan& scan) {
  std::string text;
  for (const dabtool::ScannedRecord& r : scan.records) {
    text += (text.empty() ? "" : " ") + std::to_string(r.startLine) + "-" +
            std::to_string(r.endLine) + ":" + std::to_string(r.fields) +
            (r.blankDisplayName ? "b" : "");
  }
  if (scan.malformed || scan.malformedRecord != 0 || scan.malformedLine != 0) {
    text += (scan.malformed ? " malformed " : " not malformed ") +
            std::to_string(scan.malformedRecord) + "/" + std::to_string(scan.malformedRecordLine) +
            "/" + std::to_string(scan.malformedLine);
  }
  return text + (scan.trailingData ? " trailing" : "");
}

// Inputs, their delimiter and their scan as `described` writes it.
// clang-format off
const std::tuple<std::string, char, const char*> kScans[] = {
    {"a,b,c\nd,e,f\n", ',', "1-1:3 2-2:3"}, {"a,b,c\r\nd,e\r\n", ',', "1-1:3 2-2:2b"},
    {"a,b,c\rd,e,f\r", ',', "1-1:3 2-2:3"},
    {"n,\"x\ny\",z\r\n\"a\r\nb\rc\",d,e\nq,r,s\n", ',', "1-2:3 3-5:3 6-6:3"},
    {"a,b,\"\n\"\n", ',', "1-2:3"},  // a quoted line end is no blank
    {"\"a\"\r\"b\",c,d\r\n", ',', "1-1:1b 2-2:3"},
    {"a,b,\"\"\"\"\n", ',', "1-1:3"},  // a doubled quote is data
    {"a,b,\"\"\n", ',', "1-1:3b"},
    {"\n\r\n\ra,b,c\n\nd,e,f\n\n", ',', "4-4:3 6-6:3"},  // empty lines are no records
    {"\"\"\nh,i,j\n", ',', "2-2:3"},
    {"\0x\nh,i,j\n"s, ',', "2-2:3"},  // a line starting with NUL is empty
    {",\n", ',', "1-1:2b"}, {"a;b;c;d;e;f;g\n", ';', "1-1:7"}, {"a,b\n", ',', "1-1:2b"},
    {"abc\n", ',', "1-1:1b"}, {"a,b,\n", ',', "1-1:3b"}, {"a,b,,d\n", ',', "1-1:4b"},
    {"a,b,\0c\n"s, ',', "1-1:3b"},
    {"a,b, \n", ',', "1-1:3"},  // a blank is data
    {"a;b,c\n", ',', "1-1:2b"}, {"a,b;c\n", ';', "1-1:2b"}, {"\"a;b\";c,d;e\n", ';', "1-1:3"},
    {"\"a;b\";c,d;e\n", ',', " malformed 1/1/1"},
    {"h,i,j\na,\"b\"x,c\n", ',', "1-1:3 malformed 2/2/2"},
    {"a\"b\"c\n", ',', " malformed 1/1/1"},
    {"h,i,j\n\n\"a\nb\"c\nd,e,f\n", ',', "1-1:3 malformed 2/3/4"},
    {"h,i,j\nx,\"y\nz\n", ',', "1-1:3 malformed 2/2/2"},  // never closed
    {"a,\"b\nc\",\"d\ne\n", ',', " malformed 1/1/2"}, {"a,b,c\n\"d\"", ',', "1-1:3 trailing"},
    {"a,b,c\nd,e", ',', "1-1:3 trailing"}, {"a,b,c", ',', " trailing"}, {"", ',', ""}};
// clang-format on

TEST(RecordScan, BoundariesFieldsAndNames) {
  for (const auto& [input, delimiter, expected] : kScans) {
    RecordScan scan = scanRecords(input, delimiter);
    EXPECT_EQ(described(scan), expected) << testing::PrintToString(input);
    EXPECT_EQ(scan.malformedReason.empty(), !scan.malformed) << testing::PrintToString(input);
  }
  EXPECT_EQ(2, scanRecords("a,b,c\nd,\"e\"", ',').trailingFields);

  const std::string bytes = "h,i,j\r\n\"Doe, \"\"Jo\"\"\",\"two\r\nlines\",,last\r\nx;y,z\n";
  const RecordScan scan = scanRecords(bytes, ',');
  ASSERT_EQ(3u, scan.records.size());
  using Fields = std::vector<std::string>;
  EXPECT_EQ((Fields{"h", "i", "j"}), dabtool::recordFields(bytes, scan.records[0], ','));
  EXPECT_EQ((Fields{"Doe, \"Jo\"", "two lines", "", "last"}),
            dabtool::recordFields(bytes, scan.records[1], ','));
  EXPECT_EQ((Fields{"x;y", "z"}), dabtool::recordFields(bytes, scan.records[2], ','));
  EXPECT_EQ((Fields{"x", "y,z"}), dabtool::recordFields(bytes, scan.records[2], ';'));

  const RecordScan named = scanRecords("h,i,j\n\"a\nb\",c,d\n\ne,f,g\n", ',');
  const std::pair<int, const char*> kNames[] = {{1, "the header row (line 1)"},
                                                {2, "record 1 (lines 2-3)"},
                                                {3, "record 2 (line 5)"},
                                                {4, "record 3"}};
  for (const auto& [number, text] : kNames) EXPECT_EQ(dabtool::describeRecord(named, number), text);
}

// --- Files as dabtool writes and reads them: staged under a temporary name and
// put in place by one rename, copied, and read back without a copy.

namespace fs = std::filesystem;
using dabtool::Durability;

class CoreFileIo : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir_.at(name).string(); }
  std::string read(const std::string& name) const { return testutil::readAll(dir_.at(name)); }
  size_t entries() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_.dir_), {}));
  }

  testutil::TempDir dir_;
};

TEST_F(CoreFileIo, StagedFilesReplaceTheirTargetWhenPlacedWithTheUmasksMode) {
  ::umask(027);  // read once, before the first file is made
  dir_.writeFile("book.csv", "old");
  {
    dabtool::StagedFile staged(path("book.csv"), "book.csv");
    staged.write("new ");
    staged.write("bytes");
    EXPECT_EQ(9u, staged.size());
    EXPECT_EQ("old", read("book.csv"));
  }
  EXPECT_EQ("old", read("book.csv"));
  EXPECT_EQ(1u, entries()) << "an abandoned stage leaves nothing behind";
  dabtool::StagedFile placed(path("book.csv"), "book.csv");
  placed.write("new");
  placed.place(Durability::kUnflushed);
  EXPECT_EQ("new", read("book.csv"));
  EXPECT_EQ(1u, entries());

  // Network-sized pieces, one piece larger than anything gathered, more
  // pieces, then a copied file: each must land after the one before.
  std::string expected;
  dabtool::StagedFile staged(path("out.csv"), "out.csv");
  for (const size_t size : {4096, 4096, 700 * 1024, 10, 300 * 1024, 3}) {
    std::string piece(size, static_cast<char>('a' + expected.size() % 26));
    staged.write(piece);
    expected += piece;
  }
  staged.copyFrom(path("book.csv"), "book.csv");
  staged.place(Durability::kUnflushed);
  EXPECT_EQ(expected + "new", read("out.csv"));

  dabtool::writeFileAtomically(path("new.csv"), "x", "new.csv");
  struct stat info {};
  ASSERT_EQ(0, ::stat(path("new.csv").c_str(), &info));
  EXPECT_EQ(0640u, info.st_mode & 0777u);
}

TEST_F(CoreFileIo, CopiesAreWholeAndFailuresNameTheFile) {
  std::string big(3 << 20, 'x');
  big[12345] = '\n';
  dir_.writeFile("source.csv", big);
  dabtool::copyFileAtomically(path("source.csv"), "source.csv", path("copy.csv"), "copy.csv");
  EXPECT_EQ(big, read("copy.csv"));

  fs::create_directory(path("folder"));
  const std::pair<std::string, std::string> failures[] = {
      {"missing.csv", "cannot read missing.csv: No such file or directory"},
      {"folder", "cannot read folder: it is a folder, not a file"}};
  for (const auto& [from, message] : failures) {
    try {
      dabtool::copyFileAtomically(path(from), from, path("copy.csv"), "copy.csv");
      ADD_FAILURE() << from;
    } catch (const dabtool::Failure& error) {
      EXPECT_EQ(message, error.what());
    }
  }
  EXPECT_EQ(big, read("copy.csv")) << "a failed copy leaves the target as it was";
  EXPECT_THROW(dabtool::writeFileAtomically(path("folder"), "x", "folder"), dabtool::Failure);
}

TEST_F(CoreFileIo, AMappedFileShowsTheBytesOfAnyFile) {
  dir_.writeFile("empty.csv", "");
  dir_.writeFile("some.csv", "a,b\r\nc,d\r\n");
  EXPECT_EQ("", dabtool::MappedFile(path("empty.csv"), "empty.csv").view());
  EXPECT_EQ("a,b\r\nc,d\r\n", dabtool::MappedFile(path("some.csv"), "some.csv").view());
  // Files that report no size, or cannot be mapped, are read instead.
  EXPECT_FALSE(dabtool::MappedFile("/proc/self/status", "status").view().empty());
  ASSERT_EQ(0, ::mkfifo(path("pipe").c_str(), 0600));
  std::thread writer([this] { dir_.writeFile("pipe", "from a pipe\n"); });
  EXPECT_EQ("from a pipe\n", dabtool::MappedFile(path("pipe"), "pipe").view());
  writer.join();
}

}  // namespace
