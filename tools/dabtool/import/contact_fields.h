// The six fields the library's import reads, in the order of its columns,
// and the names people and the tool give them.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_CONTACT_FIELDS_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_CONTACT_FIELDS_H_

#include <array>
#include <optional>
#include <string>

namespace dabtool {

// The library's column order: the value is the column's 0-based position.
enum Field { kFirstName, kLastName, kDisplayName, kCompany, kEmail, kInternetFax };
constexpr int kFieldCount = 6;

// One contact as the library will read it, indexed by Field.
using ContactFields = std::array<std::string, kFieldCount>;

// "first name", "internet fax": the field in a sentence.
const char* fieldText(int field);

// "first", "ifax": the field's key in a --columns line.
const char* fieldKey(int field);

// The field for a key a person typed ("display", "E-mail", "lastname");
// nullopt for none.
std::optional<int> fieldOfKey(const std::string& typed);

// The header row the tool writes when it hands the library a file of its
// own: the columns' names as the README and the console give them.
extern const char kSixColumnHeader[];

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_CONTACT_FIELDS_H_
