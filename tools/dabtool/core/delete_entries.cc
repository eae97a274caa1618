#include "delete_entries.h"

#include <filesystem>
#include <set>

#include "book_history.h"
#include "database_copy.h"
#include "entry_text.h"
#include "errors.h"
#include "text.h"

namespace dabtool {

namespace {

std::vector<BookEntry> chosen(std::vector<BookEntry> entries, const DeleteSelection& selection,
                              const std::string& shownName) {
  if (selection.all) {
    if (entries.empty()) throw Failure(shownName + " holds no entries; nothing was deleted");
    return entries;
  }
  std::vector<BookEntry> picked;
  if (!selection.match.empty()) {
    std::string query = asciiLowerCase(selection.match);
    for (BookEntry& entry : entries) {
      if (entryMatchesLowerCase(entry, query)) picked.push_back(std::move(entry));
    }
    if (picked.empty()) {
      throw Failure("no entry of " + shownName + " matches '" + selection.match +
                    "'; nothing was deleted");
    }
    return picked;
  }
  std::set<int> wanted(selection.ids.begin(), selection.ids.end());
  for (BookEntry& entry : entries) {
    if (wanted.erase(entry.id) > 0) picked.push_back(std::move(entry));
  }
  if (!wanted.empty()) {
    throw Failure(shownName + " holds no entry " + std::to_string(*wanted.begin()) +
                  "; nothing was deleted");
  }
  return picked;
}

void requireBook(const Workspace& workspace) {
  if (!std::filesystem::exists(workspace.databasePath())) {
    throw Failure("there is no address book at " + workspace.shown(workspace.databasePath()) +
                  " yet, so there is nothing to delete");
  }
}

int membershipsOf(const std::vector<BookEntry>& book, const std::vector<BookEntry>& deleted) {
  std::set<int> gone;
  for (const BookEntry& entry : deleted) gone.insert(entry.id);
  int count = 0;
  for (const BookEntry& entry : book) {
    for (int group : entry.groups) count += gone.count(entry.id) > 0 || gone.count(group) > 0;
  }
  return count;
}

}  // namespace

std::vector<BookEntry> selectEntries(const Workspace& workspace, const DeleteSelection& selection) {
  requireBook(workspace);
  checkDatabaseFile(workspace.databasePath(), workspace.shown(workspace.databasePath()));
  AddressBook book;
  return chosen(book.entries(), selection, workspace.shown(workspace.databasePath()));
}

DeleteResult deleteEntries(const Workspace& workspace, const DeleteSelection& selection) {
  requireBook(workspace);
  DeleteResult result;
  changeBook(workspace, [&](const std::string& shownName) {
    AddressBook book;
    std::vector<BookEntry> entries = book.entries();
    result.deleted = chosen(entries, selection, shownName);
    result.memberships = membershipsOf(entries, result.deleted);
    for (const BookEntry& entry : result.deleted) book.remove(entry.id);
    result.entriesAfter = book.count();
    book.close();
    return BookChange{"the deletion of " + deletedText(result.deleted), ""};
  });
  return result;
}

std::string deletedText(const std::vector<BookEntry>& entries) {
  if (entries.size() == 1) {
    return entries[0].displayName + " (" + kindName(entries[0].dlType) + " " +
           std::to_string(entries[0].id) + ")";
  }
  long groups = 0;
  for (const BookEntry& entry : entries) groups += entry.dlType != 0;
  long contacts = static_cast<long>(entries.size()) - groups;
  if (groups == 0) return plural(contacts, "contact", "contacts");
  if (contacts == 0) return plural(groups, "group", "groups");
  return plural(static_cast<long>(entries.size()), "entry", "entries") + " (" +
         plural(contacts, "contact", "contacts") + ", " + plural(groups, "group", "groups") + ")";
}

}  // namespace dabtool
