// The tool's shared text helpers: the UTF-8 validator at its edges, lines as
// the import counts them, whole numbers as people type them, and sizes.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <string>

#include "text.h"

namespace {

using dabtool::firstInvalidUtf8;
using dabtool::utf8CharAt;

const size_t kNone = std::string::npos;

struct CharCase {
  std::string text;
  size_t at;
  size_t length;  // 0: no valid character there
  uint32_t code;
};

const CharCase kChars[] = {{"A", 0, 1, 0x41},
                           {"\x7F", 0, 1, 0x7F},
                           {"\xC2\x80", 0, 2, 0x80},
                           {"\xDF\xBF", 0, 2, 0x7FF},
                           {"\xE0\xA0\x80", 0, 3, 0x800},
                           {"\xED\x9F\xBF", 0, 3, 0xD7FF},
                           {"\xEE\x80\x80", 0, 3, 0xE000},
                           {"\xEF\xBF\xBF", 0, 3, 0xFFFF},
                           {"\xF0\x90\x80\x80", 0, 4, 0x10000},
                           {"\xF4\x8F\xBF\xBF", 0, 4, 0x10FFFF},
                           {"a\xC3\xA9", 1, 2, 0xE9},
                           {"\xC3\xA9z", 0, 2, 0xE9},
                           {"\x80", 0, 0, 0},              // continuation without a lead
                           {"\xC3\xA9", 1, 0, 0},          // the middle of a character
                           {"\xC0\x80", 0, 0, 0},          // overlong NUL
                           {"\xC1\xBF", 0, 0, 0},          // overlong U+7F
                           {"\xE0\x9F\xBF", 0, 0, 0},      // overlong U+7FF
                           {"\xF0\x8F\xBF\xBF", 0, 0, 0},  // overlong U+FFFF
                           {"\xED\xA0\x80", 0, 0, 0},      // U+D800
                           {"\xED\xBF\xBF", 0, 0, 0},      // U+DFFF
                           {"\xF4\x90\x80\x80", 0, 0, 0},  // U+110000
                           {"\xF5\x80\x80\x80", 0, 0, 0},
                           {"\xFF", 0, 0, 0},
                           {"\xC3", 0, 0, 0},  // cut by the end
                           {"\xE2\x82", 0, 0, 0},
                           {"\xF0\x9F\x98", 0, 0, 0},
                           {"\xC3(", 0, 0, 0},  // a lead before a non-continuation
                           {"\xE2(\xA1", 0, 0, 0},
                           {"\xF0\x9F\x98(", 0, 0, 0}};

TEST(Text, Utf8CharAt) {
  for (const CharCase& c : kChars) {
    SCOPED_TRACE(testing::PrintToString(c.text) + " at " + std::to_string(c.at));
    uint32_t code = 0;
    EXPECT_EQ(utf8CharAt(c.text, c.at, &code), c.length);
    EXPECT_EQ(utf8CharAt(c.text, c.at), c.length);
    if (c.length == 0) continue;
    EXPECT_EQ(code, c.code);
    std::string encoded;
    dabtool::appendUtf8(encoded, code);
    EXPECT_EQ(encoded, c.text.substr(c.at, c.length));
  }
}

const std::pair<std::string, size_t> kInvalid[] = {
    {"", kNone},
    {"plain text", kNone},
    {std::string("nul\0inside", 10), kNone},
    {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z", kNone},
    {"ab\x80", 2},
    {"\xC3\xA9\xC3", 2},
    {"x\xED\xA0\x80", 1},
    {"\xE2\x82\xAC\xF4\x90\x80\x80", 3},
    {"abc\xC0\xAF", 3},
    {"\xE0\x9F\xBFok", 0}};

TEST(Text, FirstInvalidUtf8) {
  for (const auto& [text, offset] : kInvalid) {
    EXPECT_EQ(firstInvalidUtf8(text), offset) << testing::PrintToString(text);
  }
}

const std::pair<size_t, int> kLines[] = {{0, 1}, {1, 1}, {2, 2}, {3, 2}, {4, 2},
                                         {5, 3}, {6, 3}, {7, 4}, {50, 4}};

TEST(Text, LineAt) {
  const std::string text = "a\nb\r\nc\rd";  // a: 0, b: 2, c: 5, d: 7
  for (const auto& [offset, line] : kLines) {
    EXPECT_EQ(dabtool::lineAt(text, offset), line) << "offset " << offset;
  }
}

struct NumberCase {
  std::string text;
  long min, max;
  std::optional<long> value;
};

const std::string kLongMax = std::to_string(LONG_MAX);
const std::string kLongMin = std::to_string(LONG_MIN);

const NumberCase kNumbers[] = {{"0", 0, 10, 0},
                               {"42", 0, 100, 42},
                               {"007", 0, 10, 7},
                               {"+7", 0, 10, 7},
                               {"-3", -5, 5, -3},
                               {"-0", 0, 10, 0},
                               {"10", 0, 10, 10},
                               {"11", 0, 10, std::nullopt},
                               {"-1", 0, 10, std::nullopt},
                               {"", 0, 10, std::nullopt},
                               {" 5", 0, 10, std::nullopt},
                               {"\t5", 0, 10, std::nullopt},
                               {"5 ", 0, 10, std::nullopt},
                               {"5\n", 0, 10, std::nullopt},
                               {std::string("5\0", 2), 0, 10, std::nullopt},
                               {"+", 0, 10, std::nullopt},
                               {"-", 0, 10, std::nullopt},
                               {"--5", -10, 10, std::nullopt},
                               {"+-5", -10, 10, std::nullopt},
                               {"1.5", 0, 10, std::nullopt},
                               {"1e3", 0, 10000, std::nullopt},
                               {"0x10", 0, 100, std::nullopt},
                               {"5a", 0, 10, std::nullopt},
                               {"five", 0, 10, std::nullopt},
                               {kLongMax, LONG_MIN, LONG_MAX, LONG_MAX},
                               {kLongMin, LONG_MIN, LONG_MAX, LONG_MIN},
                               {kLongMax + "0", LONG_MIN, LONG_MAX, std::nullopt},
                               {kLongMin + "0", LONG_MIN, LONG_MAX, std::nullopt},
                               {"99999999999999999999999", LONG_MIN, LONG_MAX, std::nullopt}};

TEST(Text, ParseWholeNumber) {
  for (const NumberCase& c : kNumbers) {
    EXPECT_EQ(dabtool::parseWholeNumber(c.text, c.min, c.max), c.value)
        << testing::PrintToString(c.text) << " in [" << c.min << ", " << c.max << "]";
  }
}

const std::pair<size_t, const char*> kSizes[] = {{0, "0 bytes"},
                                                 {1, "1 byte"},
                                                 {100, "100 bytes"},
                                                 {1023, "1023 bytes"},
                                                 {1024, "1 KiB"},
                                                 {1536, "1536 bytes"},
                                                 {512 * 1024, "512 KiB"},
                                                 {1024 * 1024 - 1024, "1023 KiB"},
                                                 {1024 * 1024, "1 MiB"},
                                                 {1024 * 1024 + 1024, "1025 KiB"},
                                                 {16 * 1024 * 1024, "16 MiB"},
                                                 {size_t{3} << 30, "3072 MiB"}};

TEST(Text, SizeText) {
  for (const auto& [bytes, text] : kSizes) EXPECT_EQ(dabtool::sizeText(bytes), text);
}

TEST(Text, CountsReadWithGroupedDigits) {
  const std::pair<long, const char*> kCounts[] = {
      {0, "0 rows"},
      {1, "1 row"},
      {999, "999 rows"},
      {1000, "1,000 rows"},
      {65000, "65,000 rows"},
      {100000, "100,000 rows"},
      {1234567, "1,234,567 rows"},
      {-1500, "-1,500 rows"},
  };
  for (const auto& [n, text] : kCounts) EXPECT_EQ(dabtool::pluralGrouped(n, "row", "rows"), text);
}

}  // namespace
