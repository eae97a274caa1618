// The records read on a second core while the upload is checked, and the
// duplicate keys of a file large enough for hashes to share table slots.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "duplicates.h"
#include "early_records.h"

namespace {

using dabtool::EarlyRecords;
using dabtool::UploadRecords;

std::vector<size_t> starts(const UploadRecords& records) {
  std::vector<size_t> begins;
  for (const auto& record : records.scan.records) begins.push_back(record.begin);
  return begins;
}

TEST(EarlyRecords, TakenOnlyForTheBytesAndDelimiterTheLibraryReads) {
  const std::string semicolons = "F;L;D;C;E;I\na;b;Ann;c;e@x.org;\n";
  const std::string converted = "F,L,D,C,E,I\na,b,Ann,c,,\nz,z,Zoe,,,\n";
  // Read with ',' each line is one field: no display name, no key.
  struct Case {
    const char* name;
    std::string_view taken;
    char delimiter;
    bool keyed;
    size_t records, keys;  // header row included in the records
  } cases[] = {{"SameBytesSameDelimiter", semicolons, ';', true, 2, 1},
               {"SameBytesOtherDelimiter", semicolons, ',', true, 2, 0},
               {"ConvertedBytes", converted, ',', true, 3, 2},
               {"NoKeysWanted", semicolons, ';', false, 2, 0}};
  for (const Case& c : cases) {
    EarlyRecords early(semicolons, ';', c.keyed);
    UploadRecords records = early.take(c.taken, c.delimiter);
    UploadRecords direct = dabtool::readUploadRecords(c.taken, c.delimiter, c.keyed);
    EXPECT_EQ(records.scan.records.size(), c.records) << c.name;
    EXPECT_EQ(records.keys.size(), c.keys) << c.name;
    EXPECT_EQ(starts(records), starts(direct)) << c.name;
  }
}

// Thousands of keys in a table of a few thousand slots: neighbours by slot
// must not pass for duplicates, and every repeat must be found.
TEST(ImportDuplicatesAtScale, EveryRepeatAndNothingElse) {
  std::string upload = "First,Last,Display,Company,Email,Ifax\n";
  std::vector<int> expected;
  int record = 1;
  for (int i = 0; i < 6000; ++i) {
    upload += "a,b,Name " + std::to_string(i) + ",,n" + std::to_string(i) + "@x.org,\n";
    ++record;
    if (i % 7 == 3) {
      upload += "c,d,NAME " + std::to_string(i / 2) + ",,N" + std::to_string(i / 2) + "@X.org,\n";
      expected.push_back(++record);
    }
  }
  dabtool::DuplicateCut cut = dabtool::cutDuplicates(upload, ',', {});
  std::vector<int> skipped;
  for (const auto& s : cut.skipped) skipped.push_back(s.record);
  EXPECT_EQ(skipped, expected);
  EXPECT_EQ(cut.kept.size(), static_cast<size_t>(record - expected.size() + 1));
}

}  // namespace
