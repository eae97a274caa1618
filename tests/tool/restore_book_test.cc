// A DAB export read back: the round trip on a book of every entry kind and
// scan address form, in both delimiters and with gaps in the ids; the rows
// and files it refuses; deletion with memberships, and undo.
#include "restore_book.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "DABExport.h"
#include "book_history.h"
#include "dabplatform.h"
#include "delete_entries.h"
#include "errors.h"
#include "export_book.h"
#include "file_io.h"
#include "seed.h"
#include "temp_data_root.h"

namespace {

using namespace dabtool;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The export's ids renumbered from 1 in their order, in MemberOf too.
std::string renumbered(const std::string& exported) {
  std::vector<std::string> lines = linesOf(exported);
  std::map<std::string, std::string> ids;
  for (size_t i = 1; i < lines.size(); ++i) {
    ids[lines[i].substr(0, lines[i].find(','))] = std::to_string(i);
  }
  std::string out = lines[0] + "\n";
  const std::regex number("[0-9]+"), memberOf("\"\"\"([0-9,]+)\"\"\"");
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string line =
        ids[lines[i].substr(0, lines[i].find(','))] + lines[i].substr(lines[i].find(','));
    std::smatch found;
    if (std::regex_search(line, found, memberOf)) {
      std::string list = found[1], mapped;
      for (std::sregex_iterator it(list.begin(), list.end(), number), end; it != end; ++it) {
        mapped += (mapped.empty() ? "" : ",") + ids[it->str()];
      }
      line.replace(static_cast<size_t>(found.position(1)), list.size(), mapped);
    }
    out += line + "\n";
  }
  return out;
}

// Byte for byte the same but for the lines whose fax number the report lists.
void expectSameButLostFax(const std::string& original, const std::string& again,
                          const RestoreReport& report) {
  std::vector<std::string> before = linesOf(original), after = linesOf(again);
  ASSERT_EQ(before.size(), after.size());
  std::map<int, std::string> lost;
  for (const RestoredRow& row : report.lostFaxSegments) lost[row.line] = row.detail;
  EXPECT_FALSE(lost.empty());
  for (size_t i = 0; i < before.size(); ++i) {
    int line = static_cast<int>(i) + 1;
    if (lost.count(line) == 0) {
      EXPECT_EQ(before[i], after[i]) << "line " << line;
    } else {
      EXPECT_NE(before[i].find(lost[line]), std::string::npos);
      EXPECT_NE(before[i], after[i]);
    }
  }
}

class RestoreBook : public ::testing::Test {
 protected:
  // A workspace works in its data root, which dies with the test.
  ~RestoreBook() override { std::filesystem::current_path(start_); }

  // A workspace on book `name` of the test's data root.
  std::unique_ptr<Workspace> book(const std::string& name) {
    return std::make_unique<Workspace>(
        GlobalOptions{root_.path(), root_.file(name), DABPLATFORM_LOG_OFF});
  }
  // Seeds contacts, fax and e-mail groups and one group of another kind.
  void seed(const Workspace& workspace) {
    seedBook(workspace, 60, 4, 7);
    AddressBook entries;
    NewEntry other;
    other.dlType = 5;
    other.displayName = "Night, \"other\" kind";
    entries.addMembership(3, entries.create(other));
    entries.close();
  }
  std::string exported(const Workspace& workspace, const std::string& delimiter) {
    return readFile(exportBook(workspace, false, delimiter).file, "export");
  }
  std::string roundTrip(const std::string& original, const std::string& target,
                        RestoreReport* report) {
    auto workspace = book(target);
    std::string file = root_.file(target + ".csv");
    writeFileAtomically(file, original, file);
    RestoreRequest request;
    request.file = file;
    *report = restoreFile(*workspace, request);
    return exported(*workspace, original.find(';') < original.find(',') ? "Semicolon" : "Comma");
  }

  std::filesystem::path start_ = std::filesystem::current_path();
  dabtest::TempDataRoot root_;
};

// Identical but for the fax numbers the report lists, byte for byte.
TEST_F(RestoreBook, RoundTripInBothDelimiters) {
  for (const char* delimiter : {"Comma", "Semicolon"}) {
    std::string original;
    {
      auto workspace = book(std::string("a-") + delimiter + ".db");
      seed(*workspace);
      original = exported(*workspace, delimiter);
    }
    RestoreReport report;
    std::string again = roundTrip(original, std::string("b-") + delimiter + ".db", &report);
    ASSERT_TRUE(report.succeeded());
    EXPECT_EQ(report.groups, 5);
    expectSameButLostFax(original, again, report);
  }
}

