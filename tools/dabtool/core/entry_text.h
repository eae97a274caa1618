// How an address book entry's coded fields read to a person, for the table
// of dabtool list and the web console alike.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_ENTRY_TEXT_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_ENTRY_TEXT_H_

#include <string>
#include <string_view>

#include "address_book.h"

namespace dabtool {

// "contact", "fax group", "e-mail group", or "group (kind N)".
std::string kindName(int dlType);

// The scan transfer protocol's name ("FTP"); "" for -1 (no scan
// destination), "code N" for a code without a name.
std::string protocolName(int code);

// The entry's favourite order and marks: "#3 fax mail", "" without any.
std::string favoriteMarks(const BookEntry& entry);

// True when `query` occurs in one of the entry's texts (names, company,
// addresses, fax number, scan nickname) or is its id. Letters A-Z match
// either case; other characters match themselves only.
bool entryMatches(const BookEntry& entry, const std::string& query);

// The same for a query already passed through asciiLowerCase, for a search
// over many entries.
bool entryMatchesLowerCase(const BookEntry& entry, const std::string& lowerCaseQuery);

// What two contacts share when they are the same person: the display name
// and the e-mail address, A-Z in either case. A contact without an e-mail
// address shares it only with others without one.
std::string sameContactKey(std::string_view displayName, std::string_view email);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_ENTRY_TEXT_H_
