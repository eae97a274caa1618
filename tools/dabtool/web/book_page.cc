#include "book_page.h"

#include <algorithm>

#include "entry_text.h"
#include "text.h"

namespace dabtool {

void summarize(BookSnapshot& book) {
  book.memberCounts.clear();
  book.groupNames.clear();
  book.groups = 0;
  for (const BookEntry& entry : book.entries) {
    for (int group : entry.groups) ++book.memberCounts[group];
    if (entry.dlType == 0) continue;
    book.groupNames[entry.id] = entry.displayName;
    ++book.groups;
  }
}

namespace {

// The window of the entries that are `wanted` and match the query.
template <typename Wanted>
BookPage windowOf(const BookSnapshot& book, const PageRequest& request, Wanted wanted) {
  BookPage page;
  std::string query = asciiLowerCase(request.query);
  for (const BookEntry& entry : book.entries) {
    if (!wanted(entry) || !entryMatchesLowerCase(entry, query)) continue;
    if (page.matched >= request.offset && page.entries.size() < request.limit) {
      page.entries.push_back(&entry);
    }
    ++page.matched;
  }
  return page;
}

}  // namespace

BookPage pageOf(const BookSnapshot& book, const PageRequest& request) {
  return windowOf(book, request, [](const BookEntry&) { return true; });
}

BookPage membersOf(const BookSnapshot& book, int group, const PageRequest& request) {
  return windowOf(book, request, [group](const BookEntry& entry) {
    return std::find(entry.groups.begin(), entry.groups.end(), group) != entry.groups.end();
  });
}

}  // namespace dabtool
