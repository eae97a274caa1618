// The tool's shared text helpers: the UTF-8 validator at its edges, lines as
// the import counts them, whole numbers as people type them, and sizes.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <string>

#include "text.h"

namespace {

using namespace std::string_literals;

// Each character at the edges of its length and of the surrogates.
const std::pair<std::string, uint32_t> kValid[] = {{"A", 0x41},
                                                   {"\x7F", 0x7F},
                                                   {"\xC2\x80", 0x80},
                                                   {"\xDF\xBF", 0x7FF},
                                                   {"\xE0\xA0\x80", 0x800},
                                                   {"\xED\x9F\xBF", 0xD7FF},
                                                   {"\xEE\x80\x80", 0xE000},
                                                   {"\xEF\xBF\xBF", 0xFFFF},
                                                   {"\xF0\x90\x80\x80", 0x10000},
                                                   {"\xF4\x8F\xBF\xBF", 0x10FFFF}};

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
  const std::pair<std::string, size_t> kInvalid[] = {
      {"", kNone},
      {"plain text", kNone},
      {"nul\0inside"s, kNone},
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

TEST(Text, ParseWholeNumber) {
  using dabtool::parseWholeNumber;
  const std::pair<std::string, long> kInZeroToTen[] = {
      {"0", 0}, {"10", 10}, {"007", 7}, {"+7", 7}, {"-0", 0}};
  for (const auto& [text, value] : kInZeroToTen) EXPECT_EQ(parseWholeNumber(text, 0, 10), value);
  EXPECT_EQ(parseWholeNumber("-3", -5, 5), -3);
  EXPECT_EQ(parseWholeNumber("42", 0, 100), 42);
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
