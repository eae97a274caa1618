#include "text_table.h"

#include <algorithm>
#include <cstdint>

namespace dabtool {

namespace {

// Decodes the character at `i` and moves `i` past it. Bytes that are not
// valid UTF-8 count as one character each.
uint32_t nextCharacter(const std::string& text, size_t& i) {
  auto lead = static_cast<unsigned char>(text[i]);
  size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (i + length > text.size()) length = 1;
  uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k)
    code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  i += length;
  return code;
}

bool isWide(uint32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

int widthOf(uint32_t c) {
  if (c < 0x20 || c == 0x7F) return 1;  // shown as "?" below
  return isWide(c) ? 2 : 1;
}

// Control characters (a line end inside a name) would break the table.
std::string printable(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return out;
}

}  // namespace

int displayWidth(const std::string& text) {
  int width = 0;
  for (size_t i = 0; i < text.size();) width += widthOf(nextCharacter(text, i));
  return width;
}

std::string fitWidth(const std::string& text, int width) {
  if (displayWidth(text) <= width) return text;
  std::string out;
  int used = 0;
  for (size_t i = 0; i < text.size();) {
    size_t start = i;
    int w = widthOf(nextCharacter(text, i));
    if (used + w > width - 1) break;
    out.append(text, start, i - start);
    used += w;
  }
  return out + "\xE2\x80\xA6";
}

TextTable::TextTable(std::vector<std::string> headings, std::vector<int> maxWidths)
    : maxWidths_(std::move(maxWidths)) {
  rows_.push_back(std::move(headings));
}

void TextTable::addRow(std::vector<std::string> cells) {
  for (size_t i = 0; i < cells.size(); ++i) {
    cells[i] = fitWidth(printable(cells[i]), i < maxWidths_.size() ? maxWidths_[i] : 40);
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
    std::fprintf(out, "%s\n", line.c_str());
  }
}

}  // namespace dabtool
