// The CSV record parser: each input is read field by field to the end of the
// file or an error, and the results, values and error lines are compared.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "DABImport.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

struct Field {
  int result;
  std::string value;  // The stored bytes, NULs included.
  bool operator==(const Field& other) const {
    return result == other.result && value == other.value;
  }
};
void PrintTo(const Field& field, std::ostream* os) {
  *os << "{" << field.result << ", \"" << field.value << "\"}";
}

struct ParserCase {
  const char* name;
  std::string input;
  int delimiter;
  std::vector<Field> fields;
  bool malformed = false;  // Ends in the malformed-field error lines.
};

const std::string kX1022(1022, 'x'), kX1023(1023, 'x'), kX1024(1024, 'x');
// Every byte below the double quote but the line ends, and the bytes around
// the quote and both delimiters.
const std::string kLowBytes = std::string("\x01\x09\x0b\x0c\x1f !", 7);
const std::string kAroundMarks = "#+-:<\x7f\x80\xff";

const ParserCase kCases[] = {
    {"LfEndsTheRecord", "a,b\n", ',', {{4, "a"}, {6, "b"}, {7, ""}}},
    {"CrLfIsOneLineEnd", "a,b\r\nc\r\n", ',', {{4, "a"}, {6, "b"}, {6, "c"}, {7, ""}}},
    {"LoneCrEndsTheRecord", "a,b\rc\r", ',', {{4, "a"}, {6, "b"}, {6, "c"}, {7, ""}}},
    {"LfCrIsTwoLineEnds", "a\n\rb\n", ',', {{6, "a"}, {6, ""}, {6, "b"}, {7, ""}}},
    {"EmptyLines", "\n\r\n\r", ',', {{6, ""}, {6, ""}, {6, ""}, {7, ""}}},
    {"EmptyFile", "", ',', {{7, ""}}},
    {"LastLineWithoutLineEndIsDropped", "a,bc", ',', {{4, "a"}, {7, ""}}},
    {"LineEndsInQuotesBecomeBlanks",
     "\"x\ny\r\nz\rw\",v\n",
     ',',
     {{4, "x y z w"}, {6, "v"}, {7, ""}}},
    {"DoubledQuotes", "\"a\"\"b\",\"\"\"\"\n", ',', {{4, "a\"b"}, {6, "\""}, {7, ""}}},
    {"DelimiterIsDataInQuotes", "\"a,b;c\";d,e\n", ';', {{4, "a,b;c"}, {6, "d,e"}, {7, ""}}},
    {"CommaIsDataInQuotesOfACommaFile", "\"a,b\",c\n", ',', {{4, "a,b"}, {6, "c"}, {7, ""}}},
    {"SemicolonIsDataWithComma", "a;b,c\n", ',', {{4, "a;b"}, {6, "c"}, {7, ""}}},
    {"LowBytesAreData",
     kLowBytes + "," + kLowBytes + "\n",
     ',',
     {{4, kLowBytes}, {6, kLowBytes}, {7, ""}}},
    {"LowBytesAreDataInQuotes", "\"" + kLowBytes + "\"\n", ',', {{6, kLowBytes}, {7, ""}}},
    {"BytesAroundTheMarksAreData",
     kAroundMarks + ";" + kAroundMarks + ",\n",
     ';',
     {{4, kAroundMarks}, {6, kAroundMarks + ","}, {7, ""}}},
    {"NulIsData", std::string("a\0b,\n", 5), ',', {{4, std::string("a\0b", 3)}, {6, ""}, {7, ""}}},
    {"QuoteInMidField", "a\"b\"\n", ',', {{6, "ab"}, {7, ""}}},
    {"TextAfterQuoteInMidField", "a\"b\"c\n", ',', {{8, "ab"}}, true},
    {"TextAfterClosingQuote", "\"abc\"x,", ',', {{8, "abc"}}, true},
    {"LineEndsAfterClosingQuote",
     "\"a\"\r\n\"b\"\r\"c\"\n",
     ',',
     {{6, "a"}, {6, "b"}, {6, "c"}, {7, ""}}},
    {"EndOfFileInQuotes", "\"abc", ',', {{8, "abc"}}},
    {"EndOfFileAfterClosingQuote", "a,\"bc\"", ',', {{4, "a"}, {7, ""}}},
    {"FieldsAtTheBufferLimit",
     kX1022 + "," + kX1023 + "," + kX1024 + "\n",
     ',',
     {{4, kX1022}, {4, kX1023}, {6, kX1023}, {7, ""}}},
    {"QuotedFieldsAtTheBufferLimit",
     "\"" + kX1023 + "\",\"" + kX1024 + "\"\"\"\n",
     ',',
     {{4, kX1023}, {6, kX1023}, {7, ""}}},
    {"LongFieldIsCutAndTheNextStartsClean",
     std::string(1500, 'x') + ",y\n",
     ',',
     {{4, kX1023}, {6, "y"}, {7, ""}}}};

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

File openBytes(const std::string& bytes) {
  File file(tmpfile(), fclose);
  if (file) {
    fwrite(bytes.data(), 1, bytes.size(), file.get());
    rewind(file.get());
  }
  return file;
}

class ImportParserTest : public PlatformTest {
 protected:
  // Fields up to the first 7 or 8. Every byte after the value must be zero.
  std::vector<Field> parseAll(const std::string& input, int delimiter) {
    File file = openBytes(input);
    EXPECT_NE(nullptr, file.get());
    std::vector<Field> fields;
    while (fields.size() < 10) {
      int result = import_.import_address_book_parser(file.get(), delimiter, &params_);
      char* end = params_.fieldBuffer + sizeof params_.fieldBuffer;
      EXPECT_TRUE(std::all_of(params_.fieldBuffer + params_.counter, end,
                              [](char c) { return c == '\0'; }));
      fields.push_back({result, std::string(params_.fieldBuffer, params_.counter)});
      if (result == 7 || result == 8) break;
    }
    return fields;
  }

  DABImport import_;
  AbaPublicAddressParameters params_{};
};

TEST_F(ImportParserTest, ResultsValuesAndErrorLines) {
  const std::vector<std::string> kMalformed = {"We have a malformed string",
                                               "Reached Default Case"};
  for (const ParserCase& c : kCases) {
    SCOPED_TRACE(c.name);
    fake().logs.clear();
    EXPECT_EQ(c.fields, parseAll(c.input, c.delimiter));
    EXPECT_EQ(c.malformed ? kMalformed : std::vector<std::string>{}, fake().logTexts(kError));
  }
}

TEST_F(ImportParserTest, NullFileIsAnError) {
  memset(&params_, 'j', sizeof params_);
  EXPECT_EQ(ABA_PARSE_ERROR_STATE, import_.import_address_book_parser(nullptr, ',', &params_));
  EXPECT_EQ(0, params_.counter);
  EXPECT_EQ(std::string(1024, '\0'), std::string(params_.fieldBuffer, 1024));
  EXPECT_EQ(fake().logs, (std::vector<LogLine>{{kError, "Address book is not Opened"}}));
}

}  // namespace
}  // namespace dabtest
