// Reads vCard files (versions 2.1, 3.0 and 4.0, several cards a file) as
// phones and mail programs write them, into the six contact fields.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_VCARD_READER_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_VCARD_READER_H_

#include <string>
#include <string_view>
#include <vector>

#include "contact_fields.h"

namespace dabtool {

struct VCard {
  ContactFields fields;  // FN, N, ORG and the preferred or first EMAIL
  int startLine = 0;     // BEGIN:VCARD
  int endLine = 0;       // END:VCARD
};

// True when the first line that is not blank is BEGIN:VCARD.
bool isVCardFile(std::string_view utf8);

// The cards of `utf8`. Folded lines are unfolded, escapes undone, and
// QUOTED-PRINTABLE values decoded and converted from their CHARSET. A card
// whose END line is missing still counts. Throws UnreadableFile, naming
// `shownName`, for a CHARSET that cannot be converted.
std::vector<VCard> readVCards(std::string_view utf8, const std::string& shownName);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_VCARD_READER_H_
