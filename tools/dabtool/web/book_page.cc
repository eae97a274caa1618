#include "book_page.h"

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

BookPage pageOf(const BookSnapshot& book, const PageRequest& request) {
  BookPage page;
  std::string query = asciiLowerCase(request.query);
  for (const BookEntry& entry : book.entries) {
    if (!entryMatchesLowerCase(entry, query)) continue;
    if (page.matched >= request.offset && page.entries.size() < request.limit) {
      page.entries.push_back(&entry);
    }
    ++page.matched;
  }
  return page;
}

}  // namespace dabtool
