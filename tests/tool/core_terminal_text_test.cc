// Text on its way to a terminal: the columns characters take, where long
// text may be cut, which characters are shown escaped, and a table whose
// columns line up whatever its cells hold.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "terminal_text.h"
#include "text_table.h"

namespace {

using dabtool::displayWidth;
using dabtool::fitWidth;
using dabtool::Tabs;
using dabtool::terminalCell;
using dabtool::terminalText;

// Characters spelled out once, so that the tables below stay readable.
const std::string kAcute = "\xCC\x81";           // U+0301, combining
const std::string kDotBelow = "\xCC\xA3";        // U+0323, combining
const std::string kLi = "\xE6\x9D\x8E";          // U+674E, wide
const std::string kNa = "\xE5\xA8\x9C";          // U+5A1C, wide
const std::string kGrin = "\xF0\x9F\x98\x80";    // U+1F600, emoji
const std::string kEmojiStyle = "\xEF\xB8\x8F";  // U+FE0F
const std::string kJoiner = "\xE2\x80\x8D";      // U+200D
const std::string kWoman = "\xF0\x9F\x91\xA9";   // U+1F469
const std::string kLaptop = "\xF0\x9F\x92\xBB";  // U+1F4BB
const std::string kCoder = kWoman + kJoiner + kLaptop;
const std::string kRightToLeft = "\xE2\x80\xAE";  // U+202E
const std::string kEllipsis = "\xE2\x80\xA6";

// Whatever `print` writes to a FILE*, as a string.
template <typename Print>
std::string printed(Print print) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), std::fclose);
  print(file.get());
  std::string text(static_cast<size_t>(std::ftell(file.get())), '\0');
  std::rewind(file.get());
  EXPECT_EQ(std::fread(text.data(), 1, text.size(), file.get()), text.size());
  return text;
}

// --- Widths and cutting ---------------------------------------------------------

TEST(CoreTerminalText, DisplayWidth) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"", 0},
      {"Anna", 4},
      {"e" + kAcute, 1},
      {"Zoe" + kAcute + kDotBelow + "k", 4},
      {"Z\xC3\xB6"
       "e",
       3},
      {kLi + kNa, 4},
      {kGrin, 2},
      {kGrin + kEmojiStyle, 2},
      {"\xE2\x80\x8B", 0},  // U+200B, zero width space
      {kCoder, 4},
      {"\xFF", 1},
      {"a\xC3", 2},
      {"\xE0\x80\x80", 3},  // overlong: three bytes, none a character
      {"\xED\xA0\x80", 3},  // a surrogate
  };
  for (const auto& [text, columns] : cases) {
    EXPECT_EQ(displayWidth(text), columns) << testing::PrintToString(text);
  }
}

TEST(CoreTerminalText, FitWidthCutsBetweenWholeCharacters) {
  const std::string accented = "x" + std::string("e") + kAcute + kDotBelow + "yz";
  const std::vector<std::tuple<std::string, int, std::string>> cases = {
      {"abc", 3, "abc"},
      {"abcd", 3, "ab" + kEllipsis},
      {"abcd", 1, kEllipsis},
      {"abcd", 0, ""},
      {"", 0, ""},
      {"\xC3\xA9\xC3\xA9\xC3\xA9", 2, "\xC3\xA9" + kEllipsis},
      {accented, 3, "xe" + kAcute + kDotBelow + kEllipsis},
      {accented, 2, "x" + kEllipsis},
      {kLi + kNa + kLi, 4, kLi + kEllipsis},
      {kLi + kNa + kLi, 2, kEllipsis},
      {kGrin + kGrin + kGrin, 5, kGrin + kGrin + kEllipsis},
      {kGrin + kEmojiStyle + "ab", 3, kGrin + kEmojiStyle + kEllipsis},
      {"a" + kCoder + "bc", 4, "a" + kEllipsis},
      {"a" + kCoder + "bc", 6, "a" + kCoder + kEllipsis},
      {"\xFF\xFE"
       "abc",
       3, "\xFF\xFE" + kEllipsis}};
  for (const auto& [text, width, expected] : cases) {
    std::string fitted = fitWidth(text, width);
    EXPECT_EQ(fitted, expected) << testing::PrintToString(text) << " in " << width;
    EXPECT_LE(displayWidth(fitted), width);
  }
}

TEST(CoreTerminalText, ControlCharactersAreSpelledOutAndTheRestPasses) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\x1b[2J", "\\x1b[2J"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"\x07\x1f\x7f", "\\x07\\x1f\\x7f"},
      {"one\ntwo\r", "one\\ntwo\\r"},
      {"\xC2\x80\xC2\x85\xC2\x9B\xC2\x9F", "\\u0080\\u0085\\u009b\\u009f"},
      {"\xD8\x9C", "\\u061c"},
      {"\xE2\x80\x8E\xE2\x80\x8F", "\\u200e\\u200f"},
      {"\xE2\x80\xAA" + kRightToLeft, "\\u202a\\u202e"},
      {"\xE2\x81\xA6\xE2\x81\xA9", "\\u2066\\u2069"},
      {"Zo\xEB", "Zo\\xeb"},
      {"\x9B"
       "2J",
       "\\x9b2J"},
      {"Ann \"Lee\", C:\\path\\x1b", "Ann \"Lee\", C:\\path\\x1b"},
      {"Zoe" + kAcute + " " + kLi + kNa, "Zoe" + kAcute + " " + kLi + kNa},
      {kCoder + kGrin + kEmojiStyle, kCoder + kGrin + kEmojiStyle},
      {"\xC2\xA0\xC2\xA1", "\xC2\xA0\xC2\xA1"},  // U+00A0, U+00A1
      {kJoiner + "\xE2\x80\xAF\xE2\x81\xAA",
       kJoiner + "\xE2\x80\xAF\xE2\x81\xAA"}};  // U+202F, U+206A
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(terminalText(text), expected) << testing::PrintToString(text);
    EXPECT_EQ(terminalText(text, Tabs::kEscape), expected) << testing::PrintToString(text);
  }
  EXPECT_EQ(terminalText("a\tb"), "a\tb") << "tabs stay in messages";
  EXPECT_EQ(terminalText("a\tb", Tabs::kEscape), "a\\tb");
  EXPECT_EQ(terminalCell("a\tb", 10), "a\\tb") << "but not in cells";
}

TEST(CoreTerminalText, CellsAreCutOutsideEscapes) {
  const std::vector<std::tuple<std::string, int, std::string>> cases = {
      {"\x1b[2J", 7, "\\x1b[2J"},
      {"\x1b[2J", 5, "\\x1b" + kEllipsis},
      {"\x1b[2J", 4, kEllipsis},
      {"ab" + kRightToLeft + "cd", 9, "ab\\u202e" + kEllipsis},
      {"ab" + kRightToLeft + "cd", 8, "ab" + kEllipsis},
      {kLi + "\n" + kNa, 4, kLi + kEllipsis}};
  for (const auto& [text, width, expected] : cases) {
    EXPECT_EQ(terminalCell(text, width), expected)
        << testing::PrintToString(text) << " in " << width;
  }
}

// --- The table ---------------------------------------------------------------------

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

  std::vector<std::string> lines;
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
  }
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

}  // namespace
