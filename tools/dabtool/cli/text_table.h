// A plain-text table whose columns line up on a terminal, also for UTF-8
// text with accented letters and East Asian characters.
#ifndef DABUTILS_TOOLS_DABTOOL_CLI_TEXT_TABLE_H_
#define DABUTILS_TOOLS_DABTOOL_CLI_TEXT_TABLE_H_

#include <cstdio>
#include <string>
#include <vector>

namespace dabtool {

// Terminal columns that `text` takes: one per character, two for wide ones.
int displayWidth(const std::string& text);

// `text` cut to at most `width` terminal columns, ending in "…" when cut.
std::string fitWidth(const std::string& text, int width);

class TextTable {
 public:
  // `maxWidths[i]` caps column i; longer cells are cut.
  TextTable(std::vector<std::string> headings, std::vector<int> maxWidths);
  void addRow(std::vector<std::string> cells);
  void print(std::FILE* out) const;

 private:
  std::vector<std::vector<std::string>> rows_;
  std::vector<int> maxWidths_;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CLI_TEXT_TABLE_H_
