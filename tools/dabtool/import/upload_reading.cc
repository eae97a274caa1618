#include "upload_reading.h"

#include "csv_rows.h"
#include "text.h"

namespace dabtool {

namespace {

std::string quotedList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "'" : ", '") + name + "'";
  return list;
}

}  // namespace

std::string readingSentence(const UploadReading& reading, const std::string& shownName) {
  std::string sentence = "Read " + shownName + " as " + reading.format + " (";
  if (reading.format != "vCard") {
    sentence += delimiterText(reading.delimiter) + " between fields" +
                (reading.delimiterFound ? ", found in its first row" : "") + "; ";
  }
  sentence += reading.encoding + ")";
  if (reading.headerless)
    sentence += "; its first row is a contact, not a header row, and was kept";
  if (reading.asIs) return sentence + "; its columns go to the import by position";
  return sentence + "; " + plural(reading.contacts, "contact", "contacts") +
         " in the import's six columns";
}

std::vector<std::string> mappingLines(const UploadReading& reading) {
  std::vector<std::string> lines;
  for (int field = 0; field < kFieldCount; ++field) {
    int column = reading.source[static_cast<size_t>(field)];
    std::string line = std::string(fieldText(field)) + ": ";
    if (column < 0 || static_cast<size_t>(column) >= reading.columns.size()) {
      line += "none";
    } else {
      line += "'" + reading.columns[static_cast<size_t>(column)] + "' (column " +
              std::to_string(column + 1) + ")";
    }
    if (field == kDisplayName && !reading.asIs) line += ", else built from the names";
    if (reading.chosen[static_cast<size_t>(field)]) line += ", as chosen";
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> readingNotes(const UploadReading& reading) {
  std::vector<std::string> notes;
  if (!reading.notImported.empty()) {
    notes.push_back("Not imported: " +
                    plural(static_cast<long>(reading.notImported.size()), "column", "columns") +
                    ", " + quotedList(reading.notImported));
  }
  if (reading.builtDisplayNames > 0) {
    notes.push_back("Built " + plural(reading.builtDisplayNames, "display name", "display names") +
                    " from first and last name, company or e-mail address");
  }
  if (reading.groupsLeftOut > 0) {
    notes.push_back("Left out " + plural(reading.groupsLeftOut, "group", "groups") +
                    ": only individual contacts are imported from a DAB file");
  }
  if (reading.descriptionsLeftOut > 0) {
    notes.push_back("Left out the template's row that describes its columns");
  }
  return notes;
}

void useSourceLines(RecordScan& scan, const UploadReading& reading) {
  if (reading.sourceLines.size() != scan.records.size()) return;
  for (size_t i = 0; i < scan.records.size(); ++i) {
    scan.records[i].startLine = reading.sourceLines[i].first;
    scan.records[i].endLine = reading.sourceLines[i].second;
  }
}

}  // namespace dabtool
