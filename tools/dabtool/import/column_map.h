// Which column of a person's file goes to which of the six contact fields:
// found by the header row's names, completed or overridden by what the
// person chose (--columns), or guessed by position for a file whose first
// row is already a contact.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_COLUMN_MAP_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_COLUMN_MAP_H_

#include <array>
#include <string>
#include <vector>

#include "column_names.h"
#include "contact_fields.h"

namespace dabtool {

struct ColumnMap {
  KnownFormat format = KnownFormat::kGeneric;
  std::vector<std::string> header;         // the file's column names ("column 2" without a header)
  bool headerless = false;                 // the first row is a contact, not a header
  std::array<int, kFieldCount> source;     // 0-based column per Field, -1 for none
  std::array<bool, kFieldCount> chosen{};  // set by the person's --columns
  int kindColumn = -1;                     // DAB files: IsDL, to leave groups out
  int workflowColumn = -1;                 // DAB files: ZltApplicableWorkflows, groups only
  int labelColumn = -1;                    // DAB template: the row label

  ColumnMap() { source.fill(-1); }

  // True when at least one column gives a contact a name or an address.
  bool usable() const;
  // Columns no field takes, 0-based.
  std::vector<int> notImported() const;
  // The columns a contact comes from, none taken twice.
  ContactFields contactOf(const std::vector<std::string>& row) const;
};

// Maps `firstRow` of a file named `shownName`. `choices` is the person's
// --columns text ("display=Full Name,email=3"), "" for none. Throws
// UnreadableFile for a choice that names no field or no column.
ColumnMap mapColumns(const std::vector<std::string>& firstRow, const std::string& choices,
                     const std::string& shownName);

// True when no column name is known and some cell holds an e-mail address:
// the file has no header row.
bool looksLikeContact(const std::vector<std::string>& firstRow);

// The sentence for a header row whose columns say nothing the tool knows,
// with the --columns line to write.
std::string unknownHeaderSentence(const ColumnMap& map, const std::string& shownName);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_COLUMN_MAP_H_
