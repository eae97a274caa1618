// Text helpers of the tests that run the built dabtool: whole files,
// substrings with a readable failure, and CSV cells.
#ifndef DABUTILS_TESTS_TOOL_TEXT_H_
#define DABUTILS_TESTS_TOOL_TEXT_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tooltest {

inline std::string readAll(const std::filesystem::path& path) {
  std::stringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

inline size_t countOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Whether `text` holds `part`, showing the text when it does not.
inline testing::AssertionResult has(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

// Cells of a CSV text read by the usual rules (quotes, doubled quotes,
// CR LF or LF line ends).
inline std::vector<std::vector<std::string>> parseCsv(const std::string& text, char delimiter) {
  std::vector<std::vector<std::string>> rows(1);
  std::string cell;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"' && quoted && i + 1 < text.size() && text[i + 1] == '"') {
      cell += text[i++];
    } else if (c == '"') {
      quoted = !quoted;
    } else if (quoted || (c != delimiter && c != '\n' && c != '\r')) {
      cell += c;
    } else {
      rows.back().push_back(cell);
      cell.clear();
      if (c == delimiter) continue;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      rows.emplace_back();
    }
  }
  if (!cell.empty() || !rows.back().empty()) rows.back().push_back(cell);
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

}  // namespace tooltest

#endif  // DABUTILS_TESTS_TOOL_TEXT_H_
