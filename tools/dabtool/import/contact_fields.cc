#include "contact_fields.h"

#include "column_names.h"

namespace dabtool {

namespace {

const char* const kTexts[kFieldCount] = {"first name", "last name", "display name",
                                         "company",    "e-mail",    "internet fax"};
const char* const kKeys[kFieldCount] = {"first", "last", "display", "company", "email", "ifax"};

}  // namespace

const char kSixColumnHeader[] =
    "First Name,Last Name,Display Name,Company,E-mail Address,Internet Fax\n";

const char* fieldText(int field) { return kTexts[field]; }

const char* fieldKey(int field) { return kKeys[field]; }

std::optional<int> fieldOfKey(const std::string& typed) {
  std::string folded = foldColumnName(typed);
  for (int field = 0; field < kFieldCount; ++field) {
    if (folded == kKeys[field]) return field;
  }
  return fieldOfColumnName(typed);
}

}  // namespace dabtool
