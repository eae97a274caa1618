// How an address book entry's coded fields read to a person, for the table
// of dabtool list and the web console alike.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_ENTRY_TEXT_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_ENTRY_TEXT_H_

#include <string>

#include "address_book.h"

namespace dabtool {

// "contact", "fax group", "e-mail group", or "group (kind N)".
std::string kindName(int dlType);

// The scan transfer protocol's name ("FTP"); "" for -1 (no scan
// destination), "code N" for a code without a name.
std::string protocolName(int code);

// The entry's favourite order and marks: "#3 fax mail", "" without any.
std::string favoriteMarks(const BookEntry& entry);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_ENTRY_TEXT_H_
