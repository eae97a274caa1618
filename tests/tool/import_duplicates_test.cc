// Duplicate records cut from an upload: against the book and within the
// file, A-Z in either case, as the library would read the values; and the
// library's record numbers of the cut upload turned back into the file's.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "duplicates.h"

namespace {

using dabtool::BookEntry;
using dabtool::DuplicateCut;

const std::string kHeader = "First,Last,Display,Company,Email,Ifax\n";

BookEntry contact(const char* name, const char* email, int dlType = 0) {
  BookEntry entry;
  entry.displayName = name;
  entry.email = email;
  entry.dlType = dlType;
  return entry;
}

TEST(ImportDuplicates, CutsWhatTheBookOrAnEarlierRecordHolds) {
  const std::vector<BookEntry> book = {contact("Anna B", "anna@x.org"), contact("Tom", ""),
                                       contact("Sales", "", 1)};
  const std::tuple<std::string, const char*, std::string> cases[] = {
      // rows after the header; each record skipped as "record:copy of" (0: the book); rows kept
      {"a,b,ANNA b,,Anna@X.ORG,\r\nz,z,Zoe,,,\r\n", "2:0", "z,z,Zoe,,,\r\n"},  // any case
      {"t,,Tom,,,\nt,,Tom,,t@x.org,\n", "2:0", "t,,Tom,,t@x.org,\n"},  // without e-mail both
      {"s,,Sales,,,\n", "", "s,,Sales,,,\n"},                          // groups are no contacts
      {"a,,\"Li,\nMo\",,,\nb,,\"Li, Mo\",,,\n\nc,,Li,,,\n", "3:2",
       "a,,\"Li,\nMo\",,,\n\nc,,Li,,,\n"},
      {"a,,,,,\na,,,,,\n", "", "a,,,,,\na,,,,,\n"}};  // blank names are the library's to refuse
  for (const auto& [rows, skipped, kept] : cases) {
    DuplicateCut cut = dabtool::cutDuplicates(kHeader + rows, ',', book);
    std::string found;
    for (const auto& record : cut.skipped) {
      found += (found.empty() ? "" : " ") + std::to_string(record.record) + ":" +
               std::to_string(record.copyOf);
    }
    EXPECT_EQ(found, skipped) << rows;
    EXPECT_EQ(cut.skipped.empty() ? kHeader + rows : cut.bytes, kHeader + kept) << rows;
  }
}

TEST(ImportDuplicates, RecordNumbersOfTheCutUploadBecomeTheFiles) {
  // Records 3 and 5 of six were cut; the library read the four others.
  DuplicateCut cut;
  cut.kept = {0, 1, 2, 4, 6};
  cut.records = 6;
  dabtool::ImportLog log;
  log.parsedRecords = 4;
  log.created = {false, false, true, true, false};
  log.refused[4] = {dabtool::Finding::kDisplayNameBlank};
  dabtool::ImportLog out = dabtool::renumbered(log, cut);
  EXPECT_EQ(out.parsedRecords, 6);
  EXPECT_TRUE(out.wasCreated(2) && out.wasCreated(4));
  EXPECT_FALSE(out.wasCreated(3) || out.wasCreated(6));
  EXPECT_EQ(out.refused.count(6), 1u);
  log.parsedRecords = 2;  // stopped by the device limit after record 2
  EXPECT_EQ(dabtool::renumbered(log, cut).parsedRecords, 3);
}

}  // namespace
