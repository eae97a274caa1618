// A DAB export read back: the round trip on a book of every entry kind and
// scan address form, in both delimiters and with gaps in the ids; progress;
// the rows and files it refuses; deletion with memberships, and undo.
#include "restore_book.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "book_history.h"
#include "dabplatform.h"
#include "delete_entries.h"
#include "errors.h"
#include "export_book.h"
#include "export_headers.h"
#include "file_io.h"
#include "files_and_text.h"
#include "seed.h"
#include "temp_data_root.h"

namespace {

using namespace dabtool;

std::vector<std::string> linesOf(const std::string& text) {
  return testutil::splitLines(text, "\n");
}

// The export's ids renumbered from 1 in their order, in MemberOf too.
std::string renumbered(const std::string& exported, char delimiter) {
  std::vector<std::string> lines = linesOf(exported);
  std::map<std::string, std::string> ids;
  auto idOf = [delimiter](const std::string& line) { return line.substr(0, line.find(delimiter)); };
  for (size_t i = 1; i < lines.size(); ++i) ids[idOf(lines[i])] = std::to_string(i);
  std::string out = lines[0] + "\n";
  const std::regex number("[0-9]+"), memberOf("\"\"\"([0-9,]+)\"\"\"");
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string line = ids[idOf(lines[i])] + lines[i].substr(lines[i].find(delimiter));
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
  RestoreReport restore(const Workspace& target, const std::string& bytes,
                        std::function<void(int, int)> progress = nullptr) {
    std::string file = root_.file("restored.csv");
    writeFileAtomically(file, bytes, file);
    return restoreFile(target, RestoreRequest{file, false, false, progress});
  }

  std::filesystem::path start_ = std::filesystem::current_path();
  dabtest::TempDataRoot root_;
};

// Identical but for the fax numbers the report lists, byte for byte, and
// for the ids: gaps left by a deletion close, memberships following them.
TEST_F(RestoreBook, RoundTripInBothDelimitersWithProgress) {
  for (const char* delimiter : {"Comma", "Semicolon"}) {
    std::string original;
    {
      auto workspace = book(std::string("a-") + delimiter + ".db");
      seed(*workspace);
      deleteEntries(*workspace, {{1, 2, 10}, "", false});
      original = exported(*workspace, delimiter);
    }
    auto workspace = book(std::string("b-") + delimiter + ".db");
    RestoreReport report = restore(*workspace, original);
    ASSERT_TRUE(report.succeeded());
    std::string again = exported(*workspace, delimiter);
    EXPECT_EQ(report.groups, 5);
    EXPECT_EQ(linesOf(again)[1].substr(0, 2), delimiter[0] == 'C' ? "1," : "1;");
    expectSameButLostFax(renumbered(original, delimiter[0] == 'C' ? ',' : ';'), again, report);
  }
  std::string original;  // of 600 contacts, for the progress
  {
    auto source = book("progress-a.db");
    seedBook(*source, 600, 0, 1);
    original = exported(*source, "Comma");
  }
  std::vector<std::pair<int, int>> told;
  auto progress = [&told](int done, int total) { told.emplace_back(done, total); };
  EXPECT_TRUE(restore(*book("progress-b.db"), original, progress).succeeded());
  EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{0, 600}, {256, 600}, {512, 600}}));
}

TEST_F(RestoreBook, RefusesRowsAndFilesThatBreakTheFormat) {
  const std::string& header = dabtest::kDabHeader;
  std::string row = "1,Anna,,,,,,0,,,0,,0,,,0,1,,0,,,,,,,\n";
  // Bytes, a part of a problem or of the refusal.
  const std::pair<std::string, const char*> cases[] = {
      {header + "1,Anna,,,,\n", "line 2: has 6 fields"},
      {header + "1,Anna,,,,,,7,,,0,,0,,,0,1,,0,,,,,,,\n", "line 2: unknown kind"},
      {header + "1,Anna,,,,,\"\"\"9\"\"\",0,,,0,,0,,,0,1,,0,,,,,,,\n",
       "line 2: MemberOf names 9, which no row defines"},
      {header + row + row, "line 3: id 1 is taken by line 2"},
      {header + "1,Anna,,,,,,0,,,0,,0,,,0,9,,0,,,,,,,\n", "line 2: ScanTransferProtocol"},
      {header + row.substr(0, row.size() - 1), "line 2: the last row has no line end"},
      {"First,Last,Display,Company,Email,Ifax\n", "not a DAB export: its first line has 6 fields"},
      {"", "not a DAB export: it is empty"}};
  for (const auto& [bytes, expected] : cases) {
    std::string found;
    try {
      for (const RowProblem& p : readDabFile(bytes, "f.csv").problems) {
        found += "line " + std::to_string(p.line) + ": " + p.reason + "\n";
      }
    } catch (const UnreadableFile& refusal) {
      found = refusal.what();
    }
    EXPECT_NE(found.find(expected), std::string::npos) << expected << "\n" << found;
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
