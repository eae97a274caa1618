// The tool's shared text helpers: the UTF-8 validator at its edges, lines as
// the import counts them, whole numbers as people type them, and sizes.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <string>

#include "text.h"

namespace {

struct CharCase {
  std::string text;
  size_t at;
  size_t length;  // 0: no valid character there
  uint32_t code;
};

// Valid edges first, then stray continuations, overlong forms, surrogates,
// values past U+10FFFF, characters cut by the end or by a non-continuation.
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
                           {"\x80", 0, 0, 0},
                           {"\xC3\xA9", 1, 0, 0},
                           {"\xC0\x80", 0, 0, 0},
                           {"\xC1\xBF", 0, 0, 0},
                           {"\xE0\x9F\xBF", 0, 0, 0},
                           {"\xF0\x8F\xBF\xBF", 0, 0, 0},
                           {"\xED\xA0\x80", 0, 0, 0},
                           {"\xED\xBF\xBF", 0, 0, 0},
                           {"\xF4\x90\x80\x80", 0, 0, 0},
                           {"\xF5\x80\x80\x80", 0, 0, 0},
                           {"\xFF", 0, 0, 0},
                           {"\xC3", 0, 0, 0},
                           {"\xE2\x82", 0, 0, 0},
                           {"\xF0\x9F\x98", 0, 0, 0},
                           {"\xC3(", 0, 0, 0},
                           {"\xE2(\xA1", 0, 0, 0},
                           {"\xF0\x9F\x98(", 0, 0, 0}};

TEST(Text, Utf8CharAt) {
  for (const CharCase& c : kChars) {
    SCOPED_TRACE(testing::PrintToString(c.text) + " at " + std::to_string(c.at));
    uint32_t code = 0;
    EXPECT_EQ(dabtool::utf8CharAt(c.text, c.at, &code), c.length);
    EXPECT_EQ(dabtool::utf8CharAt(c.text, c.at), c.length);
    if (c.length == 0) continue;
    EXPECT_EQ(code, c.code);
    std::string encoded;
    dabtool::appendUtf8(encoded, code);
    EXPECT_EQ(encoded, c.text.substr(c.at, c.length));
  }
  const size_t kNone = std::string::npos;
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
  for (const auto& [text, offset] : kInvalid) {
    EXPECT_EQ(dabtool::firstInvalidUtf8(text), offset) << testing::PrintToString(text);
  }
}

TEST(Text, LineAt) {
  const std::string text = "a\nb\r\nc\rd";  // a: 0, b: 2, c: 5, d: 7
  const std::pair<size_t, int> kLines[] = {{0, 1}, {1, 1}, {2, 2}, {3, 2}, {4, 2},
                                           {5, 3}, {6, 3}, {7, 4}, {50, 4}};
  for (const auto& [offset, line] : kLines) {
    EXPECT_EQ(dabtool::lineAt(text, offset), line) << "offset " << offset;
  }
}

struct NumberCase {
  std::string text;
  long min, max;
  std::optional<long> value;
};

const std::string kLongMax = std::to_string(LONG_MAX), kLongMin = std::to_string(LONG_MIN);
const std::nullopt_t kNo = std::nullopt;

const NumberCase kNumbers[] = {{"0", 0, 10, 0},
                               {"42", 0, 100, 42},
                               {"007", 0, 10, 7},
                               {"+7", 0, 10, 7},
                               {"-3", -5, 5, -3},
                               {"-0", 0, 10, 0},
                               {"10", 0, 10, 10},
                               {"11", 0, 10, kNo},
                               {"-1", 0, 10, kNo},
                               {"", 0, 10, kNo},
                               {" 5", 0, 10, kNo},
                               {"\t5", 0, 10, kNo},
                               {"5 ", 0, 10, kNo},
                               {"5\n", 0, 10, kNo},
                               {std::string("5\0", 2), 0, 10, kNo},
                               {"+", 0, 10, kNo},
                               {"-", 0, 10, kNo},
                               {"--5", -10, 10, kNo},
                               {"+-5", -10, 10, kNo},
                               {"1.5", 0, 10, kNo},
                               {"1e3", 0, 10000, kNo},
                               {"0x10", 0, 100, kNo},
                               {"5a", 0, 10, kNo},
                               {"five", 0, 10, kNo},
                               {kLongMax, LONG_MIN, LONG_MAX, LONG_MAX},
                               {kLongMin, LONG_MIN, LONG_MAX, LONG_MIN},
                               {kLongMax + "0", LONG_MIN, LONG_MAX, kNo},
                               {kLongMin + "0", LONG_MIN, LONG_MAX, kNo},
                               {"99999999999999999999999", LONG_MIN, LONG_MAX, kNo}};

TEST(Text, ParseWholeNumber) {
  for (const NumberCase& c : kNumbers) {
    EXPECT_EQ(dabtool::parseWholeNumber(c.text, c.min, c.max), c.value)
        << testing::PrintToString(c.text) << " in [" << c.min << ", " << c.max << "]";
  }
}

TEST(Text, SizesAndCountsAsPeopleReadThem) {
  const std::pair<size_t, const char*> kSizes[] = {
      {0, "0 bytes"},         {1, "1 byte"},
      {100, "100 bytes"},     {1023, "1023 bytes"},
      {1024, "1 KiB"},        {1536, "1536 bytes"},
      {512 << 10, "512 KiB"}, {(1 << 20) - 1024, "1023 KiB"},
      {1 << 20, "1 MiB"},     {(1 << 20) + 1024, "1025 KiB"},
      {16 << 20, "16 MiB"},   {size_t{3} << 30, "3072 MiB"}};
  for (const auto& [bytes, text] : kSizes) EXPECT_EQ(dabtool::sizeText(bytes), text);
  const std::pair<long, const char*> kCounts[] = {{0, "0 rows"},
                                                  {1, "1 row"},
                                                  {999, "999 rows"},
                                                  {1000, "1,000 rows"},
                                                  {65000, "65,000 rows"},
                                                  {100000, "100,000 rows"},
                                                  {1234567, "1,234,567 rows"},
                                                  {-1500, "-1,500 rows"}};
  for (const auto& [n, text] : kCounts) EXPECT_EQ(dabtool::pluralGrouped(n, "row", "rows"), text);
}

}  // namespace
