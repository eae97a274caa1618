// Field quoting, fax-number masking and the protocol mapping: exact results,
// exact log lines, untouched inputs, and inputs far beyond the usual buffer
// sizes (the sanitizer build turns any overrun into a failure).
#include <stdlib.h>

#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DABExport.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

struct FreeDeleter {
  void operator()(char* p) const { free(p); }
};
using HeapText = std::unique_ptr<char, FreeDeleter>;

std::optional<std::string> text(const HeapText& p) {
  return p ? std::optional<std::string>(p.get()) : std::nullopt;
}

std::string repeat(const std::string& piece, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += piece;
  return s;
}

class ExportTextTest : public PlatformTest {
 protected:
  // Runs makeCsvSafe on a writable copy and checks that the copy survives.
  std::optional<std::string> quote(const std::string& input) {
    std::string copy = input;
    HeapText result(exporter_.makeCsvSafe(copy.data()));
    EXPECT_EQ(input, copy);
    return text(result);
  }
  std::optional<std::string> mask(const std::string& input) {
    std::string copy = input;
    HeapText result(exporter_.MaskData(copy.data()));
    EXPECT_EQ(input, copy);
    return text(result);
  }
  DABExport exporter_;
};

const std::string kEnter = "enter function makeCsvSafe, passing string ";
const std::string kExit = "exit function makeCsvSafe, passing out string ";
const std::string kNeither = "neither double quotes, nor comma found in string";
const std::string kBoth = "both double quotes and comma found in string\n";

TEST_F(ExportTextTest, MakeCsvSafeQuotesOnlyCommaAndQuoteAndLogsEachStep) {
  struct Case {
    std::string input;
    std::optional<std::string> quoted;
    std::vector<std::string> logs;
  };
  const Case cases[] = {
      {"Doe, John", "\"Doe, John\"", {kEnter + "Doe, John", kExit + "\"Doe, John\""}},
      {"a\"b", "\"a\"\"b\"", {kEnter + "a\"b", kExit + "\"a\"\"b\""}},
      {"say \"hi\", bye",
       "\"say \"\"hi\"\", bye\"",
       {kEnter + "say \"hi\", bye", kBoth, kExit + "\"say \"\"hi\"\", bye\""}},
      {"tail,", "\"tail,\"", {kEnter + "tail,", kExit + "\"tail,\""}},
      {"\"", "\"\"\"\"", {kEnter + "\"", kExit + "\"\"\"\""}},
      {"Müller, Jürgen",
       "\"Müller, Jürgen\"",
       {kEnter + "Müller, Jürgen", kExit + "\"Müller, Jürgen\""}},
      {"Plain Name", std::nullopt, {kEnter + "Plain Name", kNeither}},
      {"", std::nullopt, {kEnter, kNeither}},
      {"a;b", std::nullopt, {kEnter + "a;b", kNeither}},
  };
  for (const Case& c : cases) {
    fake().logs.clear();
    EXPECT_EQ(c.quoted, quote(c.input)) << c.input;
    EXPECT_EQ(c.logs, fake().logTexts(kInfo)) << c.input;
    EXPECT_EQ(c.logs.size(), fake().logs.size()) << c.input;
  }
}

TEST_F(ExportTextTest, MakeCsvSafeOfNullLogsAnEmptyTextAndReturnsNull) {
  EXPECT_EQ(nullptr, exporter_.makeCsvSafe(nullptr));
  EXPECT_EQ(fake().logs,
            (std::vector<LogLine>{{kInfo, kEnter}, {kInfo, "passing in string is null"}}));
}

TEST_F(ExportTextTest, MakeCsvSafeQuotesTextsLongerThanItsUsualBuffer) {
  // 10,000 bytes that are mostly quotes: the quoted form is almost twice as
  // long as the usual 2048-byte buffer would hold.
  std::string input = repeat("\"\",\"x", 2000);
  std::string expected = "\"" + repeat("\"\"\"\",\"\"x", 2000) + "\"";
  EXPECT_EQ(expected, quote(input));
}

TEST_F(ExportTextTest, MaskDataDropsEverySecondSegment) {
  const std::pair<std::string, std::string> cases[] = {
      {"12/34/56", "12//56"},
      {"1/2/3/4/5", "1//3//5"},
      {"123", "123"},
      {"12/34", "12/"},
      {"12/34/", "12/"},
      {"12//56", "12/"},
      {"/34/56", "34/"},
      {"", ""},
      {"///", ""},
      {"+49 (0)89/1234", "+49 (0)89/"},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(expected, mask(input)) << input;
  HeapText ofNull(exporter_.MaskData(nullptr));
  EXPECT_EQ(std::optional<std::string>(""), text(ofNull));
  EXPECT_TRUE(fake().logs.empty());
}

TEST_F(ExportTextTest, MaskDataHandlesNumbersLongerThanItsUsualBuffer) {
  std::string digits = repeat("0123456789", 100);
  EXPECT_EQ(digits, mask(digits));
  // Tokens alternate 11, 22, ...: every "22" goes, each leaving a '/'.
  std::string expected = repeat("11//", 167);
  expected.pop_back();
  EXPECT_EQ(expected, mask(repeat("11/22/", 167)));
}

TEST_F(ExportTextTest, ScanProtocolMappingCoversEveryCode) {
  const std::pair<int, int> cases[] = {{0, 4}, {1, 1}, {2, 3},  {3, 5},       {4, 6},      {5, 7},
                                       {6, 2}, {7, 4}, {-1, 4}, {INT_MAX, 4}, {INT_MIN, 4}};
  for (const auto& [code, number] : cases)
    EXPECT_EQ(number, exporter_.ScanProtocolMapping(code)) << code;
  EXPECT_TRUE(fake().logs.empty());
}

}  // namespace
}  // namespace dabtest
