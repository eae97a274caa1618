// Record boundaries of an upload as the import reads it: where each record
// starts and ends, how many fields it has, whether its display name is
// blank, and where a malformed or unclosed field stops the import.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record_scan.h"

namespace {

using namespace std::string_literals;
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

struct ScanCase {
  std::string input;
  char delimiter;
  const char* scan;  // as `described` writes it
};

const ScanCase kCases[] = {
    {"a,b,c\nd,e,f\n", ',', "1-1:3 2-2:3"},
    {"a,b,c\r\nd,e\r\n", ',', "1-1:3 2-2:2b"},
    {"a,b,c\rd,e,f\r", ',', "1-1:3 2-2:3"},
    {"n,\"x\ny\",z\r\n\"a\r\nb\rc\",d,e\nq,r,s\n", ',', "1-2:3 3-5:3 6-6:3"},
    {"a,b,\"\n\"\n", ',', "1-2:3"},  // a quoted line end is no blank
    {"\"a\"\r\"b\",c,d\r\n", ',', "1-1:1b 2-2:3"},
    {"a,b,\"\"\"\"\n", ',', "1-1:3"},  // a doubled quote is data
    {"a,b,\"\"\n", ',', "1-1:3b"},
    {"\n\r\n\ra,b,c\n\nd,e,f\n\n", ',', "4-4:3 6-6:3"},  // empty lines are no records
    {"\"\"\nh,i,j\n", ',', "2-2:3"},
    {"\0x\nh,i,j\n"s, ',', "2-2:3"},  // a line starting with NUL is empty
    {",\n", ',', "1-1:2b"},
    {"a;b;c;d;e;f;g\n", ';', "1-1:7"},
    {"a,b\n", ',', "1-1:2b"},
    {"abc\n", ',', "1-1:1b"},
    {"a,b,\n", ',', "1-1:3b"},
    {"a,b,,d\n", ',', "1-1:4b"},
    {"a,b,\0c\n"s, ',', "1-1:3b"},
    {"a,b, \n", ',', "1-1:3"},  // a blank is data
    {"a;b,c\n", ',', "1-1:2b"},
    {"a,b;c\n", ';', "1-1:2b"},
    {"\"a;b\";c,d;e\n", ';', "1-1:3"},
    {"\"a;b\";c,d;e\n", ',', " malformed 1/1/1"},
    {"h,i,j\na,\"b\"x,c\n", ',', "1-1:3 malformed 2/2/2"},
    {"a\"b\"c\n", ',', " malformed 1/1/1"},
    {"h,i,j\n\n\"a\nb\"c\nd,e,f\n", ',', "1-1:3 malformed 2/3/4"},
    {"h,i,j\nx,\"y\nz\n", ',', "1-1:3 malformed 2/2/2"},  // never closed
    {"a,\"b\nc\",\"d\ne\n", ',', " malformed 1/1/2"},
    {"a,b,c\n\"d\"", ',', "1-1:3 trailing"},
    {"a,b,c\nd,e", ',', "1-1:3 trailing"},
    {"a,b,c", ',', " trailing"},
    {"", ',', ""}};

TEST(RecordScan, Cases) {
  for (const ScanCase& c : kCases) {
    RecordScan scan = scanRecords(c.input, c.delimiter);
    EXPECT_EQ(described(scan), c.scan) << testing::PrintToString(c.input);
    EXPECT_EQ(scan.malformedReason.empty(), !scan.malformed) << testing::PrintToString(c.input);
  }
  EXPECT_EQ(2, scanRecords("a,b,c\nd,\"e\"", ',').trailingFields);
}

TEST(RecordScan, FieldsReadBackAsTheImportReadsThem) {
  const std::string bytes = "h,i,j\r\n\"Doe, \"\"Jo\"\"\",\"two\r\nlines\",,last\r\nx;y,z\n";
  const RecordScan scan = scanRecords(bytes, ',');
  ASSERT_EQ(3u, scan.records.size());
  using Fields = std::vector<std::string>;
  EXPECT_EQ((Fields{"h", "i", "j"}), dabtool::recordFields(bytes, scan.records[0], ','));
  EXPECT_EQ((Fields{"Doe, \"Jo\"", "two lines", "", "last"}),
            dabtool::recordFields(bytes, scan.records[1], ','));
  EXPECT_EQ((Fields{"x;y", "z"}), dabtool::recordFields(bytes, scan.records[2], ','));
  EXPECT_EQ((Fields{"x", "y,z"}), dabtool::recordFields(bytes, scan.records[2], ';'));
}

TEST(RecordScan, DescribeRecord) {
  const RecordScan scan = scanRecords("h,i,j\n\"a\nb\",c,d\n\ne,f,g\n", ',');
  const std::pair<int, const char*> kNames[] = {{1, "the header row (line 1)"},
                                                {2, "record 1 (lines 2-3)"},
                                                {3, "record 2 (line 5)"},
                                                {4, "record 3"}};
  for (const auto& [number, text] : kNames) EXPECT_EQ(dabtool::describeRecord(scan, number), text);
}

}  // namespace
