#include "column_map.h"

#include <algorithm>

#include "errors.h"

namespace dabtool {

namespace {

bool isEmailAddress(const std::string& text) {
  size_t at = text.find('@');
  return at != std::string::npos && at > 0 && text.find('.', at) != std::string::npos &&
         text.find_first_of(" ,;") == std::string::npos;
}

int columnOf(const std::vector<std::string>& header, const char* folded) {
  for (size_t i = 0; i < header.size(); ++i) {
    if (foldColumnName(header[i]) == folded) return static_cast<int>(i);
  }
  return -1;
}

void mapByName(ColumnMap& map) {
  for (size_t i = 0; i < map.header.size(); ++i) {
    std::optional<int> field = fieldOfColumnName(map.header[i]);
    // The first column of a field wins: a primary e-mail address comes
    // before the secondary ones in every format that has both.
    if (field && map.source[static_cast<size_t>(*field)] < 0) {
      map.source[static_cast<size_t>(*field)] = static_cast<int>(i);
    }
  }
  if (map.format == KnownFormat::kDabExport || map.format == KnownFormat::kDabSample) {
    map.kindColumn = columnOf(map.header, "isdl");
    map.workflowColumn = columnOf(map.header, "zltapplicableworkflows");
    if (map.format == KnownFormat::kDabSample) map.labelColumn = 0;
  }
}

// A file without a header row: the library's order for six columns, the
// legacy order for three, else the first address and the first other text.
void mapByPosition(ColumnMap& map, const std::vector<std::string>& row) {
  size_t count = row.size();
  for (size_t i = 0; i < count; ++i) map.header.push_back("column " + std::to_string(i + 1));
  if (count == kFieldCount) {
    for (int field = 0; field < kFieldCount; ++field)
      map.source[static_cast<size_t>(field)] = field;
    return;
  }
  if (count == 2 || count == 3) {
    map.source[kDisplayName] = 0;
    map.source[kEmail] = 1;
    if (count == 3) map.source[kInternetFax] = 2;
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    int column = static_cast<int>(i);
    if (isEmailAddress(row[i]) && map.source[kEmail] < 0) {
      map.source[kEmail] = column;
    } else if (!row[i].empty() && map.source[kDisplayName] < 0) {
      map.source[kDisplayName] = column;
    }
  }
}

int chosenColumn(const ColumnMap& map, const std::string& wanted, const std::string& shownName) {
  if (!wanted.empty() &&
      std::all_of(wanted.begin(), wanted.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    size_t number = std::stoul(wanted.substr(0, 9));
    if (number >= 1 && number <= map.header.size()) return static_cast<int>(number - 1);
  }
  std::string folded = foldColumnName(wanted);
  for (size_t i = 0; i < map.header.size(); ++i) {
    if (!folded.empty() && foldColumnName(map.header[i]) == folded) return static_cast<int>(i);
  }
  std::string names;
  for (const std::string& name : map.header) names += (names.empty() ? "" : ", ") + name;
  throw UnreadableFile("--columns names '" + wanted + "', which is no column of " + shownName +
                       " (its columns: " + names + ")");
}

void applyChoices(ColumnMap& map, const std::string& choices, const std::string& shownName) {
  size_t start = 0;
  while (start <= choices.size() && !choices.empty()) {
    size_t end = std::min(choices.find(',', start), choices.size());
    std::string pair = choices.substr(start, end - start);
    start = end + 1;
    if (pair.find_first_not_of(' ') == std::string::npos) continue;
    size_t equals = pair.find('=');
    std::optional<int> field =
        equals == std::string::npos ? std::nullopt : fieldOfKey(pair.substr(0, equals));
    if (!field) {
      throw UnreadableFile(
          "--columns wants FIELD=COLUMN pairs with the fields first, last, "
          "display, company, email and ifax, not '" +
          pair + "'");
    }
    std::string wanted = pair.substr(equals + 1);
    wanted.erase(0, wanted.find_first_not_of(' '));
    auto slot = static_cast<size_t>(*field);
    map.source[slot] = wanted.empty() ? -1 : chosenColumn(map, wanted, shownName);
    map.chosen[slot] = true;
  }
}

}  // namespace

bool ColumnMap::usable() const {
  return std::any_of(source.begin(), source.begin() + kInternetFax,
                     [](int column) { return column >= 0; });
}

std::vector<int> ColumnMap::notImported() const {
  std::vector<int> columns;
  for (size_t i = 0; i < header.size(); ++i) {
    auto column = static_cast<int>(i);
    if (std::find(source.begin(), source.end(), column) == source.end()) columns.push_back(column);
  }
  return columns;
}

ContactFields ColumnMap::contactOf(const std::vector<std::string>& row) const {
  ContactFields fields;
  for (size_t field = 0; field < fields.size(); ++field) {
    int column = source[field];
    if (column >= 0 && static_cast<size_t>(column) < row.size())
      fields[field] = row[static_cast<size_t>(column)];
  }
  return fields;
}

bool looksLikeContact(const std::vector<std::string>& firstRow) {
  bool known = std::any_of(firstRow.begin(), firstRow.end(), [](const std::string& cell) {
    return fieldOfColumnName(cell).has_value();
  });
  return !known && std::any_of(firstRow.begin(), firstRow.end(), isEmailAddress);
}

ColumnMap mapColumns(const std::vector<std::string>& firstRow, const std::string& choices,
                     const std::string& shownName) {
  ColumnMap map;
  if (looksLikeContact(firstRow)) {
    map.headerless = true;
    mapByPosition(map, firstRow);
  } else {
    map.header = firstRow;
    map.format = formatOfHeader(firstRow);
    mapByName(map);
  }
  applyChoices(map, choices, shownName);
  return map;
}

std::string unknownHeaderSentence(const ColumnMap& map, const std::string& shownName) {
  std::string names;
  for (const std::string& name : map.header) names += (names.empty() ? "'" : ", '") + name + "'";
  std::string line;
  for (int field = 0; field < kFieldCount; ++field) {
    if (field == kFirstName || field == kLastName) continue;
    int column = map.source[static_cast<size_t>(field)];
    std::string value = column >= 0 ? map.header[static_cast<size_t>(column)] : "COLUMN";
    line += std::string(line.empty() ? "" : ",") + fieldKey(field) + "=" + value;
  }
  return shownName + " has a header row (" + names +
         ") that names no column the tool knows for a contact's name or e-mail address, "
         "and it is not the import's six columns; nothing was imported. Say which column "
         "holds what, e.g. --columns \"" +
         line + "\" (first and last work too)";
}

}  // namespace dabtool
