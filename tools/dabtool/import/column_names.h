// The column names that mail programs, contact services, spreadsheets and
// the device's own files give the six contact fields, and the formats whose
// header rows the tool knows by name.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_COLUMN_NAMES_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_COLUMN_NAMES_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dabtool {

// `name` as the tables hold it: ASCII letters in lower case, ASCII digits,
// and every non-ASCII byte; blanks and punctuation dropped, so "E-Mail
// Address", "e-mail address" and "EmailAddress" are one name.
std::string foldColumnName(std::string_view name);

// The field (Field) a column of this name holds; nullopt for a name the
// table does not know. Secondary e-mail columns ("E-mail 2 Address") are
// e-mail columns too: the first of them in a row wins.
std::optional<int> fieldOfColumnName(std::string_view name);

// The formats whose header rows are told apart.
enum class KnownFormat {
  kGeneric,    // column names of its own, mapped name by name
  kLibrary,    // the library's own six columns, in their order
  kDabExport,  // the device's 26-column export
  kDabSample,  // the device's 27-column template
  kLegacyExport,
  kLegacySample,
  kGoogle,
  kGoogleOld,
  kOutlookEnglish,
  kOutlookGerman,
  kOutlookFrench,
  kThunderbirdEnglish,
  kThunderbirdGerman,
};

// The format a header row comes from, by the names only it has.
KnownFormat formatOfHeader(const std::vector<std::string>& header);

// "Google Contacts CSV (current format)": the format in a sentence.
const char* formatText(KnownFormat format);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_COLUMN_NAMES_H_
