#include "six_columns.h"

namespace dabtool {

namespace {

constexpr size_t kPreviewRows = 5;

std::string withoutBlanks(const std::string& value) {
  size_t first = value.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = value.find_last_not_of(" \t");
  return value.substr(first, last - first + 1);
}

// The library opens quoted text at a double quote anywhere in a field, so
// a value with a quote is quoted as a whole, like one with a delimiter.
void appendCell(std::string& out, const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) {
    out += value;
    return;
  }
  out += '"';
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

std::string builtDisplayName(const ContactFields& fields) {
  std::string name = fields[kFirstName];
  if (!name.empty() && !fields[kLastName].empty()) name += ' ';
  name += fields[kLastName];
  if (name.empty()) name = fields[kCompany];
  if (name.empty()) name = fields[kEmail];
  return name;
}

SixColumnWriter::SixColumnWriter(std::pair<int, int> headerLines) {
  upload_.bytes = kSixColumnHeader;
  upload_.sourceLines.push_back(headerLines);
}

void SixColumnWriter::add(ContactFields fields, int startLine, int endLine) {
  for (std::string& value : fields) value = withoutBlanks(value);
  if (fields[kDisplayName].empty()) {
    fields[kDisplayName] = builtDisplayName(fields);
    if (!fields[kDisplayName].empty()) ++upload_.builtDisplayNames;
  }
  for (int field = 0; field < kFieldCount; ++field) {
    if (field > 0) upload_.bytes += ',';
    appendCell(upload_.bytes, fields[static_cast<size_t>(field)]);
  }
  upload_.bytes += '\n';
  ++upload_.contacts;
  upload_.sourceLines.emplace_back(startLine, endLine);
  if (upload_.preview.size() < kPreviewRows) upload_.preview.push_back(std::move(fields));
}

}  // namespace dabtool
