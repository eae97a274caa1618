// Record boundaries of an upload as the import reads it: where each record
// starts and ends, how many fields it has, whether its display name is
// blank, and where a malformed or unclosed field stops the import.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "record_scan.h"

namespace {

using dabtool::RecordScan;
using dabtool::ScannedRecord;
using dabtool::scanRecords;

struct Record {
  int startLine, endLine, fields;
  bool blank;
  bool operator==(const Record& o) const {
    return startLine == o.startLine && endLine == o.endLine && fields == o.fields &&
           blank == o.blank;
  }
};
void PrintTo(const Record& r, std::ostream* os) {
  *os << "{" << r.startLine << "-" << r.endLine << ", " << r.fields << (r.blank ? ", blank}" : "}");
}

struct Stop {
  int record, recordLine, line;  // all 0: the file is not malformed
};

struct ScanCase {
  const char* name;
  std::string input;
  char delimiter;
  std::vector<Record> records;
  Stop stop;
  bool trailing;
};

const ScanCase kCases[] = {
    {"LfEndsRecords", "a,b,c\nd,e,f\n", ',', {{1, 1, 3, false}, {2, 2, 3, false}}, {}, false},
    {"CrLfEndsRecords", "a,b,c\r\nd,e\r\n", ',', {{1, 1, 3, false}, {2, 2, 2, true}}, {}, false},
    {"LoneCrEndsRecords", "a,b,c\rd,e,f\r", ',', {{1, 1, 3, false}, {2, 2, 3, false}}, {}, false},
    {"QuotedLineEndsSpanLines",
     "n,\"x\ny\",z\r\n\"a\r\nb\rc\",d,e\nq,r,s\n",
     ',',
     {{1, 2, 3, false}, {3, 5, 3, false}, {6, 6, 3, false}},
     {},
     false},
    {"QuotedLineEndIsNotBlank", "a,b,\"\n\"\n", ',', {{1, 2, 3, false}}, {}, false},
    {"LineEndAfterClosingQuote",
     "\"a\"\r\"b\",c,d\r\n",
     ',',
     {{1, 1, 1, true}, {2, 2, 3, false}},
     {},
     false},
    {"DoubledQuoteIsData", "a,b,\"\"\"\"\n", ',', {{1, 1, 3, false}}, {}, false},
    {"EmptyQuotesAreBlank", "a,b,\"\"\n", ',', {{1, 1, 3, true}}, {}, false},
    {"EmptyLinesAreSkipped",
     "\n\r\n\ra,b,c\n\nd,e,f\n\n",
     ',',
     {{4, 4, 3, false}, {6, 6, 3, false}},
     {},
     false},
    {"EmptyQuotedLineIsSkipped", "\"\"\nh,i,j\n", ',', {{2, 2, 3, false}}, {}, false},
    {"LineStartingWithNulIsEmpty",
     std::string("\0x\nh,i,j\n", 9),
     ',',
     {{2, 2, 3, false}},
     {},
     false},
    {"LoneDelimiterIsARecord", ",\n", ',', {{1, 1, 2, true}}, {}, false},
    {"FieldsAreCounted", "a;b;c;d;e;f;g\n", ';', {{1, 1, 7, false}}, {}, false},
    {"TwoFieldsBlank", "a,b\n", ',', {{1, 1, 2, true}}, {}, false},
    {"OneFieldBlank", "abc\n", ',', {{1, 1, 1, true}}, {}, false},
    {"EmptyThirdFieldLast", "a,b,\n", ',', {{1, 1, 3, true}}, {}, false},
    {"EmptyThirdFieldInside", "a,b,,d\n", ',', {{1, 1, 4, true}}, {}, false},
    {"NulStartsThirdField", std::string("a,b,\0c\n", 7), ',', {{1, 1, 3, true}}, {}, false},
    {"BlankIsData", "a,b, \n", ',', {{1, 1, 3, false}}, {}, false},
    {"SemicolonIsDataWithComma", "a;b,c\n", ',', {{1, 1, 2, true}}, {}, false},
    {"CommaIsDataWithSemicolon", "a,b;c\n", ';', {{1, 1, 2, true}}, {}, false},
    {"QuotedSemicolon", "\"a;b\";c,d;e\n", ';', {{1, 1, 3, false}}, {}, false},
    {"SemicolonAfterQuoteWithComma", "\"a;b\";c,d;e\n", ',', {}, {1, 1, 1}, false},
    {"TextAfterClosingQuote", "h,i,j\na,\"b\"x,c\n", ',', {{1, 1, 3, false}}, {2, 2, 2}, false},
    {"TextAfterQuoteMidField", "a\"b\"c\n", ',', {}, {1, 1, 1}, false},
    {"MalformedAfterLines",
     "h,i,j\n\n\"a\nb\"c\nd,e,f\n",
     ',',
     {{1, 1, 3, false}},
     {2, 3, 4},
     false},
    {"UnclosedQuote", "h,i,j\nx,\"y\nz\n", ',', {{1, 1, 3, false}}, {2, 2, 2}, false},
    {"UnclosedQuoteOnLaterLine", "a,\"b\nc\",\"d\ne\n", ',', {}, {1, 1, 2}, false},
    {"ClosedQuoteAtEnd", "a,b,c\n\"d\"", ',', {{1, 1, 3, false}}, {}, true},
    {"NoFinalLineEnd", "a,b,c\nd,e", ',', {{1, 1, 3, false}}, {}, true},
    {"OnlyALineWithoutEnd", "a,b,c", ',', {}, {}, true},
    {"EmptyFile", "", ',', {}, {}, false},
};

TEST(RecordScan, Cases) {
  for (const ScanCase& c : kCases) {
    SCOPED_TRACE(c.name);
    RecordScan scan = scanRecords(c.input, c.delimiter);
    std::vector<Record> records;
    for (const ScannedRecord& r : scan.records) {
      records.push_back({r.startLine, r.endLine, r.fields, r.blankDisplayName});
    }
    EXPECT_EQ(records, c.records);
    EXPECT_EQ(scan.malformed, c.stop.record != 0);
    EXPECT_EQ(scan.malformedRecord, c.stop.record);
    EXPECT_EQ(scan.malformedRecordLine, c.stop.recordLine);
    EXPECT_EQ(scan.malformedLine, c.stop.line);
    EXPECT_EQ(scan.malformedReason.empty(), !scan.malformed);
    EXPECT_EQ(scan.trailingData, c.trailing);
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
  const std::pair<int, const char*> kNames[] = {
      {1, "the header row (line 1)"},
      {2, "record 1 (lines 2-3)"},
      {3, "record 2 (line 5)"},
      {4, "record 3"},
  };
  for (const auto& [number, text] : kNames) EXPECT_EQ(dabtool::describeRecord(scan, number), text);
}

}  // namespace
