#include "text_table.h"

#include <algorithm>

#include "terminal_text.h"

namespace dabtool {

TextTable::TextTable(std::vector<std::string> headings, std::vector<int> maxWidths)
    : maxWidths_(std::move(maxWidths)) {
  rows_.push_back(std::move(headings));
}

void TextTable::addRow(std::vector<std::string> cells) {
  for (size_t i = 0; i < cells.size(); ++i) {
    cells[i] = terminalCell(cells[i], i < maxWidths_.size() ? maxWidths_[i] : 40);
  }
  rows_.push_back(std::move(cells));
}

void TextTable::print(std::FILE* out) const {
  std::vector<int> widths(rows_.front().size(), 0);
  for (const auto& row : rows_) {
    for (size_t i = 0; i < row.size() && i < widths.size(); ++i) {
      widths[i] = std::max(widths[i], displayWidth(row[i]));
    }
  }
  for (const auto& row : rows_) {
    std::string line;
    for (size_t i = 0; i < row.size() && i < widths.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size())
        line += std::string(static_cast<size_t>(widths[i] - displayWidth(row[i]) + 2), ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    line += '\n';
    std::fputs(line.c_str(), out);
  }
}

}  // namespace dabtool
