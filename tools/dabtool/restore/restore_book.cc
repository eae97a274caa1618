#include "restore_book.h"

#include <set>
#include <unordered_map>
#include <utility>

#include "address_book.h"
#include "book_history.h"
#include "entry_text.h"
#include "errors.h"
#include "file_io.h"
#include "library_facts.h"
#include "text.h"

namespace dabtool {

namespace {

// A contact and a group never share a key, nor groups of different kinds.
std::string keyOf(int dlType, const std::string& displayName, const std::string& email) {
  return std::to_string(dlType) + '\n' + sameContactKey(displayName, email);
}

// What the book holds already, for a merge.
struct BookIndex {
  std::unordered_map<std::string, int> entries;  // keyOf -> id
  std::set<std::pair<int, int>> memberships;     // (member, group)
};

BookIndex indexOf(const std::vector<BookEntry>& entries) {
  BookIndex index;
  for (const BookEntry& entry : entries) {
    index.entries.emplace(keyOf(entry.dlType, entry.displayName, entry.email), entry.id);
    for (int group : entry.groups) index.memberships.emplace(entry.id, group);
  }
  return index;
}

// For each row, the id of the entry it duplicates (in the book, or an
// earlier row's file id as a negative number), or 0 when it is new.
std::vector<int> duplicatesOf(const DabFile& file, const BookIndex& index) {
  std::unordered_map<std::string, int> seen = index.entries;
  std::vector<int> same;
  same.reserve(file.rows.size());
  for (const DabRow& row : file.rows) {
    const NewEntry& e = row.entry;
    auto [at, fresh] = seen.emplace(keyOf(e.dlType, e.displayName, e.email), -row.id);
    same.push_back(fresh ? 0 : at->second);
  }
  return same;
}

void noteCreated(const DabRow& row, RestoreReport& report) {
  if (row.entry.dlType == DAB_DBI_INDIVIDUAL) {
    ++report.contacts;
  } else {
    ++report.groups;
  }
  if (row.faxSegmentLost) {
    report.lostFaxSegments.push_back({row.line, row.entry.displayName, row.entry.faxNumber});
  }
  report.scanDestinations += row.hasScanDestination;
}

using IdMap = std::unordered_map<int, int>;  // id in the file -> id in the book

constexpr size_t kProgressEvery = 256;  // rows between two progress reports

IdMap createEntries(AddressBook& book, const DabFile& file, const std::vector<int>& same,
                    RestoreReport& report) {
  IdMap ids;
  ids.reserve(file.rows.size());
  for (size_t i = 0; i < file.rows.size(); ++i) {
    const DabRow& row = file.rows[i];
    if (report.request.progress && i % kProgressEvery == 0) {
      report.request.progress(static_cast<int>(i), static_cast<int>(file.rows.size()));
    }
    if (same[i] != 0) {
      // Its memberships go to the entry it duplicates.
      ids[row.id] = same[i] > 0 ? same[i] : ids.at(-same[i]);
      report.duplicates.push_back({row.line, row.entry.displayName, ""});
      continue;
    }
    ids[row.id] = book.create(row.entry);
    noteCreated(row, report);
  }
  return ids;
}

void addMemberships(AddressBook& book, const DabFile& file, const IdMap& ids, BookIndex& index,
                    RestoreReport& report) {
  for (const DabRow& row : file.rows) {
    int member = ids.at(row.id);
    for (int group : row.memberOf) {
      if (!index.memberships.emplace(member, ids.at(group)).second) continue;
      book.addMembership(member, ids.at(group));
      ++report.memberships;
    }
  }
}

void checkRoom(const RestoreReport& report, const std::vector<int>& same,
               const std::string& shownName) {
  long wanted = 0;
  for (int id : same) wanted += id == 0;
  if (report.entriesBefore + wanted > kDeviceLimit) {
    throw Failure(report.request.file + " holds " + plural(wanted, "new entry", "new entries") +
                  ", which would take " + shownName + " (" +
                  plural(report.entriesBefore, "entry", "entries") + ") past the device limit of " +
                  std::to_string(kDeviceLimit) + " entries; nothing was restored");
  }
}

void requireEmpty(const RestoreReport& report, const std::string& shownName) {
  if (report.request.merge || report.entriesBefore == 0) return;
  throw Failure(shownName + " holds " + plural(report.entriesBefore, "entry", "entries") +
                " and a restore goes into an empty book: add the file's entries beside them "
                "(--merge; in the console, \"Add beside what the book holds\"), or delete every "
                "entry first (undo takes either back); nothing was restored");
}

// Creates the file's entries in the scratch copy.
void restoreInto(const DabFile& file, RestoreReport& report, const std::string& shownName) {
  AddressBook book;
  report.entriesBefore = book.count();
  requireEmpty(report, shownName);
  BookIndex index = report.request.merge ? indexOf(book.entries()) : BookIndex();
  std::vector<int> same = report.request.merge && !report.request.keepDuplicates
                              ? duplicatesOf(file, index)
                              : std::vector<int>(file.rows.size(), 0);
  checkRoom(report, same, shownName);
  IdMap ids = createEntries(book, file, same, report);
  addMemberships(book, file, ids, index, report);
  report.entriesAfter = book.count();
  book.close();
  if (report.entriesAfter != report.entriesBefore + report.contacts + report.groups) {
    throw Failure("the address book did not keep every entry it was given; " + shownName +
                  " is unchanged");
  }
}

}  // namespace

RestoreReport restoreBytes(const Workspace& workspace, const RestoreRequest& request,
                           std::string_view bytes) {
  RestoreReport report;
  report.request = request;
  DabFile file = readDabFile(bytes, request.file);
  report.delimiter = file.delimiter;
  if (!file.problems.empty()) {
    report.problems = std::move(file.problems);
    return report;
  }
  changeBook(workspace, [&](const std::string& shownName) {
    restoreInto(file, report, shownName);
    // A merge that finds every entry in the book already changes nothing.
    if (report.contacts + report.groups + report.memberships == 0) return BookChange();
    return BookChange{"the restore of " + request.file,
                      plural(report.contacts + report.groups, "entry", "entries")};
  });
  return report;
}

RestoreReport restoreFile(const Workspace& workspace, const RestoreRequest& request) {
  std::string bytes = readFile(workspace.fromCaller(request.file), request.file);
  return restoreBytes(workspace, request, bytes);
}

std::string restoredSentence(const RestoreReport& report) {
  return "Restored " + plural(report.contacts + report.groups, "entry", "entries") + " from " +
         report.request.file + ": " + plural(report.contacts, "contact", "contacts") + ", " +
         plural(report.groups, "group", "groups") + ", " +
         plural(report.memberships, "membership", "memberships");
}

namespace {

// `head`, then the first `listed` rows as "line 5 (Ann Lee, 12//56)" and
// how many more.
std::string rowsNamed(const std::string& head, const std::vector<RestoredRow>& rows,
                      size_t listed) {
  std::string note = head + ": ";
  for (size_t i = 0; i < rows.size() && i < listed; ++i) {
    const RestoredRow& row = rows[i];
    note += (i == 0 ? "line " : ", line ") + std::to_string(row.line) + " (" + row.displayName +
            (row.detail.empty() ? "" : ", " + row.detail) + ")";
  }
  if (rows.size() <= listed) return note;
  return note + " and " + pluralGrouped(static_cast<long>(rows.size() - listed), "more", "more");
}

}  // namespace

std::vector<std::string> restoreNotes(const RestoreReport& report, size_t listed) {
  std::vector<std::string> notes;
  const std::vector<RestoredRow>& skipped = report.duplicates;
  const std::vector<RestoredRow>& lost = report.lostFaxSegments;
  const std::string masked = " lost what stood between '/' signs (the export leaves it out)";
  if (listed == kEveryRow) {
    for (const RestoredRow& row : skipped) {
      notes.push_back("line " + std::to_string(row.line) + ", " + row.displayName +
                      ": skipped, already in the book");
    }
    for (const RestoredRow& row : lost) {
      notes.push_back("line " + std::to_string(row.line) + ", " + row.displayName +
                      ": fax number " + row.detail + masked + "; enter it again");
    }
  } else {
    long skips = static_cast<long>(skipped.size()), losses = static_cast<long>(lost.size());
    if (skips > 0) {
      notes.push_back(
          rowsNamed(pluralGrouped(skips, "entry", "entries") + " skipped, already in the book",
                    skipped, listed));
    }
    if (losses > 0) {
      notes.push_back(rowsNamed(pluralGrouped(losses, "fax number", "fax numbers") + masked +
                                    (losses == 1 ? "; enter it again" : "; enter them again"),
                                lost, listed));
    }
  }
  if (report.scanDestinations > 0) {
    notes.push_back(plural(report.scanDestinations, "scan destination", "scan destinations") +
                    " came without a password (an export never holds one); enter " +
                    (report.scanDestinations == 1 ? "it" : "them") + " again");
  }
  return notes;
}

std::string refusedSentence(const RestoreReport& report, const std::string& book) {
  return report.request.file + " has " +
         plural(static_cast<long>(report.problems.size()), "row", "rows") +
         " that break the DAB format, so nothing was restored and " + book + " is unchanged";
}

}  // namespace dabtool
