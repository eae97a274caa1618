// One page of the address book as the web console shows it: the entries that
// match a search, counted, and a window of them.
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_BOOK_PAGE_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_BOOK_PAGE_H_

#include <map>
#include <string>
#include <vector>

#include "address_book.h"

namespace dabtool {

// The whole book as read at one moment.
struct BookSnapshot {
  bool exists = false;                    // false: there is no database file yet
  std::vector<BookEntry> entries;         // in the database's order
  std::map<int, int> memberCounts;        // group id -> number of members
  std::map<int, std::string> groupNames;  // group id -> display name
  int groups = 0;
};

// Fills memberCounts, groupNames and groups from the entries.
void summarize(BookSnapshot& book);

struct PageRequest {
  size_t offset = 0;
  size_t limit = 50;
  std::string query;  // empty: every entry
};

struct BookPage {
  size_t matched = 0;                     // entries that match the query
  std::vector<const BookEntry*> entries;  // matched[offset, offset + limit)
};

// The page of `book` that `request` asks for. Its pointers are valid while
// `book` lives.
BookPage pageOf(const BookSnapshot& book, const PageRequest& request);

// The page of group `group`'s members (in the book's order) that `request`
// asks for, its query searching them as pageOf does.
BookPage membersOf(const BookSnapshot& book, int group, const PageRequest& request);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_BOOK_PAGE_H_
