// Reads a contact file of another program row by row: any delimiter, the
// usual quoting (a double quote opens quoted text, two stand for one), and
// the line ends LF, CR LF and a lone CR, as the library's import reads them.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_CSV_ROWS_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_CSV_ROWS_H_

#include <string>
#include <string_view>
#include <vector>

namespace dabtool {

class CsvRows {
 public:
  // REQUIRES: `bytes` outlives the reader.
  CsvRows(std::string_view bytes, char delimiter) : bytes_(bytes), delimiter_(delimiter) {}

  // Reads the next row into `fields`; false at the end of the bytes.
  // Throws UnreadableFile, naming `shownName` and the line, for a closing
  // quote followed by other text or a quote that is never closed.
  bool next(std::vector<std::string>& fields, const std::string& shownName);

  int startLine() const { return startLine_; }  // 1-based line the row started on
  int endLine() const { return line_ - 1; }     // the line its line end closed

 private:
  bool lineEndAt();

  std::string_view bytes_;
  char delimiter_;
  size_t pos_ = 0;
  int line_ = 1;
  int startLine_ = 1;
};

// The delimiter of a file by its first line: the most frequent of ',', ';'
// and tab outside quotes; ',' when none occurs or they tie with ','.
char guessDelimiter(std::string_view bytes);

// "','", "';'", "tab": the delimiter in a sentence.
std::string delimiterText(char delimiter);

// True when every field of `fields` is empty.
bool blankRow(const std::vector<std::string>& fields);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_CSV_ROWS_H_
