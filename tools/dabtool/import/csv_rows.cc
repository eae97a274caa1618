#include "csv_rows.h"

#include <algorithm>

#include "errors.h"

namespace dabtool {

bool CsvRows::lineEndAt() {
  char c = bytes_[pos_];
  if (c != '\r' && c != '\n') return false;
  ++pos_;
  if (c == '\r' && pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
  ++line_;
  return true;
}

bool CsvRows::next(std::vector<std::string>& fields, const std::string& shownName) {
  fields.assign(1, std::string());
  if (pos_ >= bytes_.size()) return false;
  startLine_ = line_;
  bool quoted = false;
  int quoteLine = line_;
  while (pos_ < bytes_.size()) {
    char c = bytes_[pos_];
    if (quoted) {
      if (c != '"') {
        // Line ends inside quotes stay in the value: the written upload
        // quotes them again.
        size_t from = pos_;
        if (!lineEndAt()) ++pos_;
        fields.back().append(bytes_.substr(from, pos_ - from));
        continue;
      }
      ++pos_;
      if (pos_ < bytes_.size() && bytes_[pos_] == '"') {
        fields.back() += '"';
        ++pos_;
        continue;
      }
      quoted = false;
      if (pos_ < bytes_.size() && bytes_[pos_] != delimiter_ && bytes_[pos_] != '\r' &&
          bytes_[pos_] != '\n') {
        throw UnreadableFile(shownName +
                             " has a closing double quote followed by other text on line " +
                             std::to_string(line_) +
                             " (write a double quote inside a quoted value as two double quotes); "
                             "nothing was imported");
      }
      continue;
    }
    if (lineEndAt()) return true;
    ++pos_;
    if (c == '"') {
      quoted = true;
      quoteLine = line_;
    } else if (c == delimiter_) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  if (quoted) {
    throw UnreadableFile(shownName + " has a double quote on line " + std::to_string(quoteLine) +
                         " that is never closed; nothing was imported");
  }
  ++line_;
  return true;
}

char guessDelimiter(std::string_view bytes) {
  size_t counts[3] = {};
  const char candidates[3] = {',', ';', '\t'};
  bool quoted = false;
  for (char c : bytes.substr(0, bytes.find_first_of("\r\n"))) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    for (int i = 0; i < 3; ++i) counts[i] += c == candidates[i];
  }
  size_t best = static_cast<size_t>(std::max_element(counts, counts + 3) - counts);
  return counts[best] > counts[0] ? candidates[best] : ',';
}

std::string delimiterText(char delimiter) {
  if (delimiter == '\t') return "tab";
  return std::string("'") + delimiter + "'";
}

bool blankRow(const std::vector<std::string>& fields) {
  return std::all_of(fields.begin(), fields.end(),
                     [](const std::string& field) { return field.empty(); });
}

}  // namespace dabtool
