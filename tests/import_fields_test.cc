// Field handling: each value, by its position, lands in its own buffer (and
// nowhere else) with the status, skip flag and log lines that it earns.
#include <cstring>
#include <string>
#include <vector>

#include "DABImport.h"
#include "scripted_platform.h"

namespace dabtest {
namespace {

std::string repeat(const std::string& unit, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += unit;
  return text;
}

LogLine match(const std::string& field, const std::string& value) {
  return {kInfo, "Found a matching field for " + field + ": XX" + value + "XX "};
}
LogLine tooLong(const std::string& field) {
  return {kError, field + "Field is too long, which is more than the MAX_NUMBER_OF_CHARS, 255"};
}
LogLine illegal(const std::string& field) {
  return {kError, field + " field contains illegal character"};
}
LogLine longAddress(const std::string& field) {
  return {kError, field + " field is longer than 256 bytes"};
}

struct FieldCase {
  int position;
  std::string value;
  std::string stored;  // The position's buffer afterwards.
  int status;
  int skip;
  std::vector<LogLine> logs;  // After "value of fieldCnt %d ".
};

const std::string kE255 = repeat("\xc3\xa9", 255);  // 255 two-byte characters.
const std::string kE256 = repeat("\xc3\xa9", 256);
const std::string kE300 = repeat("\xc3\xa9", 300);
const std::string kClef255 = repeat("\xf0\x9d\x84\x9e", 255);  // 1020 bytes.
const std::string kA256(256, 'a');
const std::string kM257(257, 'm');
const std::string kBlank257 = " " + std::string(256, 'm');

const FieldCase kCases[] = {
    {0, kE255, kE255, 0, 0, {match("firstName", kE255)}},
    {0, kE256, kE256, 10, 0, {match("firstName", kE256), tooLong("firstName")}},
    {1, kE300, kE300, 10, 0, {match("lastName", kE300), tooLong("lastName")}},
    {1, kClef255, kClef255, 0, 0, {match("lastName", kClef255)}},
    {2, "", "", 8, 1, {{kError, "nameField is BLANK"}, match("displayName", "")}},
    {2, " ", " ", 0, 0, {match("displayName", " ")}},
    {2, kA256, kA256, 10, 0, {match("displayName", kA256), tooLong("displayName")}},
    {3, "ACME", "ACME", 0, 0, {}},
    {3, kA256, kA256, 10, 0, {tooLong("company")}},
    {4, "a b@x.org", "a b@x.org", 9, 0, {illegal("email"), match("email", "a b@x.org")}},
    {4,
     "\xc3\xa9@x.org",
     "\xc3\xa9@x.org",
     9,
     0,
     {illegal("email"), match("email", "\xc3\xa9@x.org")}},
    {4, "a\tb@x.org", "a\tb@x.org", 0, 0, {match("email", "a\tb@x.org")}},
    {4, "", "", 0, 0, {match("email", "")}},
    {4,
     std::string(256, 'm'),
     std::string(256, 'm'),
     0,
     0,
     {match("email", std::string(256, 'm'))}},
    {4, kM257, "", 10, 1, {match("email", kM257), longAddress("email")}},
    {5, "f x@y.org", "f x@y.org", 9, 0, {illegal("ifax"), match("ifax", "f x@y.org")}},
    {5, kBlank257, "", 10, 1, {illegal("ifax"), match("ifax", kBlank257), longAddress("ifax")}},
    {6, "extra", "", 0, 0, {}},
    {7, kM257, "", 0, 0, {}},
};

class ImportFieldsTest : public PlatformTest {
 protected:
  // Every value buffer of `import`, by position.
  static std::vector<std::string> buffers(DABImport& import) {
    std::vector<std::string> values;
    for (int position = 0; position < 6; ++position) values.push_back(import.valueBuffer(position));
    return values;
  }

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
    std::vector<LogLine> logs{{kInfo, "value of fieldCnt " + std::to_string(c.position) + " "}};
    logs.insert(logs.end(), c.logs.begin(), c.logs.end());
    EXPECT_EQ(logs, fake().logs);
    EXPECT_EQ(c.position, import.fieldCnt);
  }
}

}  // namespace
}  // namespace dabtest
