// Field quoting and fax-number masking: exact results, untouched inputs, and
// results that fill the smallest buffers exactly, by one byte more and by
// far more. The sanitizer build turns an overrun into a failure; the plain
// build checks the buffer sizes in fault_injection_test.
#include <stdlib.h>

#include <memory>
#include <optional>
#include <string>

#include "DABExport.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

struct FreeDeleter {
  void operator()(char* p) const { free(p); }
};
using HeapText = std::unique_ptr<char, FreeDeleter>;

std::string repeat(const std::string& piece, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += piece;
  return s;
}

class ExportTextTest : public PlatformTest {
 protected:
  // Runs `method` on a writable copy and checks that the copy survives.
  std::optional<std::string> call(char* (DABExport::*method)(char*), const std::string& input) {
    std::string copy = input;
    HeapText result((exporter_.*method)(copy.data()));
    EXPECT_EQ(input, copy);
    return result ? std::optional<std::string>(result.get()) : std::nullopt;
  }
  std::optional<std::string> quote(const std::string& input) {
    return call(&DABExport::makeCsvSafe, input);
  }
  std::optional<std::string> mask(const std::string& input) {
    return call(&DABExport::MaskData, input);
  }
  DABExport exporter_;
};

// Only a comma or a double quote asks for quotes, whatever the file's
// delimiter; inner quotes are doubled.
TEST_F(ExportTextTest, MakeCsvSafeQuotesOnlyCommaAndQuote) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"Doe, John", "\"Doe, John\""},
      {"a\"b", "\"a\"\"b\""},
      {"say \"hi\", bye", "\"say \"\"hi\"\", bye\""},
      {",", "\",\""},
      {"\"", "\"\"\"\""},
      {"Müller, Jürgen", "\"Müller, Jürgen\""},
      {"Plain Name", std::nullopt},
      {"", std::nullopt},
      {"a;b", std::nullopt},
      {"line\r\nend\t+!#", std::nullopt}};
  for (const auto& [input, quoted] : cases) EXPECT_EQ(quoted, quote(input)) << input;
  EXPECT_EQ(nullptr, exporter_.makeCsvSafe(nullptr));
  EXPECT_TRUE(fake().logTexts(kError).empty());
}

// The smallest quoting buffer holds 2048 bytes: quoted texts of 2046 to 2049
// bytes need, with their NUL, one byte less than it, all of it, and one and
// two bytes more.
TEST_F(ExportTextTest, MakeCsvSafeFillsItsBufferExactly) {
  for (size_t quotedLength : {2046u, 2047u, 2048u, 2049u}) {
    std::string plain(quotedLength - 3, 'x');
    EXPECT_EQ("\"" + plain + ",\"", quote(plain + ",")) << quotedLength;
    std::string quotes(quotedLength / 2 - 1, '"');
    std::string expected = "\"" + quotes + quotes + (quotedLength % 2 ? "x" : "") + "\"";
    EXPECT_EQ(expected, quote(quotes + (quotedLength % 2 ? "x" : ""))) << quotedLength;
  }
  // Mostly quotes: the quoted form is almost twice the input.
  EXPECT_EQ("\"" + repeat("\"\"\"\",\"\"x", 2000) + "\"", quote(repeat("\"\",\"x", 2000)));
}

// Every second '/'-separated segment is private and left out; empty segments
// do not count.
TEST_F(ExportTextTest, MaskDataDropsEverySecondSegment) {
  const std::pair<std::string, std::string> cases[] = {{"12/34/56", "12//56"},
                                                       {"1/2/3/4/5", "1//3//5"},
                                                       {"123", "123"},
                                                       {"12/34", "12/"},
                                                       {"12/34/", "12/"},
                                                       {"12//56", "12/"},
                                                       {"/34/56", "34/"},
                                                       {"//34", "34"},
                                                       {"", ""},
                                                       {"///", ""},
                                                       {"+49 (0)89/1234", "+49 (0)89/"}};
  for (const auto& [input, expected] : cases) EXPECT_EQ(expected, mask(input)) << input;
  HeapText ofNull(exporter_.MaskData(nullptr));
  ASSERT_NE(nullptr, ofNull);
  EXPECT_STREQ("", ofNull.get());
}

// The smallest masking buffer holds 255 bytes: numbers of 254, 255 and 256
// digits come back whole.
TEST_F(ExportTextTest, MaskDataFillsItsBufferExactly) {
  for (size_t length : {254u, 255u, 256u, 1000u}) {
    std::string digits(length, '7');
    EXPECT_EQ(digits, mask(digits)) << length;
  }
  std::string expected = repeat("11//", 167);
  expected.pop_back();
  EXPECT_EQ(expected, mask(repeat("11/22/", 167)));
}

}  // namespace
}  // namespace dabtest
