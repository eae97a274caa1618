// Field handling: each value, by its position, lands in its own buffer (and
// nowhere else) with the status, skip flag and error lines that it earns;
// every limit at, just below and just above it.
#include <cstring>
#include <string>
#include <vector>

#include "DABImport.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

std::string repeat(const std::string& unit, size_t times) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += unit;
  return text;
}

std::string tooLong(const std::string& field) {
  return field + "Field is too long, which is more than the MAX_NUMBER_OF_CHARS, 255";
}
std::string illegal(const std::string& field) {
  return field + " field contains illegal character";
}
std::string longAddress(const std::string& field) {
  return field + " field is longer than 256 bytes";
}

struct FieldCase {
  int position;
  std::string value;
  std::string stored;  // The position's buffer afterwards.
  int status;
  int skip;
  std::vector<std::string> errors;
};

const std::string kE254 = repeat("\xc3\xa9", 254), kE255 = repeat("\xc3\xa9", 255);
const std::string kE256 = repeat("\xc3\xa9", 256);
const std::string kA255(255, 'a'), kA256(256, 'a'), kA257(257, 'a');
const std::string kClef255 = repeat("\xf0\x9d\x84\x9e", 255);  // 1020 bytes.
const std::string kA1023(1023, 'a');

const FieldCase kCases[] = {
    // Names: 255 characters pass, whatever their bytes; longer ones are kept
    // with status 10.
    {0, kE254, kE254, 0, 0, {}},
    {0, kE255, kE255, 0, 0, {}},
    {0, kE256, kE256, 10, 0, {tooLong("firstName")}},
    {1, kA255, kA255, 0, 0, {}},
    {1, kA256, kA256, 10, 0, {tooLong("lastName")}},
    {1, kClef255, kClef255, 0, 0, {}},
    {2, kA1023, kA1023, 10, 0, {tooLong("displayName")}},
    {3, "ACME", "ACME", 0, 0, {}},
    {3, kA256, kA256, 10, 0, {tooLong("company")}},
    // Only the display name must not be blank.
    {0, "", "", 0, 0, {}},
    {2, "", "", 8, 1, {"nameField is BLANK"}},
    {2, " ", " ", 0, 0, {}},
    {3, "", "", 0, 0, {}},
    // Addresses: a blank or a byte from 0x80 up is illegal; 256 bytes fit,
    // 257 leave the buffer empty and refuse the record.
    {4, "a b@x.org", "a b@x.org", 9, 0, {illegal("email")}},
    {4, "\x80@x.org", "\x80@x.org", 9, 0, {illegal("email")}},
    {4, "\xff@x.org", "\xff@x.org", 9, 0, {illegal("email")}},
    {4, "a\t\x1f\x7f!~@x.org", "a\t\x1f\x7f!~@x.org", 0, 0, {}},
    {4, "", "", 0, 0, {}},
    {4, kA255, kA255, 0, 0, {}},
    {4, kA256, kA256, 0, 0, {}},
    {4, kA257, "", 10, 1, {longAddress("email")}},
    {5, "f x@y.org", "f x@y.org", 9, 0, {illegal("ifax")}},
    {5, kA256, kA256, 0, 0, {}},
    {5, " " + kA256, "", 10, 1, {illegal("ifax"), longAddress("ifax")}},
    // Positions from 6 on are read and ignored.
    {6, "extra", "", 0, 0, {}},
    {7, kA257, "", 0, 0, {}}};

class ImportFieldsTest : public PlatformTest {
 protected:
  static std::vector<std::string> buffers(DABImport& import) {
    std::vector<std::string> values;
    for (int position = 0; position < 6; ++position) values.push_back(import.valueBuffer(position));
    return values;
  }

  // Hands `value` to the field step at `position`, every buffer holding "old".
  static void deliver(DABImport& import, int position, const std::string& value) {
    for (int p = 0; p < 6; ++p) strcpy(import.valueBuffer(p), "old");
    memset(&import.parserParams, 0, sizeof import.parserParams);
    memcpy(import.parserParams.fieldBuffer, value.data(), value.size());
    import.parserParams.counter = static_cast<int32_t>(value.size());
    import.fieldCnt = position;
    fake().logs.clear();
    import.importContactToDB();
  }
};

TEST_F(ImportFieldsTest, EachPositionChecksAndCopiesItsValue) {
  for (const FieldCase& c : kCases) {
    SCOPED_TRACE("position " + std::to_string(c.position) + ", " + std::to_string(c.value.size()) +
                 " bytes");
    DABImport import;
    import.firstRecord = 0;
    deliver(import, c.position, c.value);
    std::vector<std::string> expected(6, "old");
    if (c.position < 6) expected[c.position] = c.stored;
    EXPECT_EQ(expected, buffers(import));
    EXPECT_EQ(c.status, import.statusCode);
    EXPECT_EQ(c.skip, import.skipRecord);
    EXPECT_EQ(c.errors, fake().logTexts(kError));
    EXPECT_EQ(c.position, import.fieldCnt);
  }
}

// The header's over-long address is reported but refuses no data record.
TEST_F(ImportFieldsTest, HeaderAddressNeverSetsTheSkipFlag) {
  DABImport import;
  deliver(import, 4, kA257);
  EXPECT_EQ(0, import.skipRecord);
  EXPECT_EQ(10, import.statusCode);
  EXPECT_STREQ("", import.email);
}

}  // namespace
}  // namespace dabtest
