#include "book_page.h"

#include <algorithm>
#include <iterator>

namespace dabtool {

namespace {

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string folded(const std::string& text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), asciiLower);
  return out;
}

bool containsFolded(const std::string& text, const std::string& foldedQuery) {
  auto found = std::search(text.begin(), text.end(), foldedQuery.begin(), foldedQuery.end(),
                           [](char a, char b) { return asciiLower(a) == b; });
  return found != text.end();
}

bool matchesFolded(const BookEntry& entry, const std::string& foldedQuery) {
  if (foldedQuery.empty() || foldedQuery == std::to_string(entry.id)) return true;
  const std::string* texts[] = {&entry.displayName, &entry.firstName,   &entry.lastName,
                                &entry.company,     &entry.email,       &entry.internetFax,
                                &entry.faxNumber,   &entry.scanNickName};
  return std::any_of(std::begin(texts), std::end(texts),
                     [&](const std::string* text) { return containsFolded(*text, foldedQuery); });
}

}  // namespace

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

bool entryMatches(const BookEntry& entry, const std::string& query) {
  return matchesFolded(entry, folded(query));
}

namespace {

// The window of the entries that are `wanted` and match the query.
template <typename Wanted>
BookPage windowOf(const BookSnapshot& book, const PageRequest& request, Wanted wanted) {
  BookPage page;
  std::string query = folded(request.query);
  for (const BookEntry& entry : book.entries) {
    if (!wanted(entry) || !matchesFolded(entry, query)) continue;
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