TEST_F(RestoreBook, ProgressCountsTheRowsGoneIn) {
  std::string original;
  {
    auto workspace = book("progress-a.db");
    seedBook(*workspace, 600, 0, 1);
    original = exported(*workspace, "Comma");
  }
  auto workspace = book("progress-b.db");
  std::string file = root_.file("progress.csv");
  writeFileAtomically(file, original, file);
  std::vector<std::pair<int, int>> told;
  RestoreRequest request{file, false, false,
                         [&told](int done, int total) { told.emplace_back(done, total); }};
  EXPECT_TRUE(restoreFile(*workspace, request).succeeded());
  EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{0, 600}, {256, 600}, {512, 600}}));
}

// Ids with gaps come back renumbered from 1, memberships following them.
TEST_F(RestoreBook, GapsAreRenumbered) {
  std::string original;
  {
    auto workspace = book("gaps.db");
    seed(*workspace);
    deleteEntries(*workspace, {{1, 2, 10}, "", false});
    original = exported(*workspace, "Comma");
  }
  RestoreReport report;
  std::string again = roundTrip(original, "gaps-b.db", &report);
  EXPECT_EQ(linesOf(again)[1].substr(0, 2), "1,");
  expectSameButLostFax(renumbered(original), again, report);
}

TEST_F(RestoreBook, RefusesRowsAndFilesThatBreakTheFormat) {
  std::string header = DAB_CSV_COLUMN_NAMES[0];
  for (int i = 1; i < DAB_CSV_COLUMN_COUNT; ++i)
    header += std::string(",") + DAB_CSV_COLUMN_NAMES[i];
  header += "\r\n";
  std::string row = "1,Anna,,,,,,0,,,0,,0,,,0,1,,0,,,,,,,\n";
  struct Case {
    std::string bytes;
    std::string expected;  // part of the problem or the refusal
  };
  const Case cases[] = {
      {header + "1,Anna,,,,\n", "line 2: has 6 fields"},
      {header + "1,Anna,,,,,,7,,,0,,0,,,0,1,,0,,,,,,,\n", "line 2: unknown kind"},
      {header + "1,Anna,,,,,\"\"\"9\"\"\",0,,,0,,0,,,0,1,,0,,,,,,,\n",
       "line 2: MemberOf names 9, which no row defines"},
      {header + row + row, "line 3: id 1 is taken by line 2"},
      {header + "1,Anna,,,,,,0,,,0,,0,,,0,9,,0,,,,,,,\n", "line 2: ScanTransferProtocol"},
      {header + row.substr(0, row.size() - 1), "line 2: the last row has no line end"},
      {"First,Last,Display,Company,Email,Ifax\n", "not a DAB export: its first line has 6 fields"},
      {"", "not a DAB export: it is empty"},
  };
  for (const Case& c : cases) {
    std::string found;
    try {
      for (const RowProblem& p : readDabFile(c.bytes, "f.csv").problems) {
        found += "line " + std::to_string(p.line) + ": " + p.reason + "\n";
      }
    } catch (const UnreadableFile& refusal) {
      found = refusal.what();
    }
    EXPECT_NE(found.find(c.expected), std::string::npos) << c.expected << "\n" << found;
  }
}

// Memberships go with the contact or group deleted, and undo puts back each
// change in turn, the first one by removing the book it made.
TEST_F(RestoreBook, DeleteWithMembershipsAndUndo) {
  auto workspace = book("undo.db");
  seed(*workspace);
  std::vector<BookEntry> all = selectEntries(*workspace, {{}, "", true});
  const BookEntry& group = all.back();
  ASSERT_NE(group.dlType, 0);
  size_t memberships = all[2].groups.size();
  for (const BookEntry& entry : all) {
    if (entry.id != 3)
      memberships += std::count(entry.groups.begin(), entry.groups.end(), group.id);
  }
  DeleteResult result = deleteEntries(*workspace, {{3, group.id}, "", false});
  EXPECT_EQ(static_cast<size_t>(result.memberships), memberships);
  for (const BookEntry& entry : selectEntries(*workspace, {{}, "", true})) {
    EXPECT_NE(entry.id, 3);
    for (int id : entry.groups) EXPECT_NE(id, group.id);
  }
  EXPECT_THROW(deleteEntries(*workspace, {{3}, "", false}), Failure);
  EXPECT_EQ(undoLastChange(*workspace).entries, static_cast<int>(all.size()));
  EXPECT_EQ(undoLastChange(*workspace).undone.change, "the seed");
  EXPECT_FALSE(std::filesystem::exists(workspace->databasePath()));
  EXPECT_THROW(undoLastChange(*workspace), Failure);
}

}  // namespace
