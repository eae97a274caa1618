// A plain-text table whose columns line up on a terminal, also for UTF-8
// text with combining accents, East Asian characters and emoji, and whose
// cells cannot steer the terminal.
#ifndef DABUTILS_TOOLS_DABTOOL_CLI_TEXT_TABLE_H_
#define DABUTILS_TOOLS_DABTOOL_CLI_TEXT_TABLE_H_

#include <cstdio>
#include <string>
#include <vector>

namespace dabtool {

class TextTable {
 public:
  // `maxWidths[i]` caps column i in terminal columns; longer cells are cut.
  TextTable(std::vector<std::string> headings, std::vector<int> maxWidths);
  // Control characters in `cells`, tabs included, are shown escaped.
  void addRow(std::vector<std::string> cells);
  void print(std::FILE* out) const;

 private:
  std::vector<std::vector<std::string>> rows_;
  std::vector<int> maxWidths_;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CLI_TEXT_TABLE_H_
